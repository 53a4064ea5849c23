// Fake net backend: sockets on virtual time, wired to simulated network converters
// (TCP raw frames, UDP 30718 datagrams) and, for datagrams on loopback, to one another;
// every other endpoint is refused or unheard.
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "platform/fake/fake_state.h"
#include "platform/net.h"
#include "sim/sim.h"

namespace fake {

namespace {

struct Datagram {
    int64_t t_us;
    std::vector<uint8_t> bytes;
    uint32_t ip;
    uint16_t port;
};

struct Sock {
    bool tcp = true;
    sim::NetConverter *conv = nullptr;  // TCP: the connected converter
    bool broadcast = false;
    uint32_t bound_ip = 0;
    uint16_t bound_port = 0;
    std::deque<Datagram> rx;            // UDP replies, ordered by arrival
};

struct Endpoint {
    uint32_t ip;
    uint16_t port;
    bool operator<(const Endpoint &o) const { return ip != o.ip ? ip < o.ip : port < o.port; }
};

std::map<SockHandle, Sock> g_socks;
SockHandle g_next = 3;
std::map<Endpoint, sim::NetConverter *> g_tcp;
std::vector<sim::NetConverter *> g_udp;
std::map<std::string, uint32_t> g_hosts;
std::vector<uint32_t> g_if_ips, g_if_masks;
std::vector<NetEvent> g_log;
int64_t g_udp_latency_us = 2000;
int g_started = 0;
std::string g_host_name = "vokhost";
bool g_dhcp_present = false;
uint32_t g_dhcp_ip = 0, g_dhcp_mask = 0;
std::vector<uint32_t> g_arp_hosts;

void log(NetEvent::Kind k, int value, std::vector<uint8_t> bytes = {}, uint32_t ip = 0,
         uint16_t port = 0)
{
    if (g_logging)
        g_log.push_back(NetEvent{g_now_us, k, std::move(bytes), ip, port, value});
}

Sock *sock(SockHandle s)
{
    auto it = g_socks.find(s);
    return it == g_socks.end() ? nullptr : &it->second;
}

// Earliest time something becomes readable on s, or NEVER.
int64_t next_readable(Sock *k)
{
    if (k->tcp) {
        if (k->conv == nullptr)
            return sim::NEVER;
        if (k->conv->tcp_closed_by_peer(g_now_us))
            return g_now_us;  // end of stream is readable
        const int64_t t = k->conv->next_arrival_us();
        return t;
    }
    return k->rx.empty() ? sim::NEVER : k->rx.front().t_us;
}

uint32_t host_order(uint32_t net_ip)
{
    const uint8_t *b = (const uint8_t *)&net_ip;
    return ((uint32_t)b[0] << 24) | ((uint32_t)b[1] << 16) | ((uint32_t)b[2] << 8) | b[3];
}

// Is `dst` the directed broadcast of the subnet of `ip` / `mask`?
bool is_subnet_broadcast(uint32_t dst, uint32_t ip, uint32_t mask)
{
    const uint32_t d = host_order(dst), c = host_order(ip), m = host_order(mask);
    return m != 0 && m != 0xFFFFFFFFu && (d & m) == (c & m) && (d | m) == 0xFFFFFFFFu;
}

// Does a datagram to `dst` reach converter c at `conv_ip`? A converter on the segment of a
// host interface hears that interface's broadcasts even from another subnet.
bool reaches(uint32_t dst, uint32_t conv_ip, const sim::NetConfig &c)
{
    if (dst == 0xFFFFFFFFu || dst == conv_ip)
        return true;
    if (c.wire != 0) {
        for (size_t i = 0; i < g_if_ips.size() && i < g_if_masks.size(); i++)
            if (g_if_ips[i] == c.wire && is_subnet_broadcast(dst, g_if_ips[i], g_if_masks[i]))
                return true;
    }
    return is_subnet_broadcast(dst, conv_ip, c.mask);
}

void queue_datagram(Sock *k, Datagram d)
{
    auto at = std::upper_bound(k->rx.begin(), k->rx.end(), d.t_us,
                               [](int64_t t, const Datagram &x) { return t < x.t_us; });
    k->rx.insert(at, std::move(d));
}

bool is_loopback(uint32_t net_ip) { return (host_order(net_ip) >> 24) == 127; }

// A datagram to a loopback address reaches the fake sockets bound to its port (on that
// address or on any), at once; the sender's port is the one it is bound to, or one the
// system picks at its first send, as a real stack does.
void deliver_loopback(Sock *from, const std::vector<uint8_t> &bytes, uint32_t ip, uint16_t port)
{
    static uint16_t next_ephemeral = 49152;
    if (from->bound_port == 0) from->bound_port = next_ephemeral++;
    for (auto &kv : g_socks) {
        Sock &to = kv.second;
        if (to.tcp || to.bound_port != port || (to.bound_ip != 0 && to.bound_ip != ip)) continue;
        queue_datagram(&to, Datagram{g_now_us, bytes, ip, from->bound_port});
    }
}

}  // namespace

void reset_net()
{
    g_socks.clear();
    g_tcp.clear();
    g_udp.clear();
    g_hosts.clear();
    g_if_ips.clear();
    g_if_masks.clear();
    g_log.clear();
    g_udp_latency_us = 2000;
    g_started = 0;
    g_next = 3;
    g_host_name = "vokhost";
    g_dhcp_present = false;
    g_dhcp_ip = g_dhcp_mask = 0;
    g_arp_hosts.clear();
}

// Attaching drops the converter's bytes in flight: they belong to an earlier time line.
void attach_tcp(uint32_t ip, uint16_t port, sim::NetConverter *conv)
{
    if (conv)
        conv->clear();
    g_tcp[{ip, port}] = conv;
}
void attach_udp(sim::NetConverter *conv)
{
    if (conv)
        g_udp.push_back(conv);
}
void add_host(const std::string &name, uint32_t ip) { g_hosts[name] = ip; }

void attach_bus_net(sim::Bus &bus, std::vector<std::unique_ptr<sim::NetConverter>> &out)
{
    for (const sim::ConverterSetup &setup : bus.net_converters) {
        out.push_back(std::make_unique<sim::NetConverter>(&bus));
        sim::NetConverter *c = out.back().get();
        c->apply(setup);
        attach_udp(c);
        attach_tcp(c->config.ip, c->config.tcp_port, c);
    }
    std::vector<uint32_t> ips, masks;
    for (const auto &i : bus.host_interfaces) {
        ips.push_back(i.first);
        masks.push_back(i.second);
    }
    if (!ips.empty())
        set_interfaces(ips, masks);
}
void set_interfaces(const std::vector<uint32_t> &ips, const std::vector<uint32_t> &masks)
{
    g_if_ips = ips;
    g_if_masks = masks;
}
void set_udp_latency_us(int64_t us) { g_udp_latency_us = us; }
void set_host_name(const std::string &name) { g_host_name = name; }
void set_dhcp_info(bool present, uint32_t ip, uint32_t mask)
{
    g_dhcp_present = present;
    g_dhcp_ip = ip;
    g_dhcp_mask = mask;
}
void add_arp_host(uint32_t ip) { g_arp_hosts.push_back(ip); }
void inject_datagram(int64_t delay_us, const std::vector<uint8_t> &bytes, uint32_t ip, uint16_t port)
{
    for (auto &kv : g_socks)
        if (!kv.second.tcp)
            queue_datagram(&kv.second, Datagram{g_now_us + delay_us, bytes, ip, port});
}
const std::vector<NetEvent> &net_log() { return g_log; }
void clear_net_log() { g_log.clear(); }

}  // namespace fake

using namespace fake;

int sock_startup(void)
{
    if (take_failure(Fail::SockStartup)) {
        log(NetEvent::Startup, -1);
        return -1;
    }
    g_started++;
    log(NetEvent::Startup, 0);
    return 0;
}

void sock_cleanup(void)
{
    if (g_started > 0)
        g_started--;
    log(NetEvent::Cleanup, 0);
}

static SockHandle new_sock(bool tcp)
{
    if (take_failure(Fail::SockCreate))
        return SOCK_INVALID;
    const SockHandle h = g_next++;
    g_socks[h].tcp = tcp;
    return h;
}

SockHandle sock_tcp(void) { return new_sock(true); }
SockHandle sock_udp(void) { return new_sock(false); }

int sock_close(SockHandle s)
{
    if (g_socks.erase(s) == 0)
        return -1;
    log(NetEvent::Close, 0);
    return 0;
}

int sock_resolve(const char *host, uint32_t *ip)
{
    if (host == nullptr || ip == nullptr)
        return -1;
    if (ip_from_text(host, ip) == 0)
        return 0;
    auto it = g_hosts.find(host);
    if (it == g_hosts.end())
        return -1;
    *ip = it->second;
    return 0;
}

// The converter listening at (ip, port): where it was attached, or where an IP set or a
// configuration write has since moved it.
static sim::NetConverter *tcp_peer(uint32_t ip, uint16_t port)
{
    auto it = g_tcp.find({ip, port});
    if (it != g_tcp.end() && it->second != nullptr)
        return it->second;
    for (const auto &kv : g_tcp) {
        sim::NetConverter *c = kv.second;
        if (c != nullptr && ip != 0 && c->current_ip(g_now_us) == ip && c->config.tcp_port == port)
            return c;
    }
    return nullptr;
}

int sock_connect(SockHandle s, uint32_t ip, uint16_t port)
{
    Sock *k = sock(s);
    sim::NetConverter *peer = tcp_peer(ip, port);
    int rc = 0;
    if (k == nullptr || !k->tcp || peer == nullptr || take_failure(Fail::Connect)) {
        rc = -1;
    } else {
        k->conv = peer;
        k->conv->tcp_open(g_now_us);
    }
    log(NetEvent::Connect, rc, {}, ip, port);
    return rc;
}

int sock_wait_readable(SockHandle s, int64_t timeout_us)
{
    Sock *k = sock(s);
    if (k == nullptr)
        return -1;
    if (!k->tcp) {
        const bool failed = take_failure(Fail::Wait);
        if (g_logging) g_log.push_back(NetEvent{g_now_us, NetEvent::Wait, {}, 0, 0, failed ? -1 : 0, timeout_us});
        if (failed)
            return -1;
    }
    const int64_t t = next_readable(k);
    const int64_t deadline = g_now_us + std::max<int64_t>(timeout_us, 0);
    if (t <= deadline) {
        g_now_us = std::max(g_now_us, t);
        return 1;
    }
    g_now_us = deadline;
    return 0;
}

int sock_wait_writable(SockHandle s, int64_t timeout_us)
{
    (void)timeout_us;
    Sock *k = sock(s);
    if (k == nullptr)
        return -1;
    return (!k->tcp || k->conv != nullptr) ? 1 : 0;
}

int sock_send(SockHandle s, const void *buf, int len)
{
    Sock *k = sock(s);
    const uint8_t *p = (const uint8_t *)buf;
    std::vector<uint8_t> bytes(p, p + std::max(len, 0));
    int rc = len;
    if (k == nullptr || !k->tcp || k->conv == nullptr || len < 0 || take_failure(Fail::Send) ||
        k->conv->tcp_closed_by_peer(g_now_us))
        rc = -1;
    else
        k->conv->tcp_send(g_now_us, p, (size_t)len);
    log(NetEvent::Send, rc, std::move(bytes));
    return rc;
}

int sock_recv(SockHandle s, void *buf, int len)
{
    Sock *k = sock(s);
    if (k == nullptr || !k->tcp || k->conv == nullptr || len < 0 || take_failure(Fail::Recv)) {
        log(NetEvent::Recv, -1);
        return -1;
    }
    // A blocking recv waits for the first byte (or the peer's close).
    if (k->conv->ready(g_now_us) == 0 && !k->conv->tcp_closed_by_peer(g_now_us)) {
        const int64_t t = k->conv->next_arrival_us();
        if (t == sim::NEVER) {
            // Nothing will ever come: a real call would block forever; report a failure.
            log(NetEvent::Recv, -1);
            return -1;
        }
        g_now_us = std::max(g_now_us, t);
    }
    std::vector<uint8_t> got;
    k->conv->tcp_take(g_now_us, got, (size_t)len);
    if (!got.empty())
        std::memcpy(buf, got.data(), got.size());
    log(NetEvent::Recv, (int)got.size(), got);
    return (int)got.size();
}

int sock_set_broadcast(SockHandle s, int on)
{
    Sock *k = sock(s);
    if (k == nullptr || take_failure(Fail::Broadcast))
        return -1;
    k->broadcast = on != 0;
    return 0;
}

int sock_bind(SockHandle s, uint32_t ip, uint16_t port)
{
    Sock *k = sock(s);
    int rc = (k && !take_failure(Fail::Bind)) ? 0 : -1;
    if (rc == 0) {
        k->bound_ip = ip;
        k->bound_port = port;
    }
    log(NetEvent::Bind, rc, {}, ip, port);
    return rc;
}

int sock_sendto(SockHandle s, const void *buf, int len, uint32_t ip, uint16_t port)
{
    Sock *k = sock(s);
    const uint8_t *p = (const uint8_t *)buf;
    std::vector<uint8_t> bytes(p, p + std::max(len, 0));
    const bool is_broadcast = ip == 0xFFFFFFFFu || (host_order(ip) & 0xFF) == 0xFF;
    int rc = len;
    if (k == nullptr || k->tcp || len < 0 || take_failure(Fail::Send) ||
        (is_broadcast && !k->broadcast)) {
        rc = -1;
    } else {
        bool heard = false;
        for (sim::NetConverter *c : g_udp) {
            const uint32_t cip = c->source_ip(g_now_us);
            if (port != 30718 || !reaches(ip, cip, c->config))
                continue;
            heard = true;
            for (auto &reply : c->udp_datagram(g_now_us, p, (size_t)len))
                queue_datagram(k, Datagram{g_now_us + g_udp_latency_us, std::move(reply), cip, 30718});
        }
        // Simulated converters sit on loopback addresses too: only what none of them hears
        // goes to the fake sockets, and never a broadcast (the product's own would loop back).
        if (!heard && !is_broadcast && is_loopback(ip)) deliver_loopback(k, bytes, ip, port);
    }
    log(NetEvent::SendTo, rc, std::move(bytes), ip, port);
    return rc;
}

int sock_recvfrom(SockHandle s, void *buf, int len, uint32_t *ip, uint16_t *port)
{
    Sock *k = sock(s);
    if (k == nullptr || k->tcp || len < 0 || take_failure(Fail::Recv)) {
        log(NetEvent::RecvFrom, -1);
        return -1;
    }
    if (k->rx.empty()) {
        log(NetEvent::RecvFrom, -1);  // nothing will ever come: would block forever
        return -1;
    }
    Datagram d = std::move(k->rx.front());
    k->rx.pop_front();
    g_now_us = std::max(g_now_us, d.t_us);
    // Like recvfrom: a datagram longer than the buffer is cut.
    const int n = std::min<int>(len, (int)d.bytes.size());
    if (n > 0)
        std::memcpy(buf, d.bytes.data(), (size_t)n);
    if (ip)
        *ip = d.ip;
    if (port)
        *port = d.port;
    log(NetEvent::RecvFrom, n, std::vector<uint8_t>(d.bytes.begin(), d.bytes.begin() + n), d.ip,
        d.port);
    return n;
}

int sock_local_interfaces(uint32_t *ips, uint32_t *masks, int max)
{
    if (take_failure(Fail::Interfaces))
        return -1;
    const int n = std::min<int>(max, (int)g_if_ips.size());
    for (int i = 0; i < n; i++) {
        if (ips)
            ips[i] = g_if_ips[i];
        if (masks)
            masks[i] = i < (int)g_if_masks.size() ? g_if_masks[i] : 0;
    }
    return n;
}

int sock_interface_list(SockHandle s, uint32_t *ips, uint32_t *masks, int max)
{
    if (sock(s) == nullptr)
        return -1;
    return sock_local_interfaces(ips, masks, std::min(max, 10));
}

int sock_host_name(char *buf, int cap)
{
    if (buf == nullptr || cap <= 0 || g_host_name.empty() || (int)g_host_name.size() >= cap)
        return -1;
    std::memcpy(buf, g_host_name.c_str(), g_host_name.size() + 1);
    return 0;
}

int net_dhcp_info(uint32_t *ip, uint32_t *mask)
{
    if (!g_dhcp_present)
        return -1;
    *ip = g_dhcp_ip;
    *mask = g_dhcp_mask;
    return 0;
}

int net_arp_probe(uint32_t ip)
{
    int rc = 0;
    if (take_failure(Fail::ArpLibrary)) {
        rc = NET_ARP_NO_LIBRARY;
    } else if (take_failure(Fail::ArpEntry)) {
        rc = NET_ARP_NO_ENTRY;
    } else {
        for (sim::NetConverter *c : g_udp)
            if (c->source_ip(g_now_us) == ip)
                rc = 1;
        if (std::find(g_arp_hosts.begin(), g_arp_hosts.end(), ip) != g_arp_hosts.end())
            rc = 1;
    }
    log(NetEvent::Arp, rc, {}, ip, 0);
    return rc;
}
