// The net seam's contract on loopback: datagrams cut to the buffer and reported with their
// cut length (a converter's 30-byte acknowledge read into 20 bytes), exact and zero-length
// datagrams, the sender's address, read time-outs, and a connect nobody accepts.
#include "tests/platform/net_contract.h"

#include <stdio.h>
#include <string.h>

#include "platform/clock.h"
#include "platform/net.h"

namespace {

const uint32_t Loopback = 0x0100007Fu;  // 127.0.0.1 in network order
int g_passed, g_failed;

void check(bool ok, const char *name, const char *detail, int got)
{
    if (ok) {
        g_passed++;
        printf("ok   %s\n", name);
    } else {
        g_failed++;
        printf("FAIL %s: %s (got %d)\n", name, detail, got);
    }
}

// A receiver bound on loopback and a sender; the receiver's port in *port.
bool open_pair(SockHandle *rx, SockHandle *tx, uint16_t *port)
{
    *rx = sock_udp();
    *tx = sock_udp();
    *port = 0;
    if (*rx == SOCK_INVALID || *tx == SOCK_INVALID) return false;
    for (uint16_t p = 31200; p < 31400 && !*port; p++)
        if (sock_bind(*rx, Loopback, p) == 0) *port = p;
    return *port != 0;
}

// Sends `len` bytes and reads them back into a `cap`-byte buffer; the read's result.
int send_and_read(SockHandle rx, SockHandle tx, uint16_t port, const uint8_t *bytes, int len, uint8_t *buf,
                  int cap, uint32_t *from, uint16_t *from_port)
{
    if (sock_sendto(tx, bytes, len, Loopback, port) != len) return -100;
    if (sock_wait_readable(rx, 2000000) != 1) return -101;
    return sock_recvfrom(rx, buf, cap, from, from_port);
}

void datagrams(void)
{
    SockHandle rx, tx;
    uint16_t port;
    const bool open = open_pair(&rx, &tx, &port);
    check(open, "udp: loopback pair opens", "no socket or no free port", 0);
    if (!open) return;

    // A converter's acknowledge of 30 bytes, accepted by byte 3, read into 20 bytes.
    uint8_t ack[30];
    for (int i = 0; i < 30; i++) ack[i] = (uint8_t)(0x40 + i);
    ack[3] = 0xFB;
    uint8_t buf[64];
    memset(buf, 0, sizeof buf);
    uint32_t from = 0;
    uint16_t from_port = 0;
    int n = send_and_read(rx, tx, port, ack, 30, buf, 20, &from, &from_port);
    check(n == 20, "udp: a datagram longer than the buffer reads as its first bytes, with that length",
          "expected 20", n);
    check(n == 20 && memcmp(buf, ack, 20) == 0 && buf[3] == 0xFB && buf[20] == 0,
          "udp: the cut datagram holds its first bytes and nothing past the buffer", "bytes differ", n);
    check(from == Loopback && from_port != 0, "udp: the sender's address comes with the datagram",
          "wrong address or port", (int)from_port);

    // What was cut off is gone: the next read gets the next datagram.
    const uint8_t query[4] = {0x00, 0x00, 0x00, 0xF6};
    n = send_and_read(rx, tx, port, query, 4, buf, 20, nullptr, nullptr);
    check(n == 4 && memcmp(buf, query, 4) == 0, "udp: the rest of a cut datagram is dropped", "expected 4", n);

    n = send_and_read(rx, tx, port, ack, 20, buf, 20, nullptr, nullptr);
    check(n == 20, "udp: a datagram of exactly the buffer's size reads whole", "expected 20", n);

    n = send_and_read(rx, tx, port, ack, 0, buf, 20, nullptr, nullptr);
    check(n == 0, "udp: a zero-length datagram is readable and reads as 0 bytes", "expected 0", n);

    // Nothing sent: the wait runs its whole time-out and says so.
    const int64_t t0 = now_us();
    const int w = sock_wait_readable(rx, 100000);
    const int64_t waited = now_us() - t0;
    check(w == 0, "udp: a wait with nothing to read ends in a time-out", "expected 0", w);
    check(waited >= 90000 && waited < 1000000, "udp: the time-out lasts as long as asked (100 ms)",
          "waited ms", (int)(waited / 1000));
    sock_close(rx);
    sock_close(tx);
}

// A port that is bound but listened on by nobody refuses the connection.
void refused_connect(void)
{
    SockHandle bound = sock_tcp(), s = sock_tcp();
    uint16_t port = 0;
    for (uint16_t p = 31400; p < 31600 && !port && bound != SOCK_INVALID; p++)
        if (sock_bind(bound, Loopback, p) == 0) port = p;
    check(port != 0 && s != SOCK_INVALID, "tcp: a port is bound for the refusal", "no port", 0);
    if (port != 0 && s != SOCK_INVALID) {
        const int r = sock_connect(s, Loopback, port);
        check(r == -1, "tcp: connecting where nobody listens fails", "expected -1", r);
    }
    sock_close(s);
    sock_close(bound);
}

}  // namespace

int net_contract_run(void)
{
    g_passed = g_failed = 0;
    datagrams();
    refused_connect();
    printf("%d passed, %d failed\n", g_passed, g_failed);
    fflush(stdout);
    return g_failed;
}
