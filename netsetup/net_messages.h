// Message boxes of the network setup dialogs: every one carries the warning icon.
#ifndef VOK_NETSETUP_NET_MESSAGES_H
#define VOK_NETSETUP_NET_MESSAGES_H

#include "platform/ui.h"

// "错误提示" (error notice) box with OK; returns the button pressed.
inline int net_error_box(UiWindow owner, const char *text)
{
    return ui_message_box(owner, text, "错误提示", UI_MB_OK | UI_ICON_WARNING);
}
// "系统提示" (system notice) box with OK.
inline int net_notice_box(UiWindow owner, const char *text)
{
    return ui_message_box(owner, text, "系统提示", UI_MB_OK | UI_ICON_WARNING);
}

#endif
