// The fake net backend against simulated network converters: TCP frames on virtual time,
// refused endpoints, peer close, name lookup, and the UDP 30718 datagrams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/fake/fake_platform.h"
#include "platform/net.h"
#include "sim/sim.h"
#include "tests/platform/net_contract.h"

namespace {

struct FakeNet : ::testing::Test {
    sim::Bus bus;
    sim::NetConverter conv{&bus};
    const uint32_t ip = sim::ip4(127, 0, 0, 2);

    void SetUp() override
    {
        fake::reset();
        sim::Module m = sim::make_module(0x01, 4560);
        m.channels[0].units.push_back(sim::make_itu(1, 1, 2, 20));
        bus.add(m);
        conv.config.ip = ip;
        conv.config.mask = sim::ip4(255, 255, 255, 0);
        conv.config.mac = {0x00, 0x20, 0x4A, 0x11, 0x22, 0x33};
        conv.config.tcp_port = 10001;
        conv.config.restart_ms = 3000;
        fake::attach_tcp(ip, 10001, &conv);
        fake::attach_udp(&conv);
    }
};

TEST_F(FakeNet, FramesOverTcpTakeTheLineTime)
{
    ASSERT_EQ(sock_startup(), 0);
    SockHandle s = sock_tcp();
    ASSERT_NE(s, SOCK_INVALID);
    EXPECT_EQ(sock_connect(s, ip, 10002), -1);  // nobody listens there
    ASSERT_EQ(sock_connect(s, ip, 10001), 0);
    ASSERT_EQ(sock_wait_writable(s, 50), 1);
    const int64_t t0 = fake::now_us();
    ASSERT_EQ(sock_send(s, "$01M\r", 5), 5);
    EXPECT_EQ(fake::now_us(), t0);  // a send does not wait for the line
    EXPECT_EQ(sock_wait_readable(s, 5000), 0);
    ASSERT_EQ(sock_wait_readable(s, 1060000), 1);
    char buf[64];
    int got = 0;
    while (got < 11 && sock_wait_readable(s, 1060000) == 1)
        got += sock_recv(s, buf + got, 31);
    EXPECT_EQ(std::string(buf, 11), "!01VOK4560\r");
    // 9600 baud on the converter's line: 16 bytes of 10 bits plus the module's 2 ms
    EXPECT_NEAR(fake::now_us() - t0, 16 * 10 * 1e6 / 9600 + 2000, 20);
    // A silent address: the wait times out with nothing.
    sock_send(s, "$05M\r", 5);
    const int64_t t1 = fake::now_us();
    EXPECT_EQ(sock_wait_readable(s, 60000), 0);
    EXPECT_EQ(fake::now_us() - t1, 60000);
    sock_close(s);
    sock_cleanup();
    const auto &log = fake::net_log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1].kind, fake::NetEvent::Connect);
    EXPECT_EQ(log[1].value, -1);
    EXPECT_EQ(log[3].kind, fake::NetEvent::Send);
    EXPECT_EQ(std::string(log[3].bytes.begin(), log[3].bytes.end()), "$01M\r");
}

TEST_F(FakeNet, PeerClosesMidReply)
{
    conv.close_after_bytes = 4;
    SockHandle s = sock_tcp();
    ASSERT_EQ(sock_connect(s, ip, 10001), 0);
    sock_send(s, "$01M\r", 5);
    char buf[32];
    int got = 0, k;
    while ((k = sock_recv(s, buf + got, 32 - got)) > 0)
        got += k;
    EXPECT_EQ(k, 0);
    EXPECT_EQ(std::string(buf, got), "!01V");
    EXPECT_EQ(sock_send(s, "$01M\r", 5), -1);
}

TEST_F(FakeNet, NamesAndInterfaces)
{
    uint32_t a = 0;
    EXPECT_EQ(sock_resolve("127.0.0.2", &a), 0);
    EXPECT_EQ(a, ip);
    EXPECT_EQ(sock_resolve("converter.local", &a), -1);
    fake::add_host("converter.local", ip);
    EXPECT_EQ(sock_resolve("converter.local", &a), 0);
    EXPECT_EQ(a, ip);
    fake::set_interfaces({sim::ip4(127, 0, 0, 1), sim::ip4(127, 0, 0, 9)},
                         {sim::ip4(255, 0, 0, 0), sim::ip4(255, 255, 255, 0)});
    uint32_t ips[3], masks[3];
    fake::fail_next(fake::Fail::Interfaces);
    EXPECT_EQ(sock_local_interfaces(ips, masks, 3), -1);
    EXPECT_EQ(sock_local_interfaces(ips, masks, 3), 2);
    EXPECT_EQ(sock_local_interfaces(ips, masks, 1), 1);
    EXPECT_EQ(ips[1], sim::ip4(127, 0, 0, 9));
    EXPECT_EQ(masks[1], sim::ip4(255, 255, 255, 0));
}

TEST_F(FakeNet, DiscoveryAndConfigurationDatagrams)
{
    SockHandle u = sock_udp();
    const uint8_t discover[4] = {0, 0, 0, 0xF6};
    const uint32_t bcast = sim::ip4(127, 0, 0, 255);
    EXPECT_EQ(sock_sendto(u, discover, 4, bcast, 30718), -1);  // broadcast not enabled
    sock_set_broadcast(u, 1);
    ASSERT_EQ(sock_sendto(u, discover, 4, bcast, 30718), 4);
    ASSERT_EQ(sock_wait_readable(u, 1000200), 1);
    uint8_t r[200];
    uint32_t from = 0;
    uint16_t port = 0;
    ASSERT_EQ(sock_recvfrom(u, r, sizeof r, &from, &port), 30);
    EXPECT_EQ(from, ip);
    EXPECT_EQ(port, 30718);
    EXPECT_EQ(0, std::memcmp(r + 24, conv.config.mac.data(), 6));
    EXPECT_EQ(sock_wait_readable(u, 1000200), 0);
    // Another subnet's broadcast does not reach it.
    sock_sendto(u, discover, 4, sim::ip4(127, 0, 1, 255), 30718);
    EXPECT_EQ(sock_wait_readable(u, 1000200), 0);

    const uint8_t query[4] = {0, 0, 0, 0xF8};
    sock_sendto(u, query, 4, bcast, 30718);
    ASSERT_EQ(sock_recvfrom(u, r, sizeof r, &from, &port), 124);
    EXPECT_EQ(0, std::memcmp(r + 4, &ip, 4));
    EXPECT_EQ(r[21], 2);  // 9600
    EXPECT_EQ(r[24] | (r[25] << 8), 10001);

    // Write: speed code 0 (38400); acknowledged with FB, applied after the restart delay.
    uint8_t write[124];
    std::memcpy(write, r, 124);
    write[3] = 0xFA;
    write[21] = 0;
    ASSERT_EQ(sock_sendto(u, write, 124, ip, 30718), 124);
    ASSERT_EQ(sock_recvfrom(u, r, 20, &from, &port), 4);
    EXPECT_EQ(r[3], 0xFB);
    EXPECT_EQ(conv.line_baud, 9600u);
    fake::advance_us(3000000);
    conv.settle(fake::now_us());
    EXPECT_EQ(conv.line_baud, 38400u);

    // IP-SETUP reaches only the converter whose MAC ends in the given two bytes.
    uint8_t setip[20] = {0, 0, 0, 0xFC, 'I', 'P', '-', 'S', 'E', 'T', 'U', 'P', 0, 0, 0x22, 0x34,
                         127, 0, 0, 7};
    sock_sendto(u, setip, 20, bcast, 30718);
    fake::advance_us(4000000);
    EXPECT_EQ(conv.current_ip(fake::now_us()), ip);
    setip[15] = 0x33;
    sock_sendto(u, setip, 20, bcast, 30718);
    EXPECT_EQ(conv.current_ip(fake::now_us()), ip);  // not before its restart
    fake::advance_us(3000000);
    EXPECT_EQ(conv.current_ip(fake::now_us()), sim::ip4(127, 0, 0, 7));
    // Its TCP port answers at the new address; nothing else moved there.
    conv.line_baud = 9600;  // back to the module's speed, undoing the write above
    SockHandle t = sock_tcp();
    EXPECT_EQ(sock_connect(t, sim::ip4(127, 0, 0, 7), 10002), -1);
    ASSERT_EQ(sock_connect(t, sim::ip4(127, 0, 0, 7), 10001), 0);
    ASSERT_EQ(sock_send(t, "$01M\r", 5), 5);
    ASSERT_EQ(sock_wait_readable(t, 1060000), 1);
    sock_close(t);
}

TEST_F(FakeNet, ConverterWithoutAddressAnswersFromItsDhcpAddress)
{
    conv.config.ip = 0;
    conv.config.dhcp_ip = sim::ip4(127, 0, 0, 40);
    SockHandle u = sock_udp();
    sock_set_broadcast(u, 1);
    const uint8_t query[4] = {0, 0, 0, 0xF8};
    sock_sendto(u, query, 4, sim::ip4(127, 0, 0, 255), 30718);
    uint8_t r[200];
    uint32_t from = 0;
    ASSERT_EQ(sock_recvfrom(u, r, sizeof r, &from, nullptr), 124);
    EXPECT_EQ(from, sim::ip4(127, 0, 0, 40));
    EXPECT_EQ(r[4] | r[5] | r[6] | r[7], 0);  // the record holds no address
}

// The contract the POSIX and Win32 backends keep too (platform_net_contract_*), on
// virtual time: the fake may be no kinder than they are.
TEST_F(FakeNet, KeepsTheNetContract)
{
    EXPECT_EQ(net_contract_run(), 0);
}

}  // namespace
