// Terminal dialog (1010): a raw request typed by the technician, sent with its CR, and the
// reply shown decoded by the request's lead and command characters.
#ifndef VOK_MAINTENANCE_TERMINAL_H
#define VOK_MAINTENANCE_TERMINAL_H

#include <stdint.h>

#include "maintenance/terminal_reply.h"
#include "platform/ui.h"

enum {
    TERMINAL_BUFFER = 50,       // command and response buffers
    TERMINAL_COMMAND_MAX = 19,  // characters of the command edit that are sent
};

typedef struct Terminal {
    int reset_redirect;              // 1 after a reset request was typed (the menu's reset runs)
    char command[TERMINAL_BUFFER];   // the request as sent, CR in place
    char response[TERMINAL_BUFFER];  // the answer text as built from the reply bytes
} Terminal;

extern Terminal terminal;
extern const UiDialogHandlers terminal_handlers;

// Dialog opened: both edits show 50 spaces, buffers zeroed, focus on the command edit.
void terminal_on_init(UiWindow dlg);
// Send button: sends the command (or hands a reset request to the main window) and shows
// the reply.
void terminal_on_send(UiWindow dlg);

#endif
