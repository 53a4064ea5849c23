// Module side of the protocol: parses a request frame and builds the addressed module's
// reply, byte-exact to the model's layout, then applies the module's faults.
#include <algorithm>
#include <cstdio>

#include "protocol/catalogue.h"
#include "protocol/protocol.h"
#include "sim/sim.h"
#include "sim/sim_internal.h"

namespace sim {

int Module::model() const
{
    uint8_t n[7] = {' ', ' ', ' ', ' ', ' ', ' ', ' '};
    for (size_t i = 0; i < 7 && i < name.size(); i++)
        n[i] = (uint8_t)name[i];
    return model_from_name(n);
}

int Module::count(int channel) const
{
    if (channel >= 0 && channel < 8)
        return (int)std::min<size_t>(channels[channel].units.size(), 64);
    return unit_count();
}

int Module::unit_count() const
{
    int n = 0;
    for (const Channel &c : channels)
        n += (int)std::min<size_t>(c.units.size(), 64);
    return n;
}

Module *Bus::find(uint8_t address)
{
    for (Module &m : modules)
        if (m.address == address)
            return &m;
    return nullptr;
}

Module &Bus::add(const Module &m)
{
    modules.push_back(m);
    return modules.back();
}

// Restart time after a reset: 5 s plus up to 25 s while the module counts its units.
static int64_t restart_us(const Module &m, double scale)
{
    const double s = 5.0 + 25.0 * std::min(m.unit_count(), 512) / 512.0;
    return (int64_t)(s * scale * 1e6);
}

int64_t module_restart_time_us(const Module &m, double scale) { return restart_us(m, scale); }

// What happens at a restart: written sort numbers become the reported ones.
static void apply_restart(Module &m)
{
    for (Channel &c : m.channels)
        for (Unit &u : c.units) {
            if (u.pending_sort >= 0)
                u.sort = (uint8_t)u.pending_sort;
            if (u.pending_id2 >= 0)
                u.id[2] = (uint8_t)u.pending_id2;
            u.pending_sort = u.pending_id2 = -1;
        }
}

void module_restart(Module &m, int64_t t_us, double scale, int64_t duration_us)
{
    apply_restart(m);
    m.restart_until_us = t_us + (duration_us >= 0 ? duration_us : restart_us(m, scale));
    m.busy_until_us = m.restart_until_us + (int64_t)m.faults.busy_after_reset_ms * 1000;
}

void Bus::power_cycle(uint8_t address, int64_t t_us)
{
    if (Module *m = find(address))
        module_restart(*m, t_us, restart_scale, -1);
}

// Applies the module's reply faults to a well-formed reply.
static Response shape_reply(const Module &m, std::vector<uint8_t> reply)
{
    const Faults &f = m.faults;
    if (f.wrong_lead && !reply.empty())
        reply[0] = '?';
    if (f.wrong_address && reply.size() >= 3) {
        char d[2];
        format_address((uint8_t)(m.address + 1), d);
        reply[1] = (uint8_t)d[0];
        reply[2] = (uint8_t)d[1];
    }
    if (f.short_by > 0)
        reply.resize(reply.size() > (size_t)f.short_by ? reply.size() - f.short_by : 0);
    Response r;
    const int64_t first = (int64_t)m.turnaround_us + (int64_t)f.slow_ms * 1000;
    if (!f.garbage.empty())
        r.pieces.push_back({first, f.garbage});
    const size_t pieces = std::min<size_t>(std::max(1, f.split_pieces), std::max<size_t>(reply.size(), 1));
    const size_t step = (reply.size() + pieces - 1) / pieces;
    for (size_t pos = 0; pos < reply.size(); pos += step) {
        Piece p;
        p.delay_us = r.pieces.empty() ? first : (pos == 0 ? 0 : (int64_t)f.split_gap_ms * 1000);
        p.bytes.assign(reply.begin() + (std::ptrdiff_t)pos,
                       reply.begin() + (std::ptrdiff_t)std::min(reply.size(), pos + step));
        r.pieces.push_back(p);
    }
    return r;
}

Response Bus::handle(const uint8_t *frame, size_t n, int64_t t_us, uint32_t baud)
{
    if (on_traffic)
        on_traffic(t_us, true, std::vector<uint8_t>(frame, frame + n));
    Response none;
    if (n < 4 || frame[n - 1] != 0x0D)
        return none;
    // A module listens for its own two address digits (upper-case hex), nothing else.
    Module *m = nullptr;
    for (Module &x : modules) {
        char d[2];
        format_address(x.address, d);
        if (frame[1] == (uint8_t)d[0] && frame[2] == (uint8_t)d[1]) {
            m = &x;
            break;
        }
    }
    if (m == nullptr || m->faults.silent)
        return none;
    // A module at another speed hears only noise.
    if ((uint32_t)baud_code_to_rate(m->baud_code) != baud)
        return none;
    if (t_us < m->restart_until_us)
        return none;
    std::vector<uint8_t> reply;
    if (t_us < m->busy_until_us) {
        reply = {'?', frame[1], frame[2], 0x0D};
    } else {
        Request rq{frame, n, t_us, this};
        reply = module_reply(*m, rq);
        if (reply.empty())
            return none;
    }
    Response r = shape_reply(*m, reply);
    if (on_traffic && !r.pieces.empty()) {
        std::vector<uint8_t> all;
        for (const Piece &p : r.pieces)
            all.insert(all.end(), p.bytes.begin(), p.bytes.end());
        on_traffic(t_us + r.pieces.front().delay_us, false, all);
    }
    return r;
}

}  // namespace sim
