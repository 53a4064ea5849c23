// Module search dialog (1009): a timer-driven probe of every bus address 00..FF, then a full
// parameter read of every module found. One function per dialog event.
#ifndef VOK_DISPLAY_SEARCH_H
#define VOK_DISPLAY_SEARCH_H

#include "platform/ui.h"

extern const UiDialogHandlers search_handlers;

void search_on_init(UiWindow dlg);
void search_on_start(UiWindow dlg);
void search_on_timer(UiWindow dlg, int timer_id);
// Stop button and the frame's close box.
void search_on_stop(UiWindow dlg);

// One probe ($AAM); appends the address to the module table when a module answers.
// Returns 1 when a module was added, else 0.
int probe_address(int address);
// Reads configuration, name, firmware, faults, counts, masks, mode and sort numbers of
// table entry i. 0 on success, nonzero when an exchange failed (what was read stays).
int read_module_parameters(int i);
// Sort numbers of channels 0..n-1 of entry i. 0, or 1 when an exchange failed.
int read_sort_numbers(int i, int n);

#endif
