// Scripted warming of units one after another: a held value, a short ramp, a held value.
#include "sim/warm.h"

#include <cmath>
#include <cstdlib>

namespace sim {

bool warm_in_turn(Module &m, int channel, const std::vector<int> &order, double from, double to,
                  double start_s, double gap_s, double rise_s)
{
    if (channel < 0 || channel > 7 || gap_s < 0 || rise_s < 0)
        return false;
    auto &units = m.channels[channel].units;
    for (int pos : order)
        if (pos < 0 || (size_t)pos >= units.size())
            return false;
    for (size_t k = 0; k < order.size(); k++) {
        const double t0 = start_s + (double)k * gap_s;
        Reading r;
        r.kind = Reading::Script;
        r.points = {{0.0, from}, {t0, from}, {t0 + rise_s, to}};
        units[order[k]].temp = r;
    }
    return true;
}

namespace {
bool number(const std::string &s, double &out)
{
    char *end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return !s.empty() && *end == 0 && std::isfinite(out);
}
}  // namespace

std::string warm_command(Module &m, const std::vector<std::string> &words, int64_t t_us)
{
    const char *usage = "error: warm ADDR CH GAP_S FROM TO POS...";
    double ch, gap, from, to;
    if (words.size() < 5 || !number(words[0], ch) || !number(words[1], gap) || !number(words[2], from) ||
        !number(words[3], to) || ch != std::floor(ch))
        return usage;
    std::vector<int> order;
    for (size_t i = 4; i < words.size(); i++) {
        double p;
        if (!number(words[i], p) || p != std::floor(p) || p < 0 || p > 63)
            return usage;
        order.push_back((int)p);
    }
    // The first unit starts one gap from now, so the lists show every unit cold first.
    if (!warm_in_turn(m, (int)ch, order, from, to, (double)t_us / 1e6 + gap, gap))
        return "error: no unit at one of those positions (or a negative gap)";
    return "ok";
}

}  // namespace sim
