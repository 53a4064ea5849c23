// Test peers made with socat: a linked pty pair, or a loopback TCP server, each a child
// process that lives as long as the object.
#ifndef VOK_TESTS_PLATFORM_SOCAT_PEER_H
#define VOK_TESTS_PLATFORM_SOCAT_PEER_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace socat_peer {

class Process {
public:
    Process() = default;
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;
    ~Process() { stop(); }

    bool start(const std::vector<std::string> &args)
    {
        std::vector<char *> argv;
        for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        return posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
    }
    bool running()
    {
        if (pid_ <= 0) return false;
        int st;
        if (waitpid(pid_, &st, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }
    void stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int st;
            waitpid(pid_, &st, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
};

// Two pty ends, a and b: what is written to one is read from the other.
class PtyPair {
public:
    PtyPair()
    {
        char tmpl[] = "/tmp/vok-pty-XXXXXX";
        dir_ = mkdtemp(tmpl) ? tmpl : "";
        a = dir_ + "/a";
        b = dir_ + "/b";
        ok = !dir_.empty() &&
             proc_.start({"socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b});
        // socat makes the links once both ptys exist; allow it 5 s.
        for (int i = 0; ok && i < 500; i++) {
            if (std::filesystem::exists(a) && std::filesystem::exists(b)) return;
            if (!proc_.running()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ok = false;
    }
    ~PtyPair()
    {
        proc_.stop();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }
    // Ends the socat process: both ptys hang up.
    void cut() { proc_.stop(); }

    bool ok = false;
    std::string a, b;

private:
    std::string dir_;
    Process proc_;
};

// True when nothing listens on 127.0.0.1:port now (a bind without address reuse succeeds).
inline bool loopback_port_free(uint16_t port)
{
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool free = bind(s, (struct sockaddr *)&a, sizeof a) == 0;
    close(s);
    return free;
}

// A loopback TCP server: socat listening on 127.0.0.1:port, one `action` per connection
// (PIPE echoes, SYSTEM:... runs a command). Tries ports until one binds. A port somebody
// else listens on is passed over first: the probe would reach that listener before the
// socat that failed to bind it had exited.
class TcpServer {
public:
    explicit TcpServer(const std::string &action, int (*probe)(uint16_t port))
    {
        unsigned seed = (unsigned)getpid() * 7919u + (unsigned)time(nullptr);
        for (int attempt = 0; attempt < 20 && !ok; attempt++) {
            port = (uint16_t)(20000 + (seed + (unsigned)attempt * 104729u) % 30000);
            if (!loopback_port_free(port)) continue;
            proc_.start({"socat", "TCP-LISTEN:" + std::to_string(port) + ",bind=127.0.0.1,reuseaddr,fork",
                         action});
            for (int i = 0; i < 200; i++) {
                if (!proc_.running()) break;
                if (probe(port) == 0) {
                    ok = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (!ok) proc_.stop();
        }
    }
    void stop() { proc_.stop(); }

    bool ok = false;
    uint16_t port = 0;

private:
    Process proc_;
};

}  // namespace socat_peer

#endif
