// The ui calls the link layer can reach, as no-ops: the real-time measurement runs without
// a window (the title and menu have no window to go to there).
#include "platform/ui.h"

void ui_set_window_title(UiWindow, const char *) {}
void ui_menu_enable(UiWindow, int, int) {}
void ui_menu_redraw(UiWindow) {}
int ui_message_box(UiWindow, const char *, const char *, int) { return UI_ID_OK; }
