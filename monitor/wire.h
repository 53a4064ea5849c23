// Messages from a link worker to the collector over the worker's pipe: a fixed header, then
// the body. One writer per pipe, so a message is never interleaved with another.
#ifndef VOK_MONITOR_WIRE_H
#define VOK_MONITOR_WIRE_H

#include <stdint.h>

#include "monitor/store.h"

enum { WIRE_READOUT = 1, WIRE_LINK = 2 };
enum { WIRE_TEXT_MAX = 160 };

typedef struct WireHeader {
    uint32_t kind;
    uint32_t size;  // bytes of the body that follows
} WireHeader;

// A readout; `count` StoreReading records follow it.
typedef struct WireReadout {
    int64_t time_ms;
    int32_t module, channel, result, count;
} WireReadout;

// The link's state after a change or a round: counters since the worker started.
typedef struct WireLink {
    int64_t time_ms;
    int32_t up;                // 1 while the link is open and answering
    int32_t modules;           // modules polled
    int64_t exchanges, failures, rounds, late_rounds;
    int64_t last_ok_ms;        // time of the last readout that succeeded, 0 when none
    char text[WIRE_TEXT_MAX];  // what happened, for the log ("" after a plain round)
} WireLink;

#endif
