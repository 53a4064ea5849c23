// Network backend for POSIX: BSD sockets, IPv4 only (the calls Winsock shares are in
// common/sockets.cpp).
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <sys/ioctl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/net.h"

int sock_startup(void) { return 0; }
void sock_cleanup(void) {}

static SockHandle new_socket(int type)
{
    int s = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return s < 0 ? SOCK_INVALID : (SockHandle)s;
}

SockHandle sock_tcp(void) { return new_socket(SOCK_STREAM); }
SockHandle sock_udp(void) { return new_socket(SOCK_DGRAM); }

int sock_close(SockHandle s)
{
    if (s == SOCK_INVALID) return -1;
    return close((int)s) == 0 ? 0 : -1;
}

int sock_resolve(const char *host, uint32_t *ip)
{
    if (!host || !*host || !ip) return -1;
    struct in_addr a;
    if (inet_pton(AF_INET, host, &a) == 1) {
        *ip = a.s_addr;
        return 0;
    }
    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo *res = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return -1;
    *ip = ((struct sockaddr_in *)res->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(res);
    return 0;
}

// Every IPv4 interface that is up, loopback included, in the system's order (as the
// Windows interface-list query gives them; callers skip 127.0.0.1 themselves).
int sock_local_interfaces(uint32_t *ips, uint32_t *masks, int max)
{
    struct ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return -1;
    int n = 0;
    for (struct ifaddrs *i = list; i && n < max; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
        if (ips) ips[n] = ((struct sockaddr_in *)i->ifa_addr)->sin_addr.s_addr;
        if (masks) masks[n] = i->ifa_netmask ? ((struct sockaddr_in *)i->ifa_netmask)->sin_addr.s_addr : 0;
        n++;
    }
    freeifaddrs(list);
    return n;
}

int sock_interface_list(SockHandle s, uint32_t *ips, uint32_t *masks, int max)
{
    (void)s;  // the list is the host's, whichever socket asks
    return sock_local_interfaces(ips, masks, max < 10 ? max : 10);
}

int net_dhcp_info(uint32_t *ip, uint32_t *mask)
{
    (void)ip;
    (void)mask;
    return -1;
}

// The interface whose subnet holds `ip` (network order): its index and hardware address.
static int arp_interface(uint32_t ip, int *ifindex, uint8_t mac[6])
{
    struct ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) return -1;
    char name[IF_NAMESIZE + 1] = "";
    for (struct ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || !i->ifa_netmask || i->ifa_addr->sa_family != AF_INET) continue;
        if (i->ifa_flags & IFF_LOOPBACK) continue;
        uint32_t a = ((struct sockaddr_in *)i->ifa_addr)->sin_addr.s_addr;
        uint32_t m = ((struct sockaddr_in *)i->ifa_netmask)->sin_addr.s_addr;
        if ((a & m) == (ip & m)) {
            snprintf(name, sizeof name, "%s", i->ifa_name);
            break;
        }
    }
    freeifaddrs(list);
    if (!name[0]) return -1;
    *ifindex = (int)if_nametoindex(name);
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    struct ifreq rq;
    memset(&rq, 0, sizeof rq);
    snprintf(rq.ifr_name, sizeof rq.ifr_name, "%s", name);
    int r = ioctl(s, SIOCGIFHWADDR, &rq);
    close(s);
    if (r != 0 || *ifindex == 0) return -1;
    memcpy(mac, rq.ifr_hwaddr.sa_data, 6);
    return 0;
}

// ARP on a packet socket: the POSIX stand-in for the helper library is the raw socket, so
// a process without the right to open one reports NET_ARP_NO_LIBRARY. An address outside
// every local subnet gets no answer. Three requests, 1 s in all.
int net_arp_probe(uint32_t ip)
{
    int fd = socket(AF_PACKET, SOCK_DGRAM | SOCK_CLOEXEC, htons(ETH_P_ARP));
    if (fd < 0) return NET_ARP_NO_LIBRARY;
    int ifindex = 0;
    uint8_t mac[6];
    if (arp_interface(ip, &ifindex, mac) != 0) {
        close(fd);
        return 0;
    }
    struct sockaddr_ll to;
    memset(&to, 0, sizeof to);
    to.sll_family = AF_PACKET;
    to.sll_protocol = htons(ETH_P_ARP);
    to.sll_ifindex = ifindex;
    to.sll_halen = 6;
    memset(to.sll_addr, 0xFF, 6);
    uint8_t req[28] = {0x00, 0x01, 0x08, 0x00, 6, 4, 0x00, 0x01};
    memcpy(req + 8, mac, 6);        // sender hardware address; sender IP stays 0
    memcpy(req + 24, &ip, 4);       // target IP
    int found = 0;
    for (int attempt = 0; attempt < 3 && !found; attempt++) {
        sendto(fd, req, sizeof req, 0, (struct sockaddr *)&to, sizeof to);
        int64_t left_us = 333000;
        while (!found && left_us > 0) {
            const int64_t t0 = now_us();
            if (sock_wait_readable((SockHandle)fd, left_us) != 1) break;
            uint8_t rx[64];
            ssize_t n = recv(fd, rx, sizeof rx, 0);
            // An ARP reply whose sender is the probed address.
            if (n >= 28 && rx[6] == 0x00 && rx[7] == 0x02 && memcmp(rx + 14, &ip, 4) == 0) found = 1;
            left_us -= now_us() - t0;
        }
    }
    close(fd);
    return found;
}
