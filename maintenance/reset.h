// Soft reset of the selected module and the countdown dialog (113) shown while it restarts.
#ifndef VOK_MAINTENANCE_RESET_H
#define VOK_MAINTENANCE_RESET_H

#include "app/state.h"
#include "platform/ui.h"

// Seconds left in the reset countdown.
typedef struct ResetCountdown {
    int seconds;
} ResetCountdown;

extern ResetCountdown reset_countdown;
extern const UiDialogHandlers reset_countdown_handlers;

// Sends &AA9 to the current module. 0 when it answered >AA, -1 otherwise (link cleared).
int reset_module(void);

// Seconds a module needs to restart after a reset, by its type code, model and ITU count.
int reset_wait_seconds(int type_code, int model, int itu_total);

// The countdown of the reset and mode switch dialogs: `seconds` shown in control `text_id`
// as two digits, a beep and a tick of the 1 s timer `timer_id` each second. A tick counts
// *seconds down; at 0 the countdown ends: timer killed, dialog ended with 1.
void countdown_start(UiWindow dlg, int timer_id, int text_id, int seconds);
void countdown_tick(UiWindow dlg, int timer_id, int text_id, int *seconds);
void countdown_end(UiWindow dlg, int timer_id);

// Dialog opened: shows the wait for the current module, beeps, starts the 1 s timer.
void reset_countdown_on_init(UiWindow dlg);
// One second passed: counts down; at 0 the dialog ends with 1.
void reset_countdown_on_timer(UiWindow dlg, int timer_id);
// Frame closed: ends at once with 1.
void reset_countdown_on_close(UiWindow dlg);

#endif
