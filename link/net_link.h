// TCP link to the network converter: raw module frames both ways, no framing of its own.
#ifndef VOK_LINK_NET_LINK_H
#define VOK_LINK_NET_LINK_H

#include <stdint.h>

// Results of net_open.
enum {
    NET_OPEN_NO_LIBRARY = -1,   // the socket library cannot be started
    NET_OPEN_NO_SOCKET = -2,    // the TCP socket cannot be created
    NET_OPEN_REFUSED = -4,      // the connection is refused or fails
    NET_OPEN_NO_HOST = -6,      // host_text cannot be resolved
};
// Results of net_send.
enum {
    NET_SEND_WAIT_WRITE = -1,   // waiting for writability failed
    NET_SEND_NOT_WRITABLE = -2, // not writable within 50 microseconds
    NET_SEND_FAILED = -3,
    NET_SEND_CLOSED = -4,       // the link is not open
    NET_SEND_WAIT_READ = -7,    // waiting for stale input failed
};
// Results of net_receive (besides the byte count).
enum {
    NET_RECV_CLOSED = -6,       // the link is not open
    NET_RECV_WAIT = -7,         // waiting for readability failed
    NET_RECV_FAILED = -8,       // a receive failed
};

// Connects to net_state.host_text at net_state.port_entered. 0 when open (link_settings.net_ip
// and net_port then hold the address and port used, and echo_on / echo_len are 0: the TCP
// link has no echo), else a NET_OPEN_ code with the link closed.
int net_open(void);

// Closes the socket and the socket library; the link is closed afterwards. Returns 0.
int net_close(void);

// Throws away stale input, then hands the frame to the connection in one send.
// 0 on success, else a NET_SEND_ code.
int net_send(int len, const uint8_t *frame);

// Zeroes RxBuffer and receives until `n` bytes arrived, a readability wait times out
// (60 ms during the search, 1060 ms otherwise) or the peer closes. Never writes past
// RxBuffer. Returns the bytes received, or a NET_RECV_ code.
int net_receive(int n);

#endif
