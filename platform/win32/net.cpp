// Network backend for Windows: Winsock 1.1 calls (ws2_32), IPv4, select() for the waits.
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

static struct sockaddr_in make_addr(uint32_t ip, uint16_t port)
{
    struct sockaddr_in a;
    memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = ip;
    a.sin_port = htons(port);
    return a;
}

int sock_connect(SockHandle s, uint32_t ip, uint16_t port)
{
    struct sockaddr_in a = make_addr(ip, port);
    return connect((SOCKET)s, (struct sockaddr *)&a, sizeof a) == 0 ? 0 : -1;
}

// A negative time-out waits without limit.
static int wait_socket(SockHandle s, int64_t timeout_us, int for_write)
{
    if (s == SOCK_INVALID) return -1;
    fd_set set;
    FD_ZERO(&set);
    FD_SET((SOCKET)s, &set);
    struct timeval tv, *tvp = nullptr;
    if (timeout_us >= 0) {
        tv.tv_sec = (long)(timeout_us / 1000000);
        tv.tv_usec = (long)(timeout_us % 1000000);
        tvp = &tv;
    }
    int r = select(0, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr, tvp);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}

int sock_wait_readable(SockHandle s, int64_t timeout_us) { return wait_socket(s, timeout_us, 0); }
int sock_wait_writable(SockHandle s, int64_t timeout_us) { return wait_socket(s, timeout_us, 1); }

int sock_send(SockHandle s, const void *buf, int len)
{
    int n = send((SOCKET)s, (const char *)buf, len, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int sock_recv(SockHandle s, void *buf, int len)
{
    int n = recv((SOCKET)s, (char *)buf, len, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int sock_set_broadcast(SockHandle s, int on)
{
    BOOL v = on ? TRUE : FALSE;
    return setsockopt((SOCKET)s, SOL_SOCKET, SO_BROADCAST, (const char *)&v, sizeof v) == 0 ? 0 : -1;
}

int sock_bind(SockHandle s, uint32_t ip, uint16_t port)
{
    struct sockaddr_in a = make_addr(ip, port);
    return bind((SOCKET)s, (struct sockaddr *)&a, sizeof a) == 0 ? 0 : -1;
}

int sock_sendto(SockHandle s, const void *buf, int len, uint32_t ip, uint16_t port)
{
    struct sockaddr_in a = make_addr(ip, port);
    int n = sendto((SOCKET)s, (const char *)buf, len, 0, (struct sockaddr *)&a, sizeof a);
    return n == SOCKET_ERROR ? -1 : n;
}

int sock_recvfrom(SockHandle s, void *buf, int len, uint32_t *ip, uint16_t *port)
{
    struct sockaddr_in a;
    int alen = sizeof a;
    memset(&a, 0, sizeof a);
    int n = recvfrom((SOCKET)s, (char *)buf, len, 0, (struct sockaddr *)&a, &alen);
    // Winsock fails a datagram longer than the buffer, yet fills the buffer with its start
    // and drops the rest; every other backend returns the cut datagram, and so does this.
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) n = len;
    if (n == SOCKET_ERROR) return -1;
    if (ip) *ip = a.sin_addr.s_addr;
    if (port) *port = ntohs(a.sin_port);
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
        INTERFACE_INFO list[10];
        DWORD bytes = 0;
        int r = WSAIoctl(s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr);
        closesocket(s);
        if (r == 0) {
            int n = 0, total = (int)(bytes / sizeof(INTERFACE_INFO));
            for (int i = 0; i < total && n < max; i++) {
                if (list[i].iiAddress.Address.sa_family != AF_INET) continue;
                if (ips) ips[n] = list[i].iiAddress.AddressIn.sin_addr.s_addr;
                if (masks) masks[n] = list[i].iiNetmask.AddressIn.sin_addr.s_addr;
                n++;
            }
            return n;
        }
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

// SIO_GET_INTERFACE_LIST on the caller's socket: up to 10 entries of INTERFACE_INFO.
int sock_interface_list(SockHandle s, uint32_t *ips, uint32_t *masks, int max)
{
    INTERFACE_INFO list[10];
    DWORD bytes = 0;
    if (s == SOCK_INVALID) return -1;
    if (WSAIoctl((SOCKET)s, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &bytes, nullptr, nullptr) != 0)
        return -1;
    int total = (int)(bytes / sizeof(INTERFACE_INFO));
    int n = 0;
    for (int i = 0; i < total && n < max; i++, n++) {
        if (ips) ips[n] = list[i].iiAddress.AddressIn.sin_addr.s_addr;
        if (masks) masks[n] = list[i].iiNetmask.AddressIn.sin_addr.s_addr;
    }
    return n;
}

int sock_host_name(char *buf, int cap)
{
    if (!buf || cap <= 0 || gethostname(buf, cap) != 0) return -1;
    buf[cap - 1] = '\0';
    return 0;
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
