// Readings that move for the curve view: saw-tooth ramps, held steps, and units that now and
// then deliver an all-0xFF record as a glitching sensor does.
#include <cmath>

#include "sim/sim.h"

namespace sim {

double moving_reading(const Reading &r, double t)
{
    if (r.kind == Reading::Ramp) {
        const double p = r.period_s > 0 ? r.period_s : 60.0;
        return r.value + (r.to - r.value) * std::fmod(t, p) / p;
    }
    if (r.points.empty())
        return r.value;
    if (r.period_s > 0)
        t = std::fmod(t, r.period_s);
    double v = r.points.front().second;
    for (const auto &pt : r.points) {
        if (t < pt.first)
            break;
        v = pt.second;
    }
    return v;
}

bool glitching(const Unit &u, int64_t t_us)
{
    if (u.glitch_every_s <= 0 || u.glitch_for_s <= 0)
        return false;
    // The window closes each period: [every - for, every) of every cycle.
    const double t = (double)t_us / 1e6;
    return std::fmod(t, u.glitch_every_s) >= u.glitch_every_s - u.glitch_for_s;
}

}  // namespace sim
