// The one ui call that the features' non-dialog functions can reach, for vokcli: a message
// box is recorded and answered OK / No.
#include "cli/ui_console.h"

#include <stdio.h>
#include <string.h>

#include "platform/ui.h"

UiConsoleMessage ui_console_message;

void ui_console_clear(void)
{
    memset(&ui_console_message, 0, sizeof ui_console_message);
}


int ui_message_box(UiWindow, const char *text, const char *caption, int buttons)
{
    ui_console_message.count++;
    snprintf(ui_console_message.caption, sizeof ui_console_message.caption, "%s", caption ? caption : "");
    snprintf(ui_console_message.text, sizeof ui_console_message.text, "%s", text ? text : "");
    // A question is answered No: nothing is retried or changed behind the user's back.
    return (buttons & UI_MB_YESNO) == UI_MB_YESNO ? UI_ID_NO : UI_ID_OK;
}
