// The socket calls both real network backends make alike (Winsock speaks BSD sockets here),
// once; win32/net.cpp and posix/net.cpp keep what only their system has.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <errno.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <string.h>

#include "platform/net.h"

#ifdef _WIN32
typedef SOCKET OsSocket;
enum { SEND_FLAGS = 0 };
static int interrupted(void) { return 0; }  // no signals break into Winsock calls
static int selectable(SockHandle) { return 1; }
// Winsock fails a datagram longer than the buffer, yet fills the buffer with its start and
// drops the rest; every other backend returns the cut datagram, and so does this one.
static int datagram_cut(void) { return WSAGetLastError() == WSAEMSGSIZE; }
#else
typedef int OsSocket;
enum { SEND_FLAGS = MSG_NOSIGNAL };  // a peer that went away yields -1, not SIGPIPE
static int interrupted(void) { return errno == EINTR; }
static int selectable(SockHandle s) { return (int)s < FD_SETSIZE; }
static int datagram_cut(void) { return 0; }
#endif

static OsSocket os(SockHandle s) { return (OsSocket)s; }

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
    for (;;) {
        if (connect(os(s), (struct sockaddr *)&a, sizeof a) == 0) return 0;
        if (!interrupted()) return -1;
    }
}

// A negative time-out waits without limit.
static int wait_socket(SockHandle s, int64_t timeout_us, int for_write)
{
    if (s == SOCK_INVALID || !selectable(s)) return -1;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(os(s), &set);
        struct timeval tv, *tvp = nullptr;
        if (timeout_us >= 0) {
            tv.tv_sec = (long)(timeout_us / 1000000);
            tv.tv_usec = (long)(timeout_us % 1000000);
            tvp = &tv;
        }
        // Winsock ignores the first argument.
        int r = select((int)os(s) + 1, for_write ? nullptr : &set, for_write ? &set : nullptr, nullptr, tvp);
        if (r < 0 && interrupted()) continue;  // Linux select leaves the time left in tv
        if (r < 0) return -1;
        return r > 0 ? 1 : 0;
    }
}

int sock_wait_readable(SockHandle s, int64_t timeout_us) { return wait_socket(s, timeout_us, 0); }
int sock_wait_writable(SockHandle s, int64_t timeout_us) { return wait_socket(s, timeout_us, 1); }

int sock_send(SockHandle s, const void *buf, int len)
{
    const int n = (int)send(os(s), (const char *)buf, len, SEND_FLAGS);
    return n < 0 ? -1 : n;
}

int sock_recv(SockHandle s, void *buf, int len)
{
    int n;
    do n = (int)recv(os(s), (char *)buf, len, 0);
    while (n < 0 && interrupted());
    return n < 0 ? -1 : n;
}

int sock_set_broadcast(SockHandle s, int on)
{
    int v = on ? 1 : 0;
    return setsockopt(os(s), SOL_SOCKET, SO_BROADCAST, (const char *)&v, sizeof v) == 0 ? 0 : -1;
}

int sock_bind(SockHandle s, uint32_t ip, uint16_t port)
{
    struct sockaddr_in a = make_addr(ip, port);
    return bind(os(s), (struct sockaddr *)&a, sizeof a) == 0 ? 0 : -1;
}

int sock_sendto(SockHandle s, const void *buf, int len, uint32_t ip, uint16_t port)
{
    struct sockaddr_in a = make_addr(ip, port);
    const int n = (int)sendto(os(s), (const char *)buf, len, SEND_FLAGS, (struct sockaddr *)&a, sizeof a);
    return n < 0 ? -1 : n;
}

int sock_recvfrom(SockHandle s, void *buf, int len, uint32_t *ip, uint16_t *port)
{
    struct sockaddr_in a;
    socklen_t alen = sizeof a;
    memset(&a, 0, sizeof a);
    int n;
    do n = (int)recvfrom(os(s), (char *)buf, len, 0, (struct sockaddr *)&a, &alen);
    while (n < 0 && interrupted());
    if (n < 0 && datagram_cut()) n = len;
    if (n < 0) return -1;
    if (ip) *ip = a.sin_addr.s_addr;
    if (port) *port = ntohs(a.sin_port);
    return n;
}

int sock_host_name(char *buf, int cap)
{
    if (!buf || cap <= 0 || gethostname(buf, cap) != 0) return -1;
    buf[cap - 1] = '\0';
    return 0;
}
