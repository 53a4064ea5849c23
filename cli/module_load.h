// The one module a vokcli command works on: its parameters read as the search reads them,
// into entry 0 of the module table (the current module the features read).
#ifndef VOK_CLI_MODULE_LOAD_H
#define VOK_CLI_MODULE_LOAD_H

#include <stdio.h>

#include "cli/options.h"

// Reads the module at `address` into module_table entry 0 and makes it current. EXIT_OK, or
// the exit code after a one-line error on `err` (no reply: EXIT_NO_REPLY).
int cli_load_module(int address, FILE *err);

// Opens the link of `o` and loads module o->address; on a failure the link is closed again.
// EXIT_OK or the exit code after one error line.
int cli_open_module(const CliOptions *o, FILE *err);

#endif
