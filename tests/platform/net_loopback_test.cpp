// POSIX network backend on loopback only, in real time: resolve, connect, send/recv,
// the select waits, a closing peer, datagrams, the interface list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/net.h"
#include "socat_peer.h"

namespace {

uint32_t wire(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t ip;
    memcpy(&ip, bytes, 4);
    return ip;
}

const uint32_t LOOPBACK = wire(127, 0, 0, 1);

int probe_connect(uint16_t port)
{
    SockHandle s = sock_tcp();
    if (s == SOCK_INVALID) return -1;
    int r = sock_connect(s, LOOPBACK, port);
    sock_close(s);
    return r;
}

std::string recv_text(SockHandle s, int len)
{
    char buf[256];
    std::string out;
    while ((int)out.size() < len && sock_wait_readable(s, 1000000) == 1) {
        int n = sock_recv(s, buf, (int)sizeof buf);
        if (n <= 0) break;
        out.append(buf, (size_t)n);
    }
    return out;
}

TEST(PosixNet, ResolvesDottedTextAndNames)
{
    ASSERT_EQ(sock_startup(), 0);
    uint32_t ip = 0;
    ASSERT_EQ(sock_resolve("127.0.0.1", &ip), 0);
    EXPECT_EQ(ip, LOOPBACK);
    ip = 0;
    ASSERT_EQ(sock_resolve("localhost", &ip), 0);
    char text[16];
    ip_to_text(ip, text);
    EXPECT_EQ(std::string(text).rfind("127.", 0), 0u) << text;
    EXPECT_NE(sock_resolve("no-such-host.invalid", &ip), 0);
    EXPECT_NE(sock_resolve("", &ip), 0);
    sock_cleanup();
}

TEST(PosixNet, EchoPeerSendReceiveAndWaits)
{
    socat_peer::TcpServer echo("PIPE", probe_connect);
    ASSERT_TRUE(echo.ok) << "socat echo server could not start";
    SockHandle s = sock_tcp();
    ASSERT_NE(s, SOCK_INVALID);
    ASSERT_EQ(sock_connect(s, LOOPBACK, echo.port), 0);

    // Nothing pending: the readability wait runs its full time-out.
    // Shortest of three: load only ever adds time, and the wait must never end early.
    double ms = 1e9;
    for (int run = 0; run < 3; run++) {
        int64_t t0 = now_us();
        EXPECT_EQ(sock_wait_readable(s, 50000), 0);
        ms = std::min(ms, (double)(now_us() - t0) / 1000.0);
    }
    printf("readability wait of 50 ms, nothing pending: %.2f ms\n", ms);
    EXPECT_GE(ms, 49.9);
    EXPECT_LT(ms, 56.0);

    EXPECT_EQ(sock_wait_writable(s, 50), 1);
    ASSERT_EQ(sock_send(s, "#018\r", 5), 5);
    EXPECT_EQ(recv_text(s, 5), "#018\r");
    EXPECT_EQ(sock_close(s), 0);
}

TEST(PosixNet, PeerThatClosesGivesZeroAfterItsData)
{
    socat_peer::TcpServer bye("SYSTEM:printf bye", probe_connect);
    ASSERT_TRUE(bye.ok);
    SockHandle s = sock_tcp();
    ASSERT_EQ(sock_connect(s, LOOPBACK, bye.port), 0);
    char buf[16];
    ASSERT_EQ(sock_wait_readable(s, 2000000), 1);
    int n = sock_recv(s, buf, sizeof buf);
    ASSERT_GT(n, 0);
    if (n < 3) n += sock_recv(s, buf + n, (int)sizeof buf - n);
    EXPECT_EQ(std::string(buf, (size_t)n), "bye");
    ASSERT_EQ(sock_wait_readable(s, 2000000), 1);  // the close makes it readable
    EXPECT_EQ(sock_recv(s, buf, sizeof buf), 0);
    sock_close(s);
}

TEST(PosixNet, ConnectionRefusedIsAFailure)
{
    uint16_t port;
    {
        socat_peer::TcpServer gone("PIPE", probe_connect);
        ASSERT_TRUE(gone.ok);
        port = gone.port;
    }  // server stopped: nobody listens on the port now
    SockHandle s = sock_tcp();
    EXPECT_EQ(sock_connect(s, LOOPBACK, port), -1);
    sock_close(s);
    EXPECT_EQ(sock_close(SOCK_INVALID), -1);
}

TEST(PosixNet, DatagramsOnLoopbackCarrySenderAddress)
{
    SockHandle rx = sock_udp(), tx = sock_udp();
    ASSERT_NE(rx, SOCK_INVALID);
    ASSERT_NE(tx, SOCK_INVALID);
    uint16_t port = 0;
    for (uint16_t p = 31000; p < 31100 && !port; p++)
        if (sock_bind(rx, LOOPBACK, p) == 0) port = p;
    ASSERT_NE(port, 0);
    ASSERT_EQ(sock_set_broadcast(tx, 1), 0);  // allowed; nothing is broadcast here
    const uint8_t query[4] = {0x00, 0x00, 0x00, 0xF6};
    ASSERT_EQ(sock_sendto(tx, query, 4, LOOPBACK, port), 4);
    ASSERT_EQ(sock_wait_readable(rx, 1000000), 1);
    uint8_t got[8];
    uint32_t from = 0;
    uint16_t from_port = 0;
    ASSERT_EQ(sock_recvfrom(rx, got, sizeof got, &from, &from_port), 4);
    EXPECT_EQ(0, memcmp(got, query, 4));
    EXPECT_EQ(from, LOOPBACK);
    EXPECT_NE(from_port, 0);
    sock_close(rx);
    sock_close(tx);
}

TEST(PosixNet, InterfaceListIncludesLoopbackWithItsMask)
{
    uint32_t ips[10], masks[10];
    int n = sock_local_interfaces(ips, masks, 10);
    ASSERT_GE(n, 1);
    bool loopback = false;
    for (int i = 0; i < n; i++)
        if (ips[i] == LOOPBACK) {
            loopback = true;
            EXPECT_EQ(masks[i], wire(255, 0, 0, 0));
        }
    EXPECT_TRUE(loopback);
    EXPECT_LE(sock_local_interfaces(ips, masks, 1), 1);
}

}  // namespace
