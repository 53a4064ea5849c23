// Host side of the namespace test, on the real POSIX sockets: discovers two converters in two
// subnets, changes one's bus speed, moves the other into the host's subnet, discovers again
// and opens the TCP link to the moved one. Prints each step; exits non-zero on the first
// fault. Run only inside the network namespace the test script made.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/state.h"
#include "link/net_link.h"
#include "netsetup/converter_list.h"
#include "netsetup/converter_proto.h"
#include "platform/clock.h"

namespace {

int failures = 0;

void check(bool ok, const std::string &what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    if (!ok) failures++;
}

int index_of(uint32_t ip_host)
{
    for (int i = 0; i < converter_list.count; i++)
        if (converter_list.ip[i] == ip_host) return i;
    return -1;
}

// Full discovery as the list dialog runs it; prints the list lines. Returns its time in us.
int64_t discover(void)
{
    const int64_t t0 = now_us();
    int r = udp_open();
    if (r == 0) r = local_if_query();
    const int64_t t1 = now_us();
    if (r == 0) r = converter_discover();
    const int64_t t2 = now_us();
    if (r == 0) r = converter_read_configs();
    if (r == 0) udp_close();
    check(r == 0, "discovery: " + std::to_string(r));
    for (int i = 0; i < converter_list.count; i++) {
        char line[96];
        converter_list_line(i, line, sizeof line);
        std::printf("     %s\n", line);
    }
    std::printf("     discovery %.6f s (interface query %.6f s)\n", static_cast<double>(t2 - t1) / 1e6, static_cast<double>(t1 - t0) / 1e6);
    return t2 - t1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: netns_client NEAR_IP FAR_IP MOVED_IP\n");
        return 2;
    }
    clock_init();
    state_reset();
    uint32_t near_net = 0, far_net = 0, moved_net = 0;
    ip_from_text(argv[1], &near_net);
    ip_from_text(argv[2], &far_net);
    ip_from_text(argv[3], &moved_net);
    const uint32_t near_ip = ip_net_to_host(near_net), far_ip = ip_net_to_host(far_net);

    const int64_t took = discover();
    check(local_if.count == 2, "two host interfaces: " + std::to_string(local_if.count));
    check(converter_list.count == 2, "two converters: " + std::to_string(converter_list.count));
    // Two interfaces, each: one reply, then a wait of 1 s 200 us that runs out.
    check(took >= 2000400 && took < 2060000, "discovery waits: " + std::to_string(took) + " us");
    const int near = index_of(near_ip), far = index_of(far_ip);
    check(near >= 0 && far >= 0, "both converters listed by their addresses");
    if (near < 0 || far < 0) return 1;
    check(converter_list.if_index[near] != converter_list.if_index[far], "each reached through its own interface");
    check(!local_if_contains(converter_list.if_index[far], far_ip), "the far one sits in another subnet");

    // ARP on the segment: the near converter answers, a free address does not.
    converter_list.new_ip = near_net;
    check(arp_probe() == 1, "ARP finds the near converter");
    converter_list.new_ip = ip_host_to_net(near_ip + 27);
    check(arp_probe() == 0, "ARP finds nobody at a free address");

    converter_list.selected = near;
    int r = udp_open();
    if (r == 0) r = converter_set_baud(4);
    if (r == 0) udp_close();
    check(r == 0, "speed write acknowledged: " + std::to_string(r));

    converter_list.selected = far;
    r = udp_open();
    if (r == 0) r = converter_auto_ip();
    if (r == 0) udp_close();
    check(r == 0, "automatic address sent: " + std::to_string(r));

    sleep_ms(3000);  // the converters' restart time (2 s in the bus file)
    discover();
    const int moved = index_of(ip_net_to_host(moved_net));
    check(moved >= 0, "the far converter answers from " + std::string(argv[3]));
    const int near2 = index_of(near_ip);
    check(near2 >= 0 && converter_list.baud_code[near2] == 0, "the near converter runs at 38400");
    if (moved >= 0) check(local_if_contains(converter_list.if_index[moved], converter_list.ip[moved]), "now in the host's subnet");

    // The link opens to the converter's new address and carries a module request.
    std::snprintf(net_state.host_text, sizeof net_state.host_text, "%s", argv[3]);
    net_state.port_entered = moved >= 0 ? converter_list.port[moved] : 10001;
    link_settings.converter_type = CONVERTER_NET;
    r = net_open();
    check(r == 0, "TCP link to " + std::string(argv[3]) + ": " + std::to_string(r));
    if (r == 0) {
        const uint8_t req[] = {'$', '0', '1', 'M', '\r'};
        int n = net_send(5, req);
        if (n == 0) n = net_receive(11);
        check(n == 11 && std::memcmp(RxBuffer, "!01VOK", 6) == 0,
              "module 01 answers over the link: " + std::string(reinterpret_cast<char *>(RxBuffer), n > 0 ? n : 0));
        net_close();
    }
    std::printf("%s: %d fault(s)\n", failures ? "FAIL" : "PASS", failures);
    return failures ? 1 : 0;
}
