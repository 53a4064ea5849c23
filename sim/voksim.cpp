// voksim: options, the world from the bus file, the traffic log; the faces run in host_*.
#include "sim/voksim.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace voksim {

const char *usage()
{
    return "usage: voksim [BUSFILE] [--bus BUSFILE] [--pty LINK] [--tcp HOST:PORT]\n"
           "              [--udp ADDR[:PORT][/PREFIX][@DEVICE]]... [--control HOST:PORT] [--no-stdin] [--log]\n"
           "              [--echo | --no-echo] [--restart-scale X] [--line-baud B]\n"
           "       voksim --help | --version\n"
           "Control commands are read from stdin (and the control socket); 'help' lists them.\n";
}

static bool endpoint(const std::string &text, Endpoint &e, int default_port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        if (default_port < 0)
            return false;
        e.host = text;
        e.port = default_port;
        return !text.empty();
    }
    e.host = text.substr(0, colon);
    char *end = nullptr;
    const long p = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != 0 || p < 0 || p > 65535 || e.host.empty() || colon + 1 == text.size())
        return false;
    e.port = (int)p;
    return true;
}

bool parse_options(int argc, char **argv, Options &o, std::string &err)
{
    for (int i = 1; i < argc; i++) {
        const std::string a = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                err = a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--bus") {
            if (!value(o.bus_file))
                return false;
        } else if (a == "--pty") {
            if (!value(o.pty_link))
                return false;
        } else if (a == "--tcp") {
            if (!value(v))
                return false;
            if (!endpoint(v, o.tcp_at, -1)) {
                err = "--tcp wants HOST:PORT, not " + v;
                return false;
            }
            o.tcp = true;
        } else if (a == "--udp") {
            if (!value(v))
                return false;
            Endpoint e;
            std::string device;
            const size_t at = v.find('@');
            if (at != std::string::npos) {
                device = v.substr(at + 1);
                v.resize(at);
                if (device.empty() || device.size() > 15) {
                    err = "--udp device must be an interface name, not '" + device + "'";
                    return false;
                }
            }
            const size_t slash = v.find('/');
            if (slash != std::string::npos) {
                char *end = nullptr;
                e.prefix = (int)std::strtol(v.c_str() + slash + 1, &end, 10);
                if (*end != 0 || e.prefix < 1 || e.prefix > 31 || slash + 1 == v.size()) {
                    err = "--udp prefix must be 1..31, not " + v.substr(slash + 1);
                    return false;
                }
                v.resize(slash);
            }
            if (!endpoint(v, e, 30718)) {
                err = "--udp wants ADDR[:PORT][/PREFIX][@DEVICE], not " + v;
                return false;
            }
            o.udp.push_back(e);
            o.udp_device.push_back(device);
        } else if (a == "--control") {
            if (!value(v))
                return false;
            if (!endpoint(v, o.control_at, -1)) {
                err = "--control wants HOST:PORT, not " + v;
                return false;
            }
            o.control = true;
        } else if (a == "--no-stdin") {
            o.control_stdin = false;
        } else if (a == "--log") {
            o.log = true;
        } else if (a == "--echo") {
            o.echo = 1;
        } else if (a == "--no-echo") {
            o.echo = 0;
        } else if (a == "--restart-scale") {
            if (!value(v))
                return false;
            o.restart_scale = std::atof(v.c_str());
            if (o.restart_scale < 0) {
                err = "--restart-scale must not be negative";
                return false;
            }
        } else if (a == "--line-baud") {
            if (!value(v))
                return false;
            o.line_baud = std::atol(v.c_str());
            if (o.line_baud <= 0) {
                err = "--line-baud must be a speed";
                return false;
            }
        } else if (a == "--help" || a == "-h") {
            err.clear();
            return false;
        } else if (!a.empty() && a[0] != '-' && o.bus_file.empty()) {
            o.bus_file = a;
        } else {
            err = "unknown option " + a;
            return false;
        }
    }
    if (o.pty_link.empty() && !o.tcp && o.udp.empty()) {
        err = "nothing to serve: give --pty, --tcp or --udp";
        return false;
    }
    return true;
}

bool build_world(const Options &o, World &w, std::string &err)
{
    try {
        if (!o.bus_file.empty())
            w.bus = sim::load_bus_file(o.bus_file);
    } catch (const sim::BusFileError &e) {
        err = e.what();
        return false;
    }
    if (o.restart_scale >= 0)
        w.bus.restart_scale = o.restart_scale;
    sim::ConverterSetup setup = w.bus.converter;
    if (o.echo >= 0)
        setup.echo = o.echo == 1;
    if (o.line_baud > 0)
        setup.line_baud = (uint32_t)o.line_baud;
    w.serial.set_bus(&w.bus);
    w.serial.apply(setup);
    const size_t n = std::max<size_t>(1, o.udp.size());
    for (size_t i = 0; i < n; i++) {
        auto c = std::make_unique<sim::NetConverter>(&w.bus);
        if (i < w.bus.net_converters.size()) {
            // The bus file's converter i: its own MAC, port, speed and restart time.
            sim::ConverterSetup own = w.bus.net_converters[i];
            if (o.line_baud > 0)
                own.line_baud = (uint32_t)o.line_baud;
            c->apply(own);
        } else {
            c->apply(setup);
            c->config.mac[5] = (uint8_t)(c->config.mac[5] + i);  // one MAC per converter
        }
        if (i < o.udp.size()) {
            unsigned a, b, cc, d;
            if (std::sscanf(o.udp[i].host.c_str(), "%u.%u.%u.%u", &a, &b, &cc, &d) == 4)
                c->config.ip = sim::ip4((uint8_t)a, (uint8_t)b, (uint8_t)cc, (uint8_t)d);
            if (o.udp[i].prefix > 0) {
                const uint32_t m = 0xFFFFFFFFu << (32 - o.udp[i].prefix);
                c->config.mask = sim::ip4((uint8_t)(m >> 24), (uint8_t)(m >> 16), (uint8_t)(m >> 8),
                                          (uint8_t)m);
            }
        }
        if (o.tcp)
            c->config.tcp_port = (uint16_t)o.tcp_at.port;
        w.nets.push_back(std::move(c));
    }
    w.log = o.log;
    World *wp = &w;
    w.bus.on_traffic = [wp](int64_t t, bool req, const std::vector<uint8_t> &b) {
        wp->log_traffic(t, req, b);
    };
    return true;
}

void World::log_traffic(int64_t t_us, bool request, const std::vector<uint8_t> &bytes) const
{
    if (!log)
        return;
    std::printf("[%10.6f] %s %-40s %s\n", (double)t_us / 1e6, request ? ">>" : "<<",
                sim::hex_text(bytes).c_str(), sim::printable(bytes).c_str());
    std::fflush(stdout);
}

}  // namespace voksim
