// TCP link to the network converter over the net seam. The converter forwards bytes as
// they come off the bus, so a reply may arrive in several segments and late replies of an
// earlier request may still be waiting when the next one is sent.
#include "link/net_link.h"

#include <string.h>

#include "link/link_state.h"
#include "link/timing.h"
#include "platform/net.h"

enum {
    STALE_WAIT_US = 10000,    // how long to look for leftovers before a request
    STALE_MAX = 4150,         // leftovers thrown away per request
    WRITABLE_WAIT_US = 50,
    RECEIVE_SLACK = 20,       // a receive may take this much beyond the expected length
};

static void drop_socket(void) {
    if (net_state.tcp != SOCK_INVALID) sock_close(net_state.tcp);
    net_state.tcp = SOCK_INVALID;
}

// Leaves no socket and no socket library behind a failed open.
static int open_failed(int code) {
    drop_socket();
    sock_cleanup();
    return code;
}

int net_open(void) {
    link_state.open = 0;
    if (sock_startup() != 0) {
        sock_cleanup();
        return NET_OPEN_NO_LIBRARY;
    }
    net_state.tcp = sock_tcp();
    if (net_state.tcp == SOCK_INVALID) return open_failed(NET_OPEN_NO_SOCKET);
    uint32_t ip = 0;
    if (sock_resolve(net_state.host_text, &ip) != 0) return open_failed(NET_OPEN_NO_HOST);
    net_state.ip = ip;
    ip_to_text(ip, net_state.ip_text);
    net_state.peer.family = 2;
    net_state.peer.ip = ip;
    net_state.peer.port = net_state.port_entered;
    if (sock_connect(net_state.tcp, ip, net_state.port_entered) != 0) return open_failed(NET_OPEN_REFUSED);
    link_state.open = 1;
    // The TCP link carries the module's reply alone, from RxBuffer[0]. An echo found earlier
    // on a serial converter must not survive, or every reply would be read 5 bytes late and
    // every receive would wait its full window for 5 bytes that never come.
    link_state.echo_on = 0;
    link_state.echo_len = 0;
    link_settings.net_ip = ip;
    link_settings.net_port = net_state.port_entered;
    return 0;
}

int net_close(void) {
    drop_socket();
    sock_cleanup();
    link_state.open = 0;
    return 0;
}

int net_send(int len, const uint8_t *frame) {
    if (!link_state.open || net_state.tcp == SOCK_INVALID) return NET_SEND_CLOSED;
    const int readable = sock_wait_readable(net_state.tcp, STALE_WAIT_US);
    if (readable < 0) return NET_SEND_WAIT_READ;
    if (readable > 0) {
        // A reply that came after its exchange gave up: it must not be taken for the next one.
        static uint8_t stale[STALE_MAX];
        const int got = sock_recv(net_state.tcp, stale, STALE_MAX);
        if (got == 0) return NET_SEND_FAILED;  // the converter closed the connection
    }
    const int writable = sock_wait_writable(net_state.tcp, WRITABLE_WAIT_US);
    if (writable < 0) return NET_SEND_WAIT_WRITE;
    if (writable == 0) return NET_SEND_NOT_WRITABLE;
    if (len < 0 || sock_send(net_state.tcp, frame, len) != len) return NET_SEND_FAILED;
    return 0;
}

int net_receive(int n) {
    if (!link_state.open || net_state.tcp == SOCK_INVALID) return NET_RECV_CLOSED;
    memset(RxBuffer, 0, sizeof RxBuffer);
    const long long window = net_receive_window_us(link_state.searching);
    int total = 0;
    do {
        const int readable = sock_wait_readable(net_state.tcp, window);
        if (readable < 0) return NET_RECV_WAIT;
        if (readable == 0) break;
        int room = n + RECEIVE_SLACK;
        if (room > RX_BUFFER_SIZE - total) room = RX_BUFFER_SIZE - total;
        if (room <= 0) break;
        const int got = sock_recv(net_state.tcp, RxBuffer + total, room);
        if (got < 0) return NET_RECV_FAILED;
        if (got == 0) break;  // peer closed: what arrived is the reply
        total += got;
    } while (total < n);
    return total;
}
