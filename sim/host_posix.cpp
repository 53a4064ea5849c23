// voksim's faces on POSIX: a pseudo-terminal, a TCP converter port, UDP 30718 responders and
// a control socket, served by one ppoll loop that wakes exactly when the next simulated byte
// is due (no busy waiting).
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "sim/netconv_host.h"
#include "sim/voksim.h"

namespace voksim {

namespace {

volatile sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

int64_t mono_us()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

bool to_addr(const Endpoint &e, sockaddr_in &sa)
{
    std::memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_port = htons((uint16_t)e.port);
    return inet_pton(AF_INET, e.host.c_str(), &sa.sin_addr) == 1;
}

int listen_on(const Endpoint &e, int type, std::string &bound)
{
    sockaddr_in sa;
    if (!to_addr(e, sa)) {
        std::fprintf(stderr, "voksim: %s is not an IPv4 address\n", e.host.c_str());
        return -1;
    }
    const int s = socket(AF_INET, type, 0);
    if (s < 0)
        return -1;
    const int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (bind(s, (sockaddr *)&sa, sizeof sa) != 0 || (type == SOCK_STREAM && listen(s, 4) != 0)) {
        std::fprintf(stderr, "voksim: cannot bind %s:%d: %s\n", e.host.c_str(), e.port,
                     std::strerror(errno));
        close(s);
        return -1;
    }
    socklen_t len = sizeof sa;
    getsockname(s, (sockaddr *)&sa, &len);
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
    bound = std::string(text) + ":" + std::to_string(ntohs(sa.sin_port));
    return s;
}

uint32_t speed_of(speed_t s)
{
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 9600;
    }
}

// Never blocks: when the other side does not read and its buffer is full, the bytes are
// lost, as they would be on a line nobody listens to.
void write_all(int fd, const uint8_t *p, size_t n, bool sock)
{
    while (n > 0) {
        const ssize_t k = sock ? send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT) : write(fd, p, n);
        if (k <= 0) {
            if (k < 0 && errno == EINTR)
                continue;
            return;
        }
        p += k;
        n -= (size_t)k;
    }
}

struct LineConn {
    int fd;
    std::string buf;
};

}  // namespace

int host_run(World &w, const Options &o)
{
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigset_t block, waitmask;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigprocmask(SIG_BLOCK, &block, &waitmask);
    sigdelset(&waitmask, SIGINT);
    sigdelset(&waitmask, SIGTERM);

    const int64_t t0 = mono_us();
    auto now = [t0] { return mono_us() - t0; };

    // Pseudo-terminal: we keep the slave open too, so the master never sees a hang-up when
    // the client closes, and so we can read the line speed the client set on it.
    int master = -1, slave = -1;
    if (!o.pty_link.empty()) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            std::fprintf(stderr, "voksim: cannot create a pty: %s\n", std::strerror(errno));
            return 1;
        }
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        const char *name = ptsname(master);
        slave = open(name, O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(slave, TCSANOW, &t);
        unlink(o.pty_link.c_str());
        if (symlink(name, o.pty_link.c_str()) != 0) {
            std::fprintf(stderr, "voksim: cannot link %s: %s\n", o.pty_link.c_str(),
                         std::strerror(errno));
            return 1;
        }
        std::printf("pty %s -> %s\n", o.pty_link.c_str(), name);
    }

    int tcp_listen = -1, client = -1, ctl_listen = -1;
    std::string bound;
    if (o.tcp) {
        tcp_listen = listen_on(o.tcp_at, SOCK_STREAM, bound);
        if (tcp_listen < 0)
            return 1;
        std::printf("listening %s\n", bound.c_str());
    }
    // One socket per converter on its own address; with a prefix, a second one on the
    // subnet's broadcast address (a socket bound to a unicast address hears no broadcasts).
    // Replies always leave from the converter's own address.
    std::vector<int> udp, udp_bcast;
    for (size_t ui = 0; ui < o.udp.size(); ui++) {
        const Endpoint &e = o.udp[ui];
        const std::string device = ui < o.udp_device.size() ? o.udp_device[ui] : std::string();
        const int s = listen_on(e, SOCK_DGRAM, bound);
        if (s < 0)
            return 1;
        udp.push_back(s);
        std::printf("udp %s\n", bound.c_str());
        int b = -1;
        if (!device.empty()) {
            // On a device: every broadcast of its segment, for any subnet.
            b = udp_segment_socket(device, std::stoi(bound.substr(bound.rfind(':') + 1)));
            if (b < 0)
                return 1;
            std::printf("udp segment %s\n", device.c_str());
        } else if (e.prefix > 0) {
            in_addr a{};
            inet_pton(AF_INET, e.host.c_str(), &a);
            const uint32_t mask = 0xFFFFFFFFu << (32 - e.prefix);
            a.s_addr = htonl(ntohl(a.s_addr) | ~mask);
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &a, text, sizeof text);
            Endpoint be{text, std::stoi(bound.substr(bound.rfind(':') + 1)), -1};
            std::string bb;
            b = listen_on(be, SOCK_DGRAM, bb);
            if (b < 0)
                return 1;
            std::printf("udp broadcast %s\n", bb.c_str());
        }
        udp_bcast.push_back(b);
    }
    if (o.control) {
        ctl_listen = listen_on(o.control_at, SOCK_STREAM, bound);
        if (ctl_listen < 0)
            return 1;
        std::printf("control %s\n", bound.c_str());
    }
    ConverterMoves moves(w, o, udp, tcp_listen);
    std::printf("ready\n");
    std::fflush(stdout);

    bool stdin_open = o.control_stdin;
    std::string stdin_buf;
    std::vector<LineConn> ctl;
    sim::NetConverter &net = *w.nets[0];

    auto run_line = [&](const std::string &line) {
        std::string l = line;
        while (!l.empty() && (l.back() == '\r' || l.back() == '\n'))
            l.pop_back();
        return w.control(l, now());
    };

    while (!w.quit && !g_stop) {
        std::vector<pollfd> fds;
        auto watch = [&](int fd) {
            if (fd >= 0)
                fds.push_back({fd, POLLIN, 0});
        };
        if (stdin_open)
            watch(0);
        watch(master);
        watch(tcp_listen);
        watch(client);
        for (int s : udp)
            watch(s);
        for (int s : udp_bcast)
            watch(s);
        watch(ctl_listen);
        for (auto &c : ctl)
            watch(c.fd);

        int64_t due = w.serial.next_arrival_us();
        if (client >= 0)
            due = std::min(due, net.next_arrival_us());
        due = std::min(due, moves.next_due());
        timespec ts, *tsp = nullptr;
        if (due != sim::NEVER) {
            const int64_t d = std::max<int64_t>(0, due - now());
            ts.tv_sec = d / 1000000;
            ts.tv_nsec = (d % 1000000) * 1000;
            tsp = &ts;
        }
        const int rc = ppoll(fds.data(), fds.size(), tsp, &waitmask);
        if (rc < 0 && errno != EINTR)
            break;

        uint8_t buf[4096];
        for (const pollfd &p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            if (p.fd == 0) {
                const ssize_t k = read(0, buf, sizeof buf);
                if (k <= 0) {
                    stdin_open = false;
                    continue;
                }
                stdin_buf.append((char *)buf, (size_t)k);
                size_t nl;
                while ((nl = stdin_buf.find('\n')) != std::string::npos) {
                    const std::string answer = run_line(stdin_buf.substr(0, nl));
                    stdin_buf.erase(0, nl + 1);
                    if (!answer.empty())
                        std::printf("%s\n", answer.c_str());
                    std::fflush(stdout);
                }
            } else if (p.fd == master) {
                const ssize_t k = read(master, buf, sizeof buf);  // non-blocking
                if (k > 0) {
                    termios t{};
                    tcgetattr(slave, &t);
                    w.serial.send(now(), buf, (size_t)k, speed_of(cfgetospeed(&t)));
                }
            } else if (p.fd == tcp_listen) {
                const int c = accept(tcp_listen, nullptr, nullptr);
                if (c >= 0) {
                    if (client >= 0)
                        close(client);  // the converter serves one connection at a time
                    client = c;
                    const int one = 1;
                    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    net.tcp_open(now());
                }
            } else if (p.fd == client) {
                const ssize_t k = recv(client, buf, sizeof buf, 0);
                if (k <= 0) {
                    close(client);
                    client = -1;
                } else {
                    net.tcp_send(now(), buf, (size_t)k);
                }
            } else if (p.fd == ctl_listen) {
                const int c = accept(ctl_listen, nullptr, nullptr);
                if (c >= 0)
                    ctl.push_back({c, ""});
            } else {
                bool handled = false;
                for (size_t i = 0; i < udp.size() && !handled; i++) {
                    if (p.fd != udp[i] && p.fd != udp_bcast[i])
                        continue;
                    handled = true;
                    sockaddr_in from{};
                    socklen_t fl = sizeof from;
                    const ssize_t k = recvfrom(p.fd, buf, sizeof buf, 0, (sockaddr *)&from, &fl);
                    if (k < 0)
                        continue;
                    if (w.log)
                        w.log_traffic(now(), true, std::vector<uint8_t>(buf, buf + k));
                    for (const auto &r : w.nets[i]->udp_datagram(now(), buf, (size_t)k)) {
                        sendto(udp[i], r.data(), r.size(), 0, (sockaddr *)&from, fl);
                        if (w.log)
                            w.log_traffic(now(), false, r);
                    }
                }
                for (size_t i = 0; i < ctl.size() && !handled; i++) {
                    if (p.fd != ctl[i].fd)
                        continue;
                    handled = true;
                    const ssize_t k = recv(ctl[i].fd, buf, sizeof buf, 0);
                    if (k <= 0) {
                        close(ctl[i].fd);
                        ctl.erase(ctl.begin() + (long)i);
                        break;
                    }
                    ctl[i].buf.append((char *)buf, (size_t)k);
                    size_t nl;
                    while ((nl = ctl[i].buf.find('\n')) != std::string::npos) {
                        const std::string answer = run_line(ctl[i].buf.substr(0, nl)) + "\n";
                        ctl[i].buf.erase(0, nl + 1);
                        write_all(ctl[i].fd, (const uint8_t *)answer.data(), answer.size(), true);
                    }
                }
            }
        }

        moves.check(now());

        // Deliver what the simulated line has brought by now.
        std::vector<uint8_t> out;
        w.serial.take(now(), out);
        if (!out.empty() && master >= 0)
            write_all(master, out.data(), out.size(), false);
        if (client >= 0) {
            out.clear();
            net.tcp_take(now(), out, SIZE_MAX);
            if (!out.empty())
                write_all(client, out.data(), out.size(), true);
            if (net.tcp_closed_by_peer(now())) {
                close(client);
                client = -1;
            }
        } else {
            out.clear();
            net.take(now(), out);  // nobody connected: the bytes fall off the line
        }
    }

    if (!o.pty_link.empty())
        unlink(o.pty_link.c_str());
    std::fflush(stdout);
    return 0;
}

}  // namespace voksim
