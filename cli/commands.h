// vokcli's subcommands: each opens the link it needs, talks to the bus through link/,
// protocol/ and the features' non-dialog functions, and formats the result. Each returns an
// exit code of cli/options.h after writing any error as one line on `err`.
#ifndef VOK_CLI_COMMANDS_H
#define VOK_CLI_COMMANDS_H

#include <stdio.h>

#include "cli/options.h"

int cmd_search(const CliOptions *o, FILE *out, FILE *err);
int cmd_read(const CliOptions *o, FILE *out, FILE *err);
int cmd_watch(const CliOptions *o, FILE *out, FILE *err);
int cmd_ids(const CliOptions *o, FILE *out, FILE *err);
int cmd_export(const CliOptions *o, FILE *out, FILE *err);
int cmd_raw(const CliOptions *o, FILE *out, FILE *err);
int cmd_discover(const CliOptions *o, FILE *out, FILE *err);

// Commands of the collector's database and plant file, which parse their own arguments
// (those after the command's name).
int cmd_history(int argc, char **argv, FILE *out, FILE *err);
int cmd_monitor(int argc, char **argv, FILE *out, FILE *err);

// The whole program: parses argv, opens the trace log, runs the subcommand.
int cli_main(int argc, char **argv, FILE *out, FILE *err);

#endif
