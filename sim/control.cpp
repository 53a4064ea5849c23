// voksim control commands: readings, faults, power cycles, echo and logging at run time.
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "sim/voksim.h"
#include "sim/warm.h"

namespace voksim {

namespace {

const char *HELP =
    "commands (ADDR in hex, CH 0-7, POS the unit's position on the channel):\n"
    "  list                                  modules and their units\n"
    "  set ADDR CH POS temp|hum VALUE        constant reading\n"
    "  ramp ADDR CH POS temp|hum TO SECONDS  move linearly from the present value\n"
    "  sine ADDR CH POS temp|hum MID AMP PERIOD_S\n"
    "  warm ADDR CH GAP_S FROM TO POS...     units from FROM to TO in turn, GAP_S apart\n"
    "  absent ADDR CH POS on|off             unit delivers nothing (a pulled wire)\n"
    "  glitch ADDR CH POS EVERY_S FOR_S      all-0xFF records for FOR_S of every EVERY_S (0 0: off)\n"
    "  open ADDR CH POS on|off               ITU input open (thermocouple, point)\n"
    "  inputs ADDR CH POS BYTE               input bits of a unit\n"
    "  digital-in ADDR BYTE                  model 4500 input byte\n"
    "  analog ADDR 0|1 VALUE                 model 4500 reading\n"
    "  fault ADDR silent|wrong-lead|wrong-address|all-ff|dup-sort on|off\n"
    "  fault ADDR refuse-writes on|off\n"
    "  fault ADDR slow MS | short N | split PIECES GAP_MS | busy MS | status N\n"
    "  fault ADDR garbage HEX... | stuck-out HEXMASK | fault ADDR clear\n"
    "  fault-status ADDR CODE ERRORS WARNINGS\n"
    "  power ADDR                            power-cycle the module\n"
    "  echo on|off    log on|off    tcp-close-after N (-1: off)    quit";

struct Args {
    std::vector<std::string> v;
    size_t i = 0;
    bool more() const { return i < v.size(); }
    bool word(std::string &out)
    {
        if (i >= v.size())
            return false;
        out = v[i++];
        return true;
    }
    bool num(long &out, int base = 0)
    {
        std::string s;
        if (!word(s))
            return false;
        char *end = nullptr;
        out = std::strtol(s.c_str(), &end, base);
        return *end == 0;
    }
    bool real(double &out)
    {
        std::string s;
        if (!word(s))
            return false;
        char *end = nullptr;
        out = std::strtod(s.c_str(), &end);
        return *end == 0 && std::isfinite(out);
    }
    bool flag(bool &out)
    {
        std::string s;
        if (!word(s) || (s != "on" && s != "off"))
            return false;
        out = s == "on";
        return true;
    }
};

}  // namespace

std::string World::control(const std::string &line, int64_t t_us)
{
    Args a;
    {
        std::istringstream in(line);
        std::string w;
        while (in >> w)
            a.v.push_back(w);
    }
    std::string cmd;
    if (!a.word(cmd))
        return "";
    if (cmd == "help")
        return HELP;
    if (cmd == "quit" || cmd == "exit") {
        quit = true;
        return "ok bye";
    }
    if (cmd == "echo" || cmd == "log") {
        bool on;
        if (!a.flag(on))
            return "error: " + cmd + " on|off";
        if (cmd == "echo") {
            serial.echo = on;
            for (auto &n : nets)
                n->echo = false;  // the network converter never echoes
        } else {
            log = on;
        }
        return "ok";
    }
    if (cmd == "tcp-close-after") {
        long n;
        if (!a.num(n))
            return "error: tcp-close-after N";
        nets[0]->close_after_bytes = (int)n;
        return "ok";
    }
    if (cmd == "list") {
        std::ostringstream out;
        for (const sim::Module &m : bus.modules) {
            char head[64];
            std::snprintf(head, sizeof head, "%02X %s type %02X baud code %02d units", m.address,
                          m.name.c_str(), m.type_code, m.baud_code);
            out << head;
            for (int c = 0; c < 8; c++)
                out << ' ' << m.channels[c].units.size();
            if (m.faults.silent)
                out << " [silent]";
            out << '\n';
        }
        std::string s = out.str();
        if (!s.empty())
            s.pop_back();
        return s.empty() ? "(no modules)" : s;
    }

    static const char *const module_commands[] = {"power", "digital-in", "analog", "fault-status",
                                                   "fault", "absent", "open", "inputs", "set", "ramp",
                                                   "sine", "warm", "glitch"};
    bool known = false;
    for (const char *c : module_commands)
        known = known || cmd == c;
    if (!known)
        return "error: unknown command " + cmd + " (try help)";

    long addr;
    if (!a.num(addr, 16) || addr < 0 || addr > 255)
        return "error: " + cmd + " needs a module address in hex";
    sim::Module *m = bus.find((uint8_t)addr);
    if (m == nullptr)
        return "error: no module at that address";

    if (cmd == "warm")
        return sim::warm_command(*m, std::vector<std::string>(a.v.begin() + (long)a.i, a.v.end()), t_us);
    if (cmd == "power") {
        bus.power_cycle(m->address, t_us);
        return "ok restarting";
    }
    if (cmd == "digital-in") {
        long b;
        if (!a.num(b) || b < 0 || b > 255)
            return "error: digital-in ADDR BYTE";
        m->digital_in = (uint8_t)b;
        return "ok";
    }
    if (cmd == "analog") {
        long k;
        double v;
        if (!a.num(k) || k < 0 || k > 1 || !a.real(v))
            return "error: analog ADDR 0|1 VALUE";
        m->analog[k] = sim::Reading::constant(v);
        return "ok";
    }
    if (cmd == "fault-status") {
        long c, e, w;
        if (!a.num(c) || !a.num(e) || !a.num(w))
            return "error: fault-status ADDR CODE ERRORS WARNINGS";
        m->fault_code = (uint8_t)c;
        m->error_mask = (uint8_t)e;
        m->warning_mask = (uint8_t)w;
        return "ok";
    }
    if (cmd == "fault") {
        std::string what;
        if (!a.word(what))
            return "error: fault ADDR NAME ...";
        sim::Faults &f = m->faults;
        bool on;
        long n, g;
        if (what == "clear") {
            f = sim::Faults{};
        } else if (what == "silent" || what == "wrong-lead" || what == "wrong-address" ||
                   what == "all-ff" || what == "dup-sort") {
            if (!a.flag(on))
                return "error: fault ADDR " + what + " on|off";
            (what == "silent" ? f.silent
             : what == "wrong-lead" ? f.wrong_lead
             : what == "wrong-address" ? f.wrong_address
             : what == "all-ff" ? f.all_ff
                                : f.duplicate_sort) = on;
        } else if (what == "refuse-writes") {
            if (!a.flag(on))
                return "error: fault ADDR refuse-writes on|off";
            f.refuse_writes = on;
        } else if (what == "slow" || what == "short" || what == "busy" || what == "status") {
            if (!a.num(n) || n < 0)
                return "error: fault ADDR " + what + " N";
            if (what == "slow")
                f.slow_ms = (int)n;
            else if (what == "short")
                f.short_by = (int)n;
            else if (what == "busy")
                f.busy_after_reset_ms = (int)n;
            else
                f.data_status = (uint8_t)n;
        } else if (what == "stuck-out") {
            if (!a.num(n, 16) || n < 0 || n > 255)
                return "error: fault ADDR stuck-out HEXMASK";
            f.stuck_outputs = (uint8_t)n;
        } else if (what == "split") {
            if (!a.num(n) || !a.num(g) || n < 0 || g < 0)
                return "error: fault ADDR split PIECES GAP_MS";
            f.split_pieces = (int)n;
            f.split_gap_ms = (int)g;
        } else if (what == "garbage") {
            f.garbage.clear();
            while (a.more()) {
                long b;
                if (!a.num(b, 16) || b < 0 || b > 255)
                    return "error: fault ADDR garbage HEX...";
                f.garbage.push_back((uint8_t)b);
            }
        } else {
            return "error: unknown fault " + what;
        }
        return "ok";
    }

    // Unit commands: ADDR CH POS ...
    long ch, pos;
    if (!a.num(ch) || ch < 0 || ch > 7 || !a.num(pos) || pos < 0)
        return "error: " + cmd + " ADDR CH POS ...";
    auto &units = m->channels[ch].units;
    if ((size_t)pos >= units.size())
        return "error: no unit at that position";
    sim::Unit &u = units[pos];
    if (cmd == "absent" || cmd == "open") {
        bool on;
        if (!a.flag(on))
            return "error: " + cmd + " ADDR CH POS on|off";
        (cmd == "absent" ? u.absent : u.open) = on;
        return "ok";
    }
    if (cmd == "glitch") {
        double every, len;
        if (!a.real(every) || !a.real(len) || every < 0 || len < 0 || (every > 0 && len >= every))
            return "error: glitch ADDR CH POS EVERY_S FOR_S (0 < FOR_S < EVERY_S, or 0 0)";
        u.glitch_every_s = every;
        u.glitch_for_s = len;
        return "ok";
    }
    if (cmd == "inputs") {
        long b;
        if (!a.num(b) || b < 0 || b > 255)
            return "error: inputs ADDR CH POS BYTE";
        u.inputs = (uint8_t)b;
        return "ok";
    }
    if (cmd == "set" || cmd == "ramp" || cmd == "sine") {
        std::string q;
        if (!a.word(q) || (q != "temp" && q != "hum"))
            return "error: " + cmd + " ADDR CH POS temp|hum ...";
        sim::Reading &r = q == "temp" ? u.temp : u.hum;
        double x, y, z;
        if (cmd == "set") {
            if (!a.real(x))
                return "error: set ADDR CH POS temp|hum VALUE";
            r = sim::Reading::constant(x);
        } else if (cmd == "ramp") {
            if (!a.real(x) || !a.real(y) || y < 0)
                return "error: ramp ADDR CH POS temp|hum TO SECONDS";
            const double now = (double)t_us / 1e6;
            sim::Reading n;
            n.kind = sim::Reading::Script;
            n.points = {{now, r.at(t_us)}, {now + y, x}};
            r = n;
        } else {
            if (!a.real(x) || !a.real(y) || !a.real(z) || z <= 0)
                return "error: sine ADDR CH POS temp|hum MID AMP PERIOD_S";
            sim::Reading n;
            n.kind = sim::Reading::Sine;
            n.value = x;
            n.amplitude = y;
            n.period_s = z;
            r = n;
        }
        return "ok";
    }
    return "error: " + cmd + " ADDR CH POS ...";
}

}  // namespace voksim
