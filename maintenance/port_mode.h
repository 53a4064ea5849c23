// Storage and search mode dialog (169) and the countdown (170) while the module stores its
// channel configuration and restarts.
#ifndef VOK_MAINTENANCE_PORT_MODE_H
#define VOK_MAINTENANCE_PORT_MODE_H

#include "platform/ui.h"

// The switch just made and the countdown that follows it.
typedef struct ModeSwitch {
    int to_search;   // 1 after a switch to search mode, 0 after one to storage mode
    int seconds;     // seconds left in the countdown
} ModeSwitch;
extern ModeSwitch mode_switch;

extern const UiDialogHandlers port_mode_handlers;      // dialog 169; ends 1 after a switch
extern const UiDialogHandlers mode_countdown_handlers; // dialog 170; ends 1

// Dialog 169 opened: the current mode, focus on the exit button.
void port_mode_on_init(UiWindow dlg);
// "启动存储模式" / "启动搜索模式": $AAW / $AAN unless the module is in that mode already.
void port_mode_on_storage(UiWindow dlg);
void port_mode_on_search(UiWindow dlg);

// One mode switch request ($AAW for 'W', $AAN for 'N') to the current module: 0 when the reply
// begins with '!', 1 when the exchange failed, 2 for any other reply.
int send_mode_switch(char command);

// Seconds the module needs to store and restart with `itu_total` units.
int mode_countdown_seconds(int itu_total, int to_search);

// Countdown dialog events.
void mode_countdown_on_init(UiWindow dlg);
void mode_countdown_on_timer(UiWindow dlg, int timer_id);

#endif
