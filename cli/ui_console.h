// The ui seam for a program without windows: the message a feature would show in a message
// box is kept for the command to turn into its own error line (the box texts are the
// dialog's Chinese texts, the command line speaks English).
#ifndef VOK_CLI_UI_CONSOLE_H
#define VOK_CLI_UI_CONSOLE_H

enum { UI_CONSOLE_TEXT_MAX = 256 };

typedef struct UiConsoleMessage {
    int count;                           // message boxes asked for since the last clear
    char caption[UI_CONSOLE_TEXT_MAX];   // of the last one
    char text[UI_CONSOLE_TEXT_MAX];
} UiConsoleMessage;

extern UiConsoleMessage ui_console_message;

void ui_console_clear(void);

#endif
