// Converter discovery and configuration on the fake net: what goes out on which interface,
// what the answers fill in, the waits, and every failure code with the socket closed after it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "app/state.h"
#include "netsetup/converter_proto.h"
#include "platform/fake/fake_platform.h"
#include "sim/sim.h"
#include "tests/netsetup/net_converters.h"

namespace {

using sim::ip4;
using Bytes = std::vector<uint8_t>;

uint32_t host(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | d;
}

class Proto : public ::testing::Test {
protected:
    sim::Bus bus;
    std::vector<std::unique_ptr<sim::NetConverter>> convs;

    void SetUp() override
    {
        fake::reset();
        state_reset();
        converter_list = ConverterList{};
        local_if = LocalIf{};
        net_state.udp = SOCK_INVALID;
    }

    sim::NetConverter &add_conv(uint32_t ip, uint8_t mac_tail, uint32_t wire = 0)
    {
        return add_net_converter(convs, bus, ip, mac_tail, wire);
    }

    // udp_open .. udp_close as the list dialog runs it; the first failing code, or 0.
    int discover_all()
    {
        int r = udp_open();
        if (r == 0) r = local_if_query();
        if (r == 0) r = converter_discover();
        if (r == 0) r = converter_read_configs();
        if (r == 0) udp_close();
        return r;
    }

    std::vector<fake::NetEvent> events(fake::NetEvent::Kind k)
    {
        std::vector<fake::NetEvent> out;
        for (const auto &e : fake::net_log())
            if (e.kind == k) out.push_back(e);
        return out;
    }
    // Every socket made has been closed and every library start has its clean-up.
    void expect_released()
    {
        EXPECT_EQ(net_state.udp, SOCK_INVALID);
        size_t started = 0;
        for (const auto &e : events(fake::NetEvent::Startup)) started += e.value == 0;
        EXPECT_EQ(started, events(fake::NetEvent::Cleanup).size());
    }
};

const uint32_t MASK24 = ip4(255, 255, 255, 0);

TEST_F(Proto, TwoSubnetsGetEveryQueryOnceEachAndRememberTheInterface)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5), ip4(10, 2, 2, 5)},
                         {ip4(255, 0, 0, 0), MASK24, MASK24});
    add_conv(ip4(10, 1, 1, 50), 0x01);
    // In another subnet, but on the second interface's segment.
    add_conv(ip4(172, 16, 9, 60), 0x02, ip4(10, 2, 2, 5));
    ASSERT_EQ(discover_all(), 0);

    std::vector<std::pair<Bytes, uint32_t>> sent;
    for (const auto &e : events(fake::NetEvent::SendTo)) {
        EXPECT_EQ(e.port, 30718);
        sent.emplace_back(e.bytes, e.ip);
    }
    const Bytes f6{0, 0, 0, 0xF6}, f8{0, 0, 0, 0xF8};
    const std::vector<std::pair<Bytes, uint32_t>> want{{f6, ip4(10, 1, 1, 255)}, {f6, ip4(10, 2, 2, 255)},
                                                       {f8, ip4(10, 1, 1, 255)}, {f8, ip4(10, 2, 2, 255)}};
    EXPECT_EQ(sent, want);

    const ConverterList &c = converter_list;
    ASSERT_EQ(c.count, 2);
    EXPECT_EQ(c.ip[0], host(10, 1, 1, 50));
    EXPECT_EQ(c.ip[1], host(172, 16, 9, 60));
    EXPECT_EQ(c.if_index[0], 0);
    EXPECT_EQ(c.if_index[1], 1);
    EXPECT_EQ(c.mac[1][5], 0x02);
    EXPECT_EQ(c.port[0], 10001);
    EXPECT_EQ(c.baud_code[0], 2);  // 9600
    EXPECT_EQ(c.ip_unset[0], 0);

    // Each query: one wait that brings the reply, one that runs out; all 1 s 200 us.
    auto waits = events(fake::NetEvent::Wait);
    ASSERT_EQ(waits.size(), 8u);
    for (const auto &w : waits) EXPECT_EQ(w.timeout_us, 1000200);
    EXPECT_EQ(fake::now_us(), 4 * (2000 + 1000200));
    expect_released();
}

TEST_F(Proto, InterfaceListKeepsTheFirstThreeThatAreNotLoopback)
{
    struct Case {
        const char *name;
        std::vector<uint32_t> ips;
        bool fail;
        int want;
        std::vector<uint32_t> kept;
    };
    const std::vector<Case> cases{
        {"five", {ip4(10, 0, 0, 1), ip4(127, 0, 0, 1), ip4(10, 0, 1, 1), ip4(10, 0, 2, 1), ip4(10, 0, 3, 1)},
         false, 0, {ip4(10, 0, 0, 1), ip4(10, 0, 1, 1), ip4(10, 0, 2, 1)}},
        {"loopback only", {ip4(127, 0, 0, 1)}, false, -4, {}},
        {"query fails", {ip4(127, 0, 0, 1), ip4(10, 0, 0, 1)}, true, -3, {}},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        SetUp();
        fake::set_interfaces(k.ips, std::vector<uint32_t>(k.ips.size(), MASK24));
        ASSERT_EQ(udp_open(), 0);
        if (k.fail) fake::fail_next(fake::Fail::Interfaces);
        EXPECT_EQ(local_if_query(), k.want);
        EXPECT_EQ(std::vector<uint32_t>(local_if.addr, local_if.addr + local_if.count), k.kept);
        if (k.want == 0) {
            EXPECT_EQ(local_if.mask[2], MASK24);
            udp_close();
        }
        expect_released();
    }
}

TEST_F(Proto, NinetyEightFamilyTakesTheHostNameAndTheDhcpMask)
{
    struct Case {
        const char *name;
        std::string host_name;
        bool resolves, dhcp;
        uint32_t dhcp_ip;
        int want;
        uint32_t mask;
    };
    const uint32_t me = ip4(10, 5, 0, 9);
    const std::vector<Case> cases{
        {"dhcp lease of this address", "box", true, true, me, 0, ip4(255, 255, 0, 0)},
        {"lease of another address", "box", true, true, ip4(10, 5, 0, 8), 0, MASK24},
        {"no lease", "box", true, false, 0, 0, MASK24},
        {"name unreadable", "", true, false, 0, -1, 0},
        {"name unresolvable", "box", false, false, 0, -2, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        SetUp();
        fake::set_os_family(98);
        fake::set_host_name(k.host_name);
        if (k.resolves) fake::add_host("box", me);
        fake::set_dhcp_info(k.dhcp, k.dhcp_ip, ip4(255, 255, 0, 0));
        ASSERT_EQ(udp_open(), 0);
        EXPECT_EQ(link_state.os_family, 98);
        ASSERT_EQ(local_if_query(), k.want);
        if (k.want == 0) {
            EXPECT_EQ(local_if.count, 1);
            EXPECT_EQ(local_if.addr[0], me);
            EXPECT_EQ(local_if.mask[0], k.mask);
            udp_close();
        } else {
            EXPECT_EQ(local_if.count, 0);
        }
        expect_released();
    }
}

TEST_F(Proto, ConverterWithoutAddressIsListedFromItsSource)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    sim::NetConverter &a = add_conv(0, 0x01);
    a.config.dhcp_ip = ip4(10, 1, 1, 77);
    sim::NetConverter &b = add_conv(ip4(0, 0, 1, 0), 0x02);
    b.config.dhcp_ip = ip4(10, 1, 1, 78);
    b.config.mask = 0;
    b.config.wire = ip4(10, 1, 1, 5);
    ASSERT_EQ(discover_all(), 0);
    ASSERT_EQ(converter_list.count, 2);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(converter_list.ip_unset[i], 1);
        EXPECT_EQ(converter_list.ip[i], converter_list.cfg_from[i]);
    }
    EXPECT_EQ(converter_list.ip[0], host(10, 1, 1, 77));
    EXPECT_EQ(converter_list.ip[1], host(10, 1, 1, 78));
}

TEST_F(Proto, EighthConverterEndsTheDiscoveryAndTheRecordsStopAtEight)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5), ip4(10, 2, 2, 5)},
                         {ip4(255, 0, 0, 0), MASK24, MASK24});
    for (uint8_t i = 0; i < 9; i++) add_conv(ip4(10, 1, 1, static_cast<uint8_t>(50 + i)), i);
    add_conv(ip4(10, 2, 2, 50), 0x20);
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(local_if_query(), 0);
    ASSERT_EQ(converter_discover(), 0);
    EXPECT_EQ(converter_list.count, 8);
    // The eighth reply ends it: no wait runs out, the second interface is never asked.
    auto sends = events(fake::NetEvent::SendTo);
    ASSERT_EQ(sends.size(), 1u);
    EXPECT_EQ(sends[0].ip, ip4(10, 1, 1, 255));
    EXPECT_EQ(events(fake::NetEvent::Wait).size(), 8u);

    const size_t waits_before = events(fake::NetEvent::Wait).size();
    ASSERT_EQ(converter_read_configs(), 0);
    udp_close();
    // The ninth discovery reply, still queued, is read and passed over; of nine records
    // offered on the first interface eight are stored and the read stops there.
    EXPECT_EQ(events(fake::NetEvent::Wait).size() - waits_before, 9u);
    EXPECT_EQ(converter_list.cfg_from[7] & 0xFFFFFF00u, host(10, 1, 1, 0));
    for (int i = 0; i < 8; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(converter_list.cfg_from[i] & 0xFFFFFF00u, host(10, 1, 1, 0));
        int j = 0;
        while (j < 8 && converter_list.seen_ip[j] != converter_list.cfg_from[i]) j++;
        if (j < 8) EXPECT_EQ(converter_list.mac[i][5], converter_list.seen_mac[j][5]);
    }
    expect_released();
}

TEST_F(Proto, StrayDatagramsAreIgnoredAndCannotHoldTheReadOpen)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    add_conv(ip4(10, 1, 1, 50), 0x01);
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(local_if_query(), 0);
    Bytes longer(31, 0);
    longer[24] = 0xEE;
    fake::inject_datagram(1000, longer, ip4(10, 1, 1, 99));
    ASSERT_EQ(converter_discover(), 0);
    ASSERT_EQ(converter_list.count, 1);
    EXPECT_EQ(converter_list.seen_ip[0], host(10, 1, 1, 50));

    // Nothing but strays: none found, and the read ends although they keep coming.
    udp_close();
    convs.clear();
    fake::reset();
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(local_if_query(), 0);
    for (int i = 0; i < 200; i++) fake::inject_datagram(1000 + i, Bytes(29, 1), ip4(10, 1, 1, 98));
    EXPECT_EQ(converter_discover(), -7);
    expect_released();
}

TEST_F(Proto, DiscoveryFailuresCloseTheSocket)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    add_conv(ip4(10, 1, 1, 50), 0x01);
    struct Case {
        fake::Fail fail;
        int want;
    };
    for (const Case &k : {Case{fake::Fail::Send, -3}, Case{fake::Fail::Wait, -4}}) {
        fake::clear_net_log();
        ASSERT_EQ(udp_open(), 0);
        ASSERT_EQ(local_if_query(), 0);
        fake::fail_next(k.fail);
        EXPECT_EQ(converter_discover(), k.want);
        expect_released();
        ASSERT_EQ(udp_open(), 0);
        ASSERT_EQ(converter_discover(), 0);
        fake::fail_next(k.fail);
        EXPECT_EQ(converter_read_configs(), k.want);
        expect_released();
    }
    fake::fail_next(fake::Fail::SockStartup);
    EXPECT_EQ(udp_open(), -1);
    fake::fail_next(fake::Fail::SockCreate);
    EXPECT_EQ(udp_open(), -2);
    expect_released();
}

TEST_F(Proto, AutomaticAddressTakesTheFirstFreeFromHundred)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    add_conv(ip4(10, 1, 1, 100), 0x01);
    add_conv(ip4(10, 1, 1, 101), 0x02);
    sim::NetConverter &third = add_conv(ip4(192, 0, 2, 103), 0x03, ip4(10, 1, 1, 5));
    ASSERT_EQ(discover_all(), 0);
    ASSERT_EQ(converter_list.count, 3);
    struct Case {
        int selected;
        uint8_t last, mac_tail;
    };
    for (const Case &k : {Case{2, 102, 0x03}, Case{1, 101, 0x02}}) {
        fake::clear_net_log();
        converter_list.selected = k.selected;
        ASSERT_EQ(udp_open(), 0);
        ASSERT_EQ(converter_auto_ip(), 0);
        udp_close();
        auto sent = events(fake::NetEvent::SendTo);
        ASSERT_EQ(sent.size(), 1u);
        const Bytes want{0, 0, 0, 0xFC, 'I', 'P', '-', 'S', 'E', 'T', 'U', 'P', 0, 0, 0x20, k.mac_tail,
                         10, 1, 1, k.last};
        EXPECT_EQ(sent[0].bytes, want);
        EXPECT_EQ(sent[0].ip, ip4(10, 1, 1, 255));
    }
    // The converter takes the new address after its restart time.
    fake::advance_us(third.config.restart_ms * 1000);
    EXPECT_EQ(third.current_ip(fake::now_us()), ip4(10, 1, 1, 102));

    // A single converter goes to 100.
    converter_list.count = 1;
    converter_list.selected = 0;
    fake::clear_net_log();
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(converter_auto_ip(), 0);
    EXPECT_EQ(events(fake::NetEvent::SendTo)[0].bytes[19], 100);
    udp_close();
}

TEST_F(Proto, ManualAddressIsSentByMacAndRemembered)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    sim::NetConverter &a = add_conv(ip4(10, 1, 1, 50), 0x01);
    sim::NetConverter &b = add_conv(ip4(10, 1, 1, 51), 0x02);
    ASSERT_EQ(discover_all(), 0);
    converter_list.selected = 1;
    converter_list.new_ip = ip4(10, 1, 1, 77);
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(converter_set_ip(), 0);
    udp_close();
    EXPECT_EQ(converter_list.ip[1], host(10, 1, 1, 77));
    fake::advance_us(2000 * 1000);
    EXPECT_EQ(b.current_ip(fake::now_us()), ip4(10, 1, 1, 77));
    EXPECT_EQ(a.current_ip(fake::now_us()), ip4(10, 1, 1, 50));

    fake::fail_next(fake::Fail::Send);
    ASSERT_EQ(udp_open(), 0);
    EXPECT_EQ(converter_set_ip(), -3);
    expect_released();
}

TEST_F(Proto, SpeedWriteCarriesTheRecordBackWithTheNewCode)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    sim::NetConverter &a = add_conv(ip4(10, 1, 1, 50), 0x01);
    a.config.restart_ms = 3000;
    ASSERT_EQ(discover_all(), 0);
    Bytes before = a.config_reply();
    fake::clear_net_log();
    ASSERT_EQ(udp_open(), 0);
    const int64_t t0 = fake::now_us();
    ASSERT_EQ(converter_set_baud(4), 0);  // 38400
    EXPECT_NE(net_state.udp, SOCK_INVALID);  // the caller closes
    udp_close();
    auto sent = events(fake::NetEvent::SendTo);
    ASSERT_EQ(sent.size(), 1u);
    Bytes want = before;
    want[3] = 0xFA;
    want[21] = 0;
    EXPECT_EQ(sent[0].bytes, want);
    EXPECT_EQ(sent[0].ip, ip4(10, 1, 1, 50));
    EXPECT_EQ(events(fake::NetEvent::Wait).at(0).timeout_us, 1000500);
    EXPECT_EQ(fake::now_us() - t0, 2000);
    EXPECT_EQ(a.line_baud, 9600u);
    fake::advance_us(3000 * 1000);
    a.settle(fake::now_us());
    EXPECT_EQ(a.line_baud, 38400u);
}

TEST_F(Proto, SpeedWriteAnswersDecideTheResult)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    add_conv(ip4(10, 1, 1, 50), 0x01);
    ASSERT_EQ(discover_all(), 0);
    // Aim the write at an address where nobody answers but what the case injects.
    converter_list.ip[0] = host(10, 1, 1, 60);
    struct Case {
        const char *name;
        Bytes answer;  // empty: none
        fake::Fail fail;
        bool inject_fail;
        int want;
        int64_t elapsed;
    };
    const fake::Fail none = fake::Fail::Open;
    const std::vector<Case> cases{
        {"accepted", {0, 0, 0, 0xFB, 9, 9}, none, false, 0, 500},
        {"refused", {0, 0, 0, 0xFC}, none, false, -7, 500},
        {"too short to accept", {0, 0, 0}, none, false, -7, 500},
        {"no answer", {}, none, false, -5, 1000500},
        {"send fails", {}, fake::Fail::Send, true, -3, 0},
        {"wait fails", {}, fake::Fail::Wait, true, -4, 0},
        {"receive fails", {0, 0, 0, 0xFB}, fake::Fail::Recv, true, -6, 500},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        fake::clear_net_log();
        ASSERT_EQ(udp_open(), 0);
        if (!k.answer.empty()) fake::inject_datagram(500, k.answer, ip4(10, 1, 1, 60));
        if (k.inject_fail) fake::fail_next(k.fail);
        const int64_t t0 = fake::now_us();
        EXPECT_EQ(converter_set_baud(2), k.want);
        EXPECT_EQ(fake::now_us() - t0, k.elapsed);
        if (k.want == 0) udp_close();
        expect_released();
    }
    // Without a converter chosen from a discovery nothing is written.
    converter_list.count = 0;
    fake::clear_net_log();
    ASSERT_EQ(udp_open(), 0);
    EXPECT_EQ(converter_set_baud(2), -3);
    EXPECT_TRUE(events(fake::NetEvent::SendTo).empty());
    expect_released();
}

TEST_F(Proto, ArpProbeAsksForTheCandidate)
{
    fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5)}, {ip4(255, 0, 0, 0), MASK24});
    add_conv(ip4(10, 1, 1, 50), 0x01);
    fake::add_arp_host(ip4(10, 1, 1, 9));
    struct Case {
        uint32_t ip;
        fake::Fail fail;
        bool inject;
        int want;
    };
    const fake::Fail none = fake::Fail::Open;
    for (const Case &k : {Case{ip4(10, 1, 1, 50), none, false, 1}, Case{ip4(10, 1, 1, 9), none, false, 1},
                          Case{ip4(10, 1, 1, 10), none, false, 0},
                          Case{ip4(10, 1, 1, 50), fake::Fail::ArpLibrary, true, -1},
                          Case{ip4(10, 1, 1, 50), fake::Fail::ArpEntry, true, -2}}) {
        converter_list.new_ip = k.ip;
        if (k.inject) fake::fail_next(k.fail);
        EXPECT_EQ(arp_probe(), k.want);
    }
}

}  // namespace
