// Module search dialog (1009): a timer-driven probe of every bus address 00..FF, then a full
// parameter read of every module found. One function per dialog event.
#ifndef VOK_DISPLAY_SEARCH_H
#define VOK_DISPLAY_SEARCH_H

#include "platform/ui.h"

extern const UiDialogHandlers search_handlers;

// Dialog opened: both fields show 0, the start button has the focus.
void search_on_init(UiWindow dlg);
// Start button: empties the table and probes from address 00, one address per timer tick.
void search_on_start(UiWindow dlg);
// One scan tick: probes the next address; after FF reads every module found and closes.
void search_on_timer(UiWindow dlg, int timer_id);
// Stop button and the frame's close box: reads what a stopped scan found (offering a retry
// for each module that fails), or forgets a table made stale by a configuration write.
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
