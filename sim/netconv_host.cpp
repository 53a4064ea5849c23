// Network converters of voksim on a real segment: device-wide broadcast reception and the
// move to a new address after an IP set (the TCP port goes along).
#include "sim/netconv_host.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voksim {

namespace {

std::string dotted(uint32_t ip_net)
{
    char text[INET_ADDRSTRLEN];
    in_addr a{};
    a.s_addr = ip_net;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

// A named network namespace (one of /run/netns, as `ip netns add` makes them): the segment
// belongs to whoever made it for the simulation. Only there may voksim change an interface's
// address; on the machine's own interfaces it never does.
bool in_own_network_namespace()
{
    struct stat self{};
    if (stat("/proc/self/ns/net", &self) != 0)
        return false;
    DIR *d = opendir("/run/netns");
    if (d == nullptr)
        return false;
    bool named = false;
    while (dirent *e = readdir(d)) {
        const std::string path = std::string("/run/netns/") + e->d_name;
        struct stat ns{};
        if (e->d_name[0] != '.' && stat(path.c_str(), &ns) == 0 && ns.st_ino == self.st_ino &&
            ns.st_dev == self.st_dev)
            named = true;
    }
    closedir(d);
    return named;
}

bool set_sockaddr_ioctl(int s, const std::string &device, unsigned long req, uint32_t ip_net)
{
    ifreq rq{};
    std::snprintf(rq.ifr_name, sizeof rq.ifr_name, "%s", device.c_str());
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = ip_net;
    std::memcpy(&rq.ifr_addr, &sa, sizeof sa);
    return ioctl(s, req, &rq) == 0;
}

// The device's address becomes ip with the converter's mask.
bool move_device(const std::string &device, uint32_t ip_net, uint32_t mask_net)
{
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    bool ok = set_sockaddr_ioctl(s, device, SIOCSIFADDR, ip_net);
    if (ok && mask_net != 0)
        ok = set_sockaddr_ioctl(s, device, SIOCSIFNETMASK, mask_net);
    close(s);
    return ok;
}

// Bound to an address that may not be on an interface yet (it is being moved there).
int bind_free(uint32_t ip_net, uint16_t port, int type)
{
    const int s = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(s, IPPROTO_IP, IP_FREEBIND, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = ip_net;
    if (bind(s, (sockaddr *)&sa, sizeof sa) != 0 || (type == SOCK_STREAM && listen(s, 4) != 0)) {
        std::fprintf(stderr, "voksim: cannot bind %s:%u: %s\n", dotted(ip_net).c_str(), port,
                     std::strerror(errno));
        close(s);
        return -1;
    }
    return s;
}

}  // namespace

int udp_segment_socket(const std::string &device, int port)
{
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (setsockopt(s, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), (socklen_t)device.size()) != 0) {
        std::fprintf(stderr, "voksim: cannot listen on device %s: %s\n", device.c_str(),
                     std::strerror(errno));
        close(s);
        return -1;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons((uint16_t)port);
    if (bind(s, (sockaddr *)&sa, sizeof sa) != 0) {
        std::fprintf(stderr, "voksim: cannot bind 0.0.0.0:%d on %s: %s\n", port, device.c_str(),
                     std::strerror(errno));
        close(s);
        return -1;
    }
    return s;
}

ConverterMoves::ConverterMoves(World &w, const Options &o, std::vector<int> &udp, int &tcp_listen)
    : w_(w), o_(o), udp_(udp), tcp_listen_(tcp_listen), own_netns_(in_own_network_namespace())
{
    for (size_t i = 0; i < udp_.size(); i++)
        at_ip_.push_back(w_.nets[i]->config.ip);
    if (!w_.nets.empty())
        tcp_port_ = w_.nets[0]->config.tcp_port;
}

int64_t ConverterMoves::next_due() const
{
    int64_t t = sim::NEVER;
    for (const auto &c : w_.nets)
        t = std::min(t, c->next_change_us());
    return t;
}

void ConverterMoves::check(int64_t t_us)
{
    for (size_t i = 0; i < udp_.size(); i++) {
        sim::NetConverter &c = *w_.nets[i];
        const uint32_t ip = c.current_ip(t_us);
        const bool port_moved = i == 0 && tcp_listen_ >= 0 && c.config.tcp_port != tcp_port_;
        if ((ip == at_ip_[i] || ip == 0 || ip == sim::ip4(0, 0, 1, 0)) && !port_moved)
            continue;
        const std::string dev = i < o_.udp_device.size() ? o_.udp_device[i] : std::string();
        if (ip != at_ip_[i] && ip != 0 && ip != sim::ip4(0, 0, 1, 0)) {
            const char *how = "address left to the system";
            if (!dev.empty() && own_netns_)
                how = move_device(dev, ip, c.config.mask) ? "device moved" : "device not moved";
            const int s = bind_free(ip, (uint16_t)o_.udp[i].port, SOCK_DGRAM);
            if (s >= 0) {
                close(udp_[i]);
                udp_[i] = s;
            }
            std::printf("moved %s -> %s (%s)\n", dotted(at_ip_[i]).c_str(), dotted(ip).c_str(), how);
            at_ip_[i] = ip;
        }
        // The TCP face follows converter 0 to its address and configured port.
        if (i == 0 && tcp_listen_ >= 0) {
            const int s = bind_free(ip, c.config.tcp_port, SOCK_STREAM);
            if (s >= 0) {
                close(tcp_listen_);
                tcp_listen_ = s;
                tcp_port_ = c.config.tcp_port;
                std::printf("listening %s:%u\n", dotted(ip).c_str(), tcp_port_);
            }
        }
        std::fflush(stdout);
    }
}

}  // namespace voksim
