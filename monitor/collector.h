// `vokcli monitor`: the collector. Reads the plant file, opens the database, starts one worker
// process per link and writes what they read; alarms and the exporters follow every readout.
#ifndef VOK_MONITOR_COLLECTOR_H
#define VOK_MONITOR_COLLECTOR_H

#include <stdio.h>

#include "monitor/plant.h"

// Exit codes (as vokcli's): 0 stopped by SIGTERM/Ctrl-C, 2 bad arguments or plant file,
// 3 the metrics port cannot be opened, 5 the database cannot be written.
enum { COLLECT_OK = 0, COLLECT_USAGE = 2, COLLECT_LISTEN = 3, COLLECT_STORE = 5 };

enum { COLLECT_ADDR_MAX = 128 };

typedef struct CollectorOptions {
    const char *plant;                 // --plant FILE
    char listen[COLLECT_ADDR_MAX];     // --listen ADDR:PORT, "" when none
    char mqtt[COLLECT_ADDR_MAX];       // --mqtt HOST:PORT, "" when none
    int help;
} CollectorOptions;

// Parses the arguments after "monitor". COLLECT_OK, or COLLECT_USAGE with one line in `error`.
int collector_parse(int argc, char **argv, CollectorOptions *o, char *error, int error_cap);

// Runs the collector until SIGTERM or SIGINT; log lines go to `log`. Returns COLLECT_*.
int collector_run(const CollectorOptions *o, FILE *log);

const char *collector_usage(void);

#endif
