// Network backend for Windows: Winsock 1.1 calls (ws2_32), IPv4 (the calls BSD sockets
// share are in common/sockets.cpp).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string.h>

#include "platform/net.h"

int sock_startup(void)
{
    WSADATA d;
    return WSAStartup(MAKEWORD(1, 1), &d) == 0 ? 0 : -1;
}

void sock_cleanup(void) { WSACleanup(); }

static SockHandle wrap(SOCKET s) { return s == INVALID_SOCKET ? SOCK_INVALID : (SockHandle)s; }

SockHandle sock_tcp(void) { return wrap(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }
SockHandle sock_udp(void) { return wrap(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)); }

int sock_close(SockHandle s)
{
    if (s == SOCK_INVALID) return -1;
    return closesocket((SOCKET)s) == 0 ? 0 : -1;
}

int sock_resolve(const char *host, uint32_t *ip)
{
    if (!host || !*host || !ip) return -1;
    unsigned long a = inet_addr(host);
    if (a != INADDR_NONE || strcmp(host, "255.255.255.255") == 0) {
        *ip = (uint32_t)a;
        return 0;
    }
    struct hostent *he = gethostbyname(host);
    if (!he || he->h_addrtype != AF_INET || !he->h_addr_list || !he->h_addr_list[0]) return -1;
    memcpy(ip, he->h_addr_list[0], 4);
    return 0;
}

// SIO_GET_INTERFACE_LIST on `s`: up to 10 entries of INTERFACE_INFO (only the IPv4 ones
// with `ipv4_only`). The count, or -1 when the query fails.
static int query_interfaces(SOCKET s, uint32_t *ips, uint32_t *masks, int max, int ipv4_only)
{
    INTERFACE_INFO list[10];
    DWORD bytes = 0;
    if (WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr) != 0)
        return -1;
    int n = 0, total = (int)(bytes / sizeof(INTERFACE_INFO));
    for (int i = 0; i < total && n < max; i++) {
        if (ipv4_only && list[i].iiAddress.Address.sa_family != AF_INET) continue;
        if (ips) ips[n] = list[i].iiAddress.AddressIn.sin_addr.s_addr;
        if (masks) masks[n] = list[i].iiNetmask.AddressIn.sin_addr.s_addr;
        n++;
    }
    return n;
}

// The socket layer's own interface list (up to 10 entries, loopback included, addresses
// and masks), as the NT family answers it. Where that query is not available, the
// addresses of the host's own name with a class C mask.
int sock_local_interfaces(uint32_t *ips, uint32_t *masks, int max)
{
    if (max <= 0) return 0;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s != INVALID_SOCKET) {
        const int n = query_interfaces(s, ips, masks, max, 1);
        closesocket(s);
        if (n >= 0) return n;
    }
    char name[256];
    if (gethostname(name, sizeof name) != 0) return -1;
    struct hostent *he = gethostbyname(name);
    if (!he || he->h_addrtype != AF_INET) return -1;
    int n = 0;
    for (; he->h_addr_list[n] && n < max; n++) {
        if (ips) memcpy(&ips[n], he->h_addr_list[n], 4);
        if (masks) masks[n] = htonl(0xFFFFFF00u);
    }
    return n;
}

// The query on the caller's socket, every entry as the system gives it.
int sock_interface_list(SockHandle s, uint32_t *ips, uint32_t *masks, int max)
{
    return s == SOCK_INVALID ? -1 : query_interfaces((SOCKET)s, ips, masks, max, 0);
}

// Raw registry bytes of the 9x family's DHCP lease: the first four, dotted order.
int net_dhcp_info(uint32_t *ip, uint32_t *mask)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\VxD\\DHCP\\DhcpInfo00", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    BYTE a[16], m[16];
    DWORD alen = sizeof a, mlen = sizeof m;
    LONG ra = RegQueryValueExA(key, "DhcpIPAddress", nullptr, nullptr, a, &alen);
    LONG rm = RegQueryValueExA(key, "DhcpSubnetMask", nullptr, nullptr, m, &mlen);
    RegCloseKey(key);
    if (ra != ERROR_SUCCESS || rm != ERROR_SUCCESS || alen < 4 || mlen < 4) return -1;
    memcpy(ip, a, 4);
    memcpy(mask, m, 4);
    return 0;
}

// The helper library is taken by name for each probe and let go afterwards.
int net_arp_probe(uint32_t ip)
{
    typedef DWORD(WINAPI * SendArpFn)(ULONG dest, ULONG src, PVOID mac, PULONG len);
    HMODULE lib = LoadLibraryA("iphlpapi.dll");
    if (!lib) return NET_ARP_NO_LIBRARY;
    SendArpFn send_arp = reinterpret_cast<SendArpFn>(reinterpret_cast<void (*)(void)>(GetProcAddress(lib, "SendARP")));
    if (!send_arp) {
        FreeLibrary(lib);
        return NET_ARP_NO_ENTRY;
    }
    ULONG mac[2] = {0, 0};
    ULONG len = 6;
    DWORD r = send_arp(ip, 0, mac, &len);
    FreeLibrary(lib);
    return r == NO_ERROR ? 1 : 0;
}
