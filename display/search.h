// Module search dialog (1009): a timer-driven probe of every bus address 00..FF, then a full
// parameter read of every module found. One function per dialog event.
#ifndef VOK_DISPLAY_SEARCH_H
#define VOK_DISPLAY_SEARCH_H

#include "display/search_scan.h"
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

#endif
