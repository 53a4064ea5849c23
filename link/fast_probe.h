// Probe exchange of the opt-in fast bus scan: instead of the fixed search schedule it
// listens for a reply start only as long as the replies seen so far took, polling the link
// every millisecond, and reads a reply as soon as it is complete.
#ifndef VOK_LINK_FAST_PROBE_H
#define VOK_LINK_FAST_PROBE_H

#include <stdint.h>

typedef struct FastTiming {
    int64_t first_window_us;  // listening time before any reply was seen (the search's own wait)
    int64_t window_us;        // listening time for a reply start after the request left
    int64_t longest_us;       // longest turnaround measured: request out -> reply start
    int64_t byte_us;          // one byte on the bus at the link's speed
    int replies;              // replies measured
} FastTiming;

// Starts the measurement for requests of `cmd_len` bytes expecting `expect` bytes back: until
// a reply is seen the window is the normal search's first wait for the converter and speed.
void fast_timing_begin(FastTiming *ft, int cmd_len, int expect);

// The window after a turnaround of `turnaround_us` was measured: one and a quarter times the
// longest turnaround seen plus three byte times, never longer than the first window. Pure.
int64_t fast_window_us(const FastTiming *ft, int64_t turnaround_us);

// Sends the frame once and collects its reply into RxBuffer (echo first, as bus_exchange
// does). Returns the bytes read, or EXCHANGE_NO_REPLY_SEARCH when no reply started within the
// window, or a negative link code. Updates the measured turnaround.
int fast_exchange(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd);

#endif
