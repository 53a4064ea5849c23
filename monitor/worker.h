// A link worker: the process that owns one link of the plant, polls its modules at the link's
// period and sends every readout and its link state to the collector over a pipe. The link
// layer and the module table are program-wide records, so each link gets a process of its own.
#ifndef VOK_MONITOR_WORKER_H
#define VOK_MONITOR_WORKER_H

#include "monitor/plant.h"

enum {
    WORKER_BACKOFF_FIRST_MS = 1000,   // first retry of a link that failed
    WORKER_BACKOFF_MAX_MS = 60000,    // retries never further apart than this
    WORKER_SLICE_MS = 100,            // how often a wait looks for the stop request
};

// Runs the worker of plant link `link`, writing to `fd`, until SIGTERM or SIGINT (or the
// collector is gone). Returns the process's exit code: 0 after a stop request.
int worker_run(const Plant *plant, int link, int fd);

// Unix time in ms (the readouts' time stamps).
int64_t wall_ms(void);

// SIGTERM and SIGINT call `handler` (no restart: a blocking wait returns at once); SIGPIPE is
// ignored, so a reader gone from a socket is an error to handle, not the end of the process.
void catch_stop_signals(void (*handler)(int));

#endif
