// voksim: the simulated bus on real time, behind a pty, a TCP port and UDP 30718.
// The portable part (options, control commands, traffic log) lives in voksim.cpp and
// control.cpp; the OS faces (pty, sockets, the wait loop) in host_posix.cpp / host_win32.cpp.
#ifndef VOK_SIM_VOKSIM_H
#define VOK_SIM_VOKSIM_H

#include <memory>
#include <string>
#include <vector>

#include "sim/sim.h"

namespace voksim {

struct Endpoint {
    std::string host;
    int port = 0;
    int prefix = -1;                   // --udp ADDR/PREFIX: subnet length, -1 when not given
};

struct Options {
    std::string bus_file;
    std::string pty_link;              // --pty LINK
    bool tcp = false;                  // --tcp HOST:PORT
    Endpoint tcp_at;
    std::vector<Endpoint> udp;         // --udp ADDR[:PORT][/PREFIX][@DEVICE], one converter each
    std::vector<std::string> udp_device;  // per --udp: the device (segment) it sits on, or ""
    bool control_stdin = true;         // --no-stdin turns it off
    bool control = false;              // --control HOST:PORT
    Endpoint control_at;
    bool log = false;                  // --log
    int echo = -1;                     // --echo / --no-echo (-1: the bus file decides)
    double restart_scale = -1;         // --restart-scale X
    long line_baud = 0;                // --line-baud B (network converter bus speed)
};

// Parses argv; on error returns false with a message in `err`.
bool parse_options(int argc, char **argv, Options &o, std::string &err);

// The simulated world voksim serves.
class World {
public:
    sim::Bus bus;
    sim::SerialConverter serial{&bus};
    std::vector<std::unique_ptr<sim::NetConverter>> nets;   // [0] serves TCP; one per --udp
    bool log = false;
    bool quit = false;

    // Runs one control command line at bus time t; returns the answer line ("ok ...",
    // "error: ...", or the text asked for), without a trailing newline.
    std::string control(const std::string &line, int64_t t_us);
    // Prints one traffic line (request or reply) when logging is on.
    void log_traffic(int64_t t_us, bool request, const std::vector<uint8_t> &bytes) const;
};

// Sets up the world from the options (bus file, converter settings). False on error.
bool build_world(const Options &o, World &w, std::string &err);

// The OS side: runs every face the options ask for until quit. Returns the exit code.
int host_run(World &w, const Options &o);

// Usage text.
const char *usage();

}  // namespace voksim

#endif
