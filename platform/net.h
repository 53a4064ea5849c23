// Network seam: BSD-style sockets over Winsock 1.1 (win32/), BSD sockets (posix/) or the
// simulator's network converter (fake/). Addresses are IPv4 in network byte order,
// ports in host order.
#ifndef VOK_PLATFORM_NET_H
#define VOK_PLATFORM_NET_H

#include <stdint.h>

typedef intptr_t SockHandle;
#define SOCK_INVALID ((SockHandle)-1)

// Starts / ends the socket library (WSAStartup 1.1 / WSACleanup). 0 on success.
int sock_startup(void);
void sock_cleanup(void);

SockHandle sock_tcp(void);  // blocking IPv4 stream socket, or SOCK_INVALID
SockHandle sock_udp(void);  // IPv4 datagram socket, or SOCK_INVALID
int sock_close(SockHandle s);

// Name lookup: first IPv4 address of `host` (dotted text or name). 0 on success.
int sock_resolve(const char *host, uint32_t *ip);
// Blocking connect. 0 on success, -1 on failure.
int sock_connect(SockHandle s, uint32_t ip, uint16_t port);
// select() on one socket: 1 ready, 0 time-out, -1 failure.
int sock_wait_readable(SockHandle s, int64_t timeout_us);
int sock_wait_writable(SockHandle s, int64_t timeout_us);
// One send/recv call: bytes transferred, 0 from recv when the peer closed, -1 on failure.
int sock_send(SockHandle s, const void *buf, int len);
int sock_recv(SockHandle s, void *buf, int len);

// Datagrams.
int sock_set_broadcast(SockHandle s, int on);
int sock_bind(SockHandle s, uint32_t ip, uint16_t port);
int sock_sendto(SockHandle s, const void *buf, int len, uint32_t ip, uint16_t port);
int sock_recvfrom(SockHandle s, void *buf, int len, uint32_t *ip, uint16_t *port);

// The host's IPv4 interfaces: up to `max` addresses and masks. Returns the count, -1 on failure.
int sock_local_interfaces(uint32_t *ips, uint32_t *masks, int max);

// The interface list the system keeps for socket `s` (the NT family's interface-list query):
// up to `max` entries (at most 10), loopback included, in the system's order. Returns the
// count, -1 when the query fails.
int sock_interface_list(SockHandle s, uint32_t *ips, uint32_t *masks, int max);
// The host's own name into buf (zero-terminated). 0 on success, -1 when it cannot be read.
int sock_host_name(char *buf, int cap);
// The DHCP address and mask the Windows 9x family keeps in its registry. 0 when both values
// exist, -1 otherwise (always -1 where there is no such registry).
int net_dhcp_info(uint32_t *ip, uint32_t *mask);

// Results of net_arp_probe.
enum {
    NET_ARP_NO_LIBRARY = -1,  // the helper library cannot be loaded
    NET_ARP_NO_ENTRY = -2,    // the library lacks its ARP entry point
};
// Asks the local segment for the hardware address of `ip` (ARP request, source address 0).
// 1 when some device answers, 0 when none does, or a NET_ARP_ failure. The helper library is
// loaded for this probe alone and released again.
int net_arp_probe(uint32_t ip);

// Dotted text of an address into out (at least 16 bytes). Pure.
void ip_to_text(uint32_t ip, char *out);
// Parses dotted text; 0 on success.
int ip_from_text(const char *text, uint32_t *ip);

#endif
