// One request and its reply, paced per converter type and line speed: the paced serial
// path, the polled radio path, the polled path with the user's wait and the network path.
#ifndef VOK_LINK_EXCHANGE_H
#define VOK_LINK_EXCHANGE_H

#include <stdint.h>

// Results of the serial paths.
enum {
    EXCHANGE_NO_REPLY = -1,         // no reply start after every try (outside the search),
                                    // or the final read failed
    EXCHANGE_NO_REPLY_SEARCH = -2,  // no reply start during the search
};

// Sends the `cmd_len` bytes at `cmd` and reads the reply into RxBuffer from offset 0 (the
// echo, if any, first). Returns the bytes read (>= 0) or a negative code: the serial codes
// above, or those of net_send / net_receive on the network path.
int bus_exchange(int expect, int cmd_len, const uint8_t *cmd);

// Finds out whether the converter echoes the host's bytes; sets link_state.echo_on and
// echo_len (5 or 0). Run right after a serial port was opened. Returns 0.
int probe_echo(void);

#endif
