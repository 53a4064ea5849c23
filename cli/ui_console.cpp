// The ui calls that the link layer and the features' non-dialog functions can reach, for a
// program without windows: there is no title or menu to update, and a message meant for a
// message box goes to stderr as one line.
#include <stdio.h>

#include "platform/ui.h"

void ui_set_window_title(UiWindow, const char *) {}
void ui_menu_enable(UiWindow, int, int) {}
void ui_menu_redraw(UiWindow) {}

int ui_message_box(UiWindow, const char *text, const char *caption, int)
{
    fprintf(stderr, "vokcli: %s: ", caption ? caption : "");
    for (const char *p = text ? text : ""; *p; ++p)
        if (*p != '\r' && *p != '\n') fputc(*p, stderr);
    fputc('\n', stderr);
    return UI_ID_OK;
}
