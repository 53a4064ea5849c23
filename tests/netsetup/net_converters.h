// Simulated network converters for the network setup tests, attached to the fake net's UDP.
#ifndef VOK_TESTS_NETSETUP_NET_CONVERTERS_H
#define VOK_TESTS_NETSETUP_NET_CONVERTERS_H

#include <memory>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "sim/sim.h"

// A converter at `ip` (/24), MAC 00 20 4A 10 20 mac_tail, on the segment of host interface
// `wire` (0: reached only through its own subnet); kept in `convs`.
inline sim::NetConverter &add_net_converter(std::vector<std::unique_ptr<sim::NetConverter>> &convs,
                                            sim::Bus &bus, uint32_t ip, uint8_t mac_tail, uint32_t wire = 0)
{
    convs.push_back(std::make_unique<sim::NetConverter>(&bus));
    sim::NetConverter &c = *convs.back();
    c.config.ip = ip;
    c.config.mask = sim::ip4(255, 255, 255, 0);
    c.config.mac = {0x00, 0x20, 0x4A, 0x10, 0x20, mac_tail};
    c.config.wire = wire;
    c.config.tcp_port = 10001;
    fake::attach_udp(&c);
    return c;
}

#endif
