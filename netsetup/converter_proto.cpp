// Converter discovery and configuration datagrams on UDP 30718, over the net seam.
#include "netsetup/converter_proto.h"

#include <string.h>

#include "app/state.h"
#include "link/serial_port.h"
#include "platform/net.h"
#include "protocol/protocol.h"

LocalIf local_if;
ConverterList converter_list;

namespace {
enum {
    RX_CAP = 512,             // larger than any datagram that counts, so lengths are exact
    DATAGRAMS_PER_QUERY = 64, // a flood of stray datagrams cannot keep a read going forever
    DISCOVERY_REPLY_LEN = 30,
    CONFIG_REPLY_LEN = 124,
    ACK_READ_LEN = 20,
};

}  // namespace

uint32_t ip_net_to_host(uint32_t net)
{
    const uint8_t *b = reinterpret_cast<const uint8_t *>(&net);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | b[3];
}

uint32_t ip_host_to_net(uint32_t host)
{
    uint32_t net = 0;
    uint8_t *b = reinterpret_cast<uint8_t *>(&net);
    b[0] = static_cast<uint8_t>(host >> 24);
    b[1] = static_cast<uint8_t>(host >> 16);
    b[2] = static_cast<uint8_t>(host >> 8);
    b[3] = static_cast<uint8_t>(host);
    return net;
}

namespace {
// Failure path shared by every operation: the socket and the library go.
int fail(int code)
{
    udp_close();
    return code;
}

int send_to(const uint8_t *bytes, int len, uint32_t ip_net)
{
    return sock_sendto(net_state.udp, bytes, len, ip_net, CONVERTER_UDP_PORT) == len ? 0 : -1;
}

struct Datagram {
    uint8_t rx[RX_CAP];
    uint32_t from;  // source, network order
    int len;        // -1 for a failed receive
};

// Waits for the next datagram (1 s 200 us) and takes it into d: 1, 0 when the wait ran out,
// -1 when the wait failed.
int next_reply(Datagram *d)
{
    const int w = sock_wait_readable(net_state.udp, CONVERTER_WAIT_US);
    if (w <= 0) return w;
    d->from = 0;
    d->len = sock_recvfrom(net_state.udp, d->rx, RX_CAP, &d->from, nullptr);
    return 1;
}

// Every datagram to a converter starts with three zero bytes and its code.
int put_head(uint8_t *out, uint8_t code)
{
    out[0] = out[1] = out[2] = 0x00;
    out[3] = code;
    return 4;
}

// One converter selected from a complete list: a write must never carry an empty record.
int have_selection(void)
{
    return converter_list.selected >= 0 && converter_list.selected < converter_list.count;
}

// IP set for the selected converter, broadcast on the interface that reaches it. 0 or -1.
int send_ip_set(uint32_t ip_net)
{
    const int k = converter_list.if_index[converter_list.selected];
    uint8_t d[20];
    build_ip_set(converter_list.mac[converter_list.selected], ip_net, d);
    return (k >= 0 && k < local_if.count) ? send_to(d, sizeof d, local_if_broadcast(k)) : -1;
}
}  // namespace

uint32_t local_if_broadcast(int j)
{
    return (local_if.addr[j] & local_if.mask[j]) | ~local_if.mask[j];
}

int local_if_contains(int j, uint32_t ip)
{
    const uint32_t m = ip_net_to_host(local_if.mask[j]);
    return (ip_net_to_host(local_if.addr[j]) & m) == (ip & m);
}

int converter_subnet_contains(int i, uint32_t ip)
{
    const int k = converter_list.if_index[i];
    return k >= 0 && k < local_if.count && local_if_contains(k, ip);
}

int build_discovery_query(uint8_t out[4]) { return put_head(out, 0xF6); }

int build_config_query(uint8_t out[4]) { return put_head(out, 0xF8); }

int build_config_write(const uint8_t record[CONVERTER_RECORD_LEN], uint8_t out[124])
{
    put_head(out, 0xFA);
    memcpy(out + 4, record, CONVERTER_RECORD_LEN);
    return 124;
}

int build_ip_set(const uint8_t mac[6], uint32_t ip_net, uint8_t out[20])
{
    put_head(out, 0xFC);
    memcpy(out + 4, "IP-SETUP", 8);
    out[12] = out[13] = 0x00;
    out[14] = mac[4];
    out[15] = mac[5];
    memcpy(out + 16, &ip_net, 4);  // network order is dotted order
    return 20;
}

int udp_open(void)
{
    detect_os_family();
    if (sock_startup() != 0) return -1;
    net_state.udp = sock_udp();
    if (net_state.udp == SOCK_INVALID) {
        sock_cleanup();
        return -2;
    }
    sock_set_broadcast(net_state.udp, 1);
    return 0;
}

int udp_close(void)
{
    if (net_state.udp != SOCK_INVALID) sock_close(net_state.udp);
    net_state.udp = SOCK_INVALID;
    sock_cleanup();
    return 0;
}

int local_if_query(void)
{
    local_if.count = 0;
    if (link_state.os_family == SERIAL_OS_9X) {
        char name[256];
        if (sock_host_name(name, sizeof name) != 0) return fail(-1);
        uint32_t addr = 0;
        if (sock_resolve(name, &addr) != 0) return fail(-2);
        local_if.addr[0] = addr;
        local_if.count = 1;
        uint32_t dhcp_ip = 0, dhcp_mask = 0;
        if (net_dhcp_info(&dhcp_ip, &dhcp_mask) == 0 && dhcp_ip == addr)
            local_if.mask[0] = dhcp_mask;
        else
            local_if.mask[0] = ip_host_to_net(0xFFFFFF00u);
        return 0;
    }
    uint32_t ips[10], masks[10];
    const int n = sock_interface_list(net_state.udp, ips, masks, 10);
    if (n < 0) return fail(-3);
    if (n < 2) return fail(-4);
    for (int i = 0; i < n && local_if.count < LOCAL_IF_MAX; i++) {
        if (ip_net_to_host(ips[i]) == 0x7F000001u) continue;
        local_if.addr[local_if.count] = ips[i];
        local_if.mask[local_if.count] = masks[i];
        local_if.count++;
    }
    return 0;
}

int converter_discover(void)
{
    ConverterList &c = converter_list;
    sock_set_broadcast(net_state.udp, 1);
    // A new discovery starts from nothing: no line may show a converter of an earlier one.
    const int selected = c.selected;
    const uint32_t new_ip = c.new_ip;
    memset(&c, 0, sizeof c);
    c.selected = selected;
    c.new_ip = new_ip;
    uint8_t q[4];
    build_discovery_query(q);
    for (int i = 0; i < local_if.count && c.count < NET_CONVERTER_MAX; i++) {
        if (send_to(q, 4, local_if_broadcast(i)) != 0) return fail(-3);
        int through = 0;
        for (int k = 0; k < DATAGRAMS_PER_QUERY; k++) {
            Datagram d;
            const int w = next_reply(&d);
            if (w < 0) return fail(-4);
            if (w == 0) break;
            if (d.len != DISCOVERY_REPLY_LEN || through >= NET_CONVERTER_MAX) continue;
            c.seen_ip[c.count] = ip_net_to_host(d.from);
            memcpy(c.seen_mac[c.count], d.rx + 24, 6);
            c.seen_if[c.count] = i;
            c.if_index[c.count] = i;
            c.count++;
            through++;
            if (c.count == NET_CONVERTER_MAX) return 0;
        }
    }
    return c.count > 0 ? 0 : fail(-7);
}

int converter_read_configs(void)
{
    ConverterList &c = converter_list;
    uint8_t q[4];
    build_config_query(q);
    int n = 0;
    for (int i = 0; i < local_if.count; i++) {
        if (send_to(q, 4, local_if_broadcast(i)) != 0) return fail(-3);
        for (int k = 0; k < DATAGRAMS_PER_QUERY && n < NET_CONVERTER_MAX; k++) {
            Datagram d;
            const int w = next_reply(&d);
            if (w < 0) return fail(-4);
            if (w == 0) break;
            if (d.len != CONFIG_REPLY_LEN) continue;
            const uint8_t *rx = d.rx;
            c.cfg_from[n] = ip_net_to_host(d.from);
            c.ip[n] = (static_cast<uint32_t>(rx[4]) << 24) | (static_cast<uint32_t>(rx[5]) << 16) |
                      (static_cast<uint32_t>(rx[6]) << 8) | rx[7];
            c.port[n] = static_cast<uint16_t>(rx[24] | (rx[25] << 8));
            c.baud_code[n] = rx[21];
            memcpy(c.config[n], rx + 4, CONVERTER_RECORD_LEN);
            n++;
        }
    }
    for (int i = 0; i < c.count; i++) {
        for (int j = 0; j < c.count; j++) {
            if (c.seen_ip[j] != c.cfg_from[i]) continue;
            memcpy(c.mac[i], c.seen_mac[j], 6);
            // Replies may come in another order the second time: the interface goes with
            // the converter, not with the position.
            c.if_index[i] = c.seen_if[j];
            c.ip_unset[i] = (c.ip[i] == 0 || c.ip[i] == 0x00000100u) ? 1 : 0;
            if (c.ip_unset[i]) c.ip[i] = c.cfg_from[i];
            break;
        }
    }
    return 0;
}

int converter_set_baud(int baud_index)
{
    ConverterList &c = converter_list;
    if (!have_selection() || baud_index < 0 || baud_index >= BAUD_COUNT) return fail(-3);
    uint8_t *record = c.config[c.selected];
    record[17] = static_cast<uint8_t>(converter_speed_code(baud_index));
    uint8_t d[124];
    build_config_write(record, d);
    if (send_to(d, sizeof d, ip_host_to_net(c.ip[c.selected])) != 0) return fail(-3);
    const int w = sock_wait_readable(net_state.udp, CONVERTER_ACK_WAIT_US);
    if (w < 0) return fail(-4);
    if (w == 0) return fail(-5);
    uint8_t rx[ACK_READ_LEN];
    memset(rx, 0, sizeof rx);
    const int len = sock_recvfrom(net_state.udp, rx, sizeof rx, nullptr, nullptr);
    if (len < 0) return fail(-6);
    // A short answer has no byte 3 to accept with.
    if (len < 4 || rx[3] != 0xFB) return fail(-7);
    return 0;
}

int converter_auto_ip(void)
{
    ConverterList &c = converter_list;
    if (!have_selection()) return fail(-3);
    const int k = c.if_index[c.selected];
    if (k < 0 || k >= local_if.count) return fail(-3);
    const uint32_t net = ip_net_to_host(local_if.addr[k] & local_if.mask[k]) & 0xFFFFFF00u;
    uint32_t last = 100;
    if (c.count > 1) {
        for (;; last++) {
            if (last >= 254) return fail(-1);
            int taken = 0;
            for (int i = 0; i < c.count; i++)
                if (i != c.selected && (c.ip[i] & 0xFF) == last) taken = 1;
            if (!taken) break;
        }
    }
    return send_ip_set(ip_host_to_net(net | last)) == 0 ? 0 : fail(-3);
}

int converter_set_ip(void)
{
    ConverterList &c = converter_list;
    if (!have_selection()) return fail(-3);
    if (send_ip_set(c.new_ip) != 0) return fail(-3);
    c.ip[c.selected] = ip_net_to_host(c.new_ip);
    return 0;
}

int arp_probe(void) { return net_arp_probe(converter_list.new_ip); }
