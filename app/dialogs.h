// What vokmon's dialogs share: the two warning boxes and the close box that ends with 0.
#ifndef VOK_APP_DIALOGS_H
#define VOK_APP_DIALOGS_H

#include "platform/ui.h"

// "错误提示" (error notice) box with OK and the warning icon; returns the button pressed.
inline int error_notice(UiWindow owner, const char *text)
{
    return ui_message_box(owner, text, "错误提示", UI_MB_OK | UI_ICON_WARNING);
}
// "系统提示" (system notice) box with OK and the warning icon.
inline int system_notice(UiWindow owner, const char *text)
{
    return ui_message_box(owner, text, "系统提示", UI_MB_OK | UI_ICON_WARNING);
}
// The frame's close box of a dialog that ends with 0.
inline void dialog_close(UiWindow dlg) { ui_end_dialog(dlg, 0); }

#endif
