// The one module a vokcli command works on: its parameters read as the search reads them,
// into entry 0 of the module table (the current module the features read).
#ifndef VOK_CLI_MODULE_LOAD_H
#define VOK_CLI_MODULE_LOAD_H

#include <stdio.h>

#include "app/state.h"
#include "cli/options.h"

// Reads the module at `address` into module_table entry 0 and makes it current. EXIT_OK, or
// the exit code after a one-line error on `err` (no reply: EXIT_NO_REPLY).
int cli_load_module(int address, FILE *err);

// Opens the link of `o` and loads module o->address; on a failure the link is closed again.
// EXIT_OK or the exit code after one error line.
int cli_open_module(const CliOptions *o, FILE *err);

// A --channel the module cannot give (model 4500 has CH3 only): one line, EXIT_USAGE. `channel`
// -1 (not given) and CLI_CHANNEL_ALL always pass. EXIT_OK otherwise.
int check_channel_choice(Module *m, int channel, FILE *err);

// 1 when any of the n channels has units with IDs the module can be asked for.
int module_keeps_ids(Module *m, const int *channels, int n);

#endif
