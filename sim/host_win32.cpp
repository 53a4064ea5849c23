// voksim's faces on Windows: the TCP converter port (and UDP 30718 responders), served by a
// select loop that wakes when the next simulated byte is due; control lines come from stdin
// through a reader thread (stdin cannot be selected on Windows).
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/voksim.h"

namespace voksim {

namespace {

int64_t mono_us()
{
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return (int64_t)(c.QuadPart / freq.QuadPart) * 1000000 +
           (int64_t)(c.QuadPart % freq.QuadPart) * 1000000 / freq.QuadPart;
}

SOCKET open_on(const Endpoint &e, int type, std::string &bound)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons((u_short)e.port);
    sa.sin_addr.s_addr = inet_addr(e.host.c_str());
    if (sa.sin_addr.s_addr == INADDR_NONE) {
        std::fprintf(stderr, "voksim: %s is not an IPv4 address\n", e.host.c_str());
        return INVALID_SOCKET;
    }
    SOCKET s = socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET)
        return s;
    if (bind(s, (sockaddr *)&sa, sizeof sa) != 0 || (type == SOCK_STREAM && listen(s, 4) != 0)) {
        std::fprintf(stderr, "voksim: cannot bind %s:%d\n", e.host.c_str(), e.port);
        closesocket(s);
        return INVALID_SOCKET;
    }
    int len = sizeof sa;
    getsockname(s, (sockaddr *)&sa, &len);
    bound = std::string(inet_ntoa(sa.sin_addr)) + ":" + std::to_string(ntohs(sa.sin_port));
    return s;
}

std::mutex g_lines_mutex;
std::deque<std::string> g_lines;
std::atomic<bool> g_stdin_done{false};

}  // namespace

int host_run(World &w, const Options &o)
{
    if (!o.pty_link.empty()) {
        std::fprintf(stderr, "voksim: --pty is not available on Windows; use --tcp\n");
        return 2;
    }
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 1;
    const int64_t t0 = mono_us();
    auto now = [t0] { return mono_us() - t0; };

    SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET;
    std::string bound;
    if (o.tcp) {
        listener = open_on(o.tcp_at, SOCK_STREAM, bound);
        if (listener == INVALID_SOCKET)
            return 1;
        std::printf("listening %s\n", bound.c_str());
    }
    std::vector<SOCKET> udp;
    for (const Endpoint &e : o.udp) {
        SOCKET s = open_on(e, SOCK_DGRAM, bound);
        if (s == INVALID_SOCKET)
            return 1;
        udp.push_back(s);
        std::printf("udp %s\n", bound.c_str());
    }
    std::printf("ready\n");
    std::fflush(stdout);

    if (o.control_stdin) {
        std::thread([] {
            std::string line;
            while (std::getline(std::cin, line)) {
                std::lock_guard<std::mutex> lock(g_lines_mutex);
                g_lines.push_back(line);
            }
            g_stdin_done = true;
        }).detach();
    }

    sim::NetConverter &net = *w.nets[0];
    char buf[4096];
    while (!w.quit) {
        fd_set rd;
        FD_ZERO(&rd);
        if (listener != INVALID_SOCKET)
            FD_SET(listener, &rd);
        if (client != INVALID_SOCKET)
            FD_SET(client, &rd);
        for (SOCKET s : udp)
            FD_SET(s, &rd);
        // Control lines are polled every 20 ms at most; bytes are due exactly.
        int64_t wait = 20000;
        if (client != INVALID_SOCKET && net.next_arrival_us() != sim::NEVER)
            wait = std::min<int64_t>(wait, std::max<int64_t>(0, net.next_arrival_us() - now()));
        timeval tv{(long)(wait / 1000000), (long)(wait % 1000000)};
        if (rd.fd_count > 0)
            select(0, &rd, nullptr, nullptr, &tv);
        else
            Sleep((DWORD)(wait / 1000));

        if (listener != INVALID_SOCKET && FD_ISSET(listener, &rd)) {
            SOCKET c = accept(listener, nullptr, nullptr);
            if (c != INVALID_SOCKET) {
                if (client != INVALID_SOCKET)
                    closesocket(client);
                client = c;
                BOOL one = TRUE;
                setsockopt(client, IPPROTO_TCP, TCP_NODELAY, (const char *)&one, sizeof one);
                u_long nonblocking = 1;  // a client that stops reading loses bytes, never stalls us
                ioctlsocket(client, FIONBIO, &nonblocking);
                net.tcp_open(now());
            }
        }
        if (client != INVALID_SOCKET && FD_ISSET(client, &rd)) {
            const int k = recv(client, buf, sizeof buf, 0);
            if (k == 0 || (k < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
                closesocket(client);
                client = INVALID_SOCKET;
            } else if (k > 0) {
                net.tcp_send(now(), (const uint8_t *)buf, (size_t)k);
            }
        }
        for (size_t i = 0; i < udp.size(); i++) {
            if (!FD_ISSET(udp[i], &rd))
                continue;
            sockaddr_in from{};
            int fl = sizeof from;
            const int k = recvfrom(udp[i], buf, sizeof buf, 0, (sockaddr *)&from, &fl);
            if (k < 0)
                continue;
            for (const auto &r : w.nets[i]->udp_datagram(now(), (const uint8_t *)buf, (size_t)k))
                sendto(udp[i], (const char *)r.data(), (int)r.size(), 0, (sockaddr *)&from, fl);
        }
        for (;;) {
            std::string line;
            {
                std::lock_guard<std::mutex> lock(g_lines_mutex);
                if (g_lines.empty())
                    break;
                line = g_lines.front();
                g_lines.pop_front();
            }
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
                line.pop_back();
            const std::string answer = w.control(line, now());
            if (!answer.empty())
                std::printf("%s\n", answer.c_str());
            std::fflush(stdout);
        }
        std::vector<uint8_t> out;
        if (client != INVALID_SOCKET) {
            net.tcp_take(now(), out, SIZE_MAX);
            if (!out.empty())
                send(client, (const char *)out.data(), (int)out.size(), 0);
            if (net.tcp_closed_by_peer(now())) {
                closesocket(client);
                client = INVALID_SOCKET;
            }
        } else {
            net.take(now(), out);
        }
    }
    WSACleanup();
    return 0;
}

}  // namespace voksim
