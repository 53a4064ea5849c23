// Module search without a window: the probe of one bus address, the parameter and sort number
// reads of a module found, and the whole scan of 00..FF. The search dialog and the
// command-line tool both run the bus through these.
#ifndef VOK_DISPLAY_SEARCH_SCAN_H
#define VOK_DISPLAY_SEARCH_SCAN_H

enum {
    SEARCH_TICK_MS = 10,        // pause between two probes of the normal scan
    SEARCH_LAST_ADDRESS = 255,
};

// Starts a scan: address 00 next, module table empty, the short search schedule on.
void search_scan_begin(void);
// Ends a scan: the normal schedule again, scan position 0; when modules were found the table
// is marked ready and every module's parameters are read (failures ignored).
void search_scan_finish(void);

// Called after each probe with the address probed and the modules found so far, then before
// the parameter read of each module found with address SEARCH_READING and the table index
// in `found`. A nonzero return stops the scan there, or the parameter reads there.
typedef int (*SearchProgress)(int address, int found, void *ctx);
enum { SEARCH_READING = -1 };

// The whole scan from 00 to FF, then the parameter reads. fast = 0: the search schedule with
// the dialog's pause between probes; fast = 1: probes timed by the link's measured turnaround
// (see link/fast_probe.h). A scan stopped by `progress` keeps the addresses found and reads
// no parameters. Returns the number of modules found.
int search_run(int fast, SearchProgress progress, void *ctx);

// A probe reply from another address than the one probed: a module that answered late, or
// (`again` 1: the same when the address was asked once more, alone) one that answers under a
// wrong address.
typedef void (*SearchLateReply)(int probed, int answered, int again, void *ctx);
// With `late` set, a probe takes only a reply that carries the address probed: another one
// goes to `late`, and the address is asked once more; after the scan each address that
// answered late is asked again on a quiet line. nullptr (the default, vokmon's search) takes
// any acknowledge for the module probed.
void search_check_reply_address(SearchLateReply late, void *ctx);

// One probe ($AAM); appends the address to the module table when a module answers.
// Returns 1 when a module was added, else 0.
int probe_address(int address);
// Reads configuration, name, firmware, faults, counts, masks, mode and sort numbers of
// table entry i. 0 on success, nonzero when an exchange failed (what was read stays).
int read_module_parameters(int i);
// Sort numbers of channels 0..n-1 of entry i. 0, or 1 when an exchange failed.
int read_sort_numbers(int i, int n);

#endif
