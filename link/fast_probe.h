// Probe exchange of the opt-in fast bus scan: instead of the fixed search schedule it
// listens for a reply start only as long as replies typically take on this link, polling the
// link every millisecond, and reads a reply as soon as it is complete. A reply that comes
// after its window is not lost: it is found in front of the next probe (or, carrying another
// address, as the next probe's reply) and its address is handed back to be asked again with
// the search's full wait.
#ifndef VOK_LINK_FAST_PROBE_H
#define VOK_LINK_FAST_PROBE_H

#include <stdint.h>

enum {
    FAST_SAMPLES = 64,
    FAST_LATE_UNKNOWN = 256,  // late_address: bytes came late, but no address can be read in them
};

typedef struct FastTiming {
    int64_t first_window_us;  // listening time before any reply was seen (the search's own wait)
    int64_t window_us;        // listening time for a reply start after the request left
    int64_t byte_us;          // one byte on the bus at the link's speed
    int64_t sample_us[FAST_SAMPLES];  // turnarounds measured (request out -> reply start)
    int samples;              // how many of them (the first FAST_SAMPLES are kept)
    int late_address;         // address of a reply that came after its window, FAST_LATE_UNKNOWN,
                              // or -1
    uint8_t last_cmd[16];     // the probe sent last: the tail of its echo is no late reply
    int last_len;
} FastTiming;

// Starts the measurement for requests of `cmd_len` bytes expecting `expect` bytes back: until
// a reply is seen the window is the normal search's first wait for the converter and speed.
void fast_timing_begin(FastTiming *ft, int cmd_len, int expect);

// The window after the turnarounds in `ft`: their median plus a quarter and two byte times,
// never longer than the first window (the first window while none was measured). The median
// keeps one late look of a busy host from slowing the rest of the scan. Pure.
int64_t fast_window_us(const FastTiming *ft);

// Records a turnaround and sets the window from it.
void fast_measured(FastTiming *ft, int64_t turnaround_us);

// Sends the frame once and collects its reply into RxBuffer (echo first, as bus_exchange
// does). Returns the bytes read, or EXCHANGE_NO_REPLY_SEARCH when no reply started within the
// window or the reply carries another module's address (late_address is then that one), or a
// negative link code. Bytes waiting before the request are a late reply: late_address tells
// whose.
int fast_exchange(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd);

// The name probe $AAM of the fast scan: fast_timing_begin for its frame and reply length,
// and one fast_exchange to `address` whose reply is left in `out` (past the echo).
struct ModuleReply;
void fast_name_probe_begin(FastTiming *ft);
int fast_name_probe(FastTiming *ft, uint8_t address, struct ModuleReply *out);

// Waits until nothing has arrived for a first window (at most about two seconds), throwing
// away what comes: late replies must not be taken for the answers to the probes that follow.
void fast_settle(const FastTiming *ft);

// Pure: the module address of a reply (lead '!' or '>' and two hex digits) found in `p`,
// or -1.
int fast_reply_address(const uint8_t *p, int n);

#endif
