// Record encoders: readings to the raw 4-byte records the host decodes per unit kind.
#include <algorithm>
#include <cmath>

#include "sim/sim.h"

namespace sim {

double Reading::at(int64_t t_us) const
{
    const double t = (double)t_us / 1e6;
    switch (kind) {
    case Constant:
        return value;
    case Sine:
        return value + amplitude * std::sin(2.0 * 3.14159265358979323846 * t / (period_s > 0 ? period_s : 60.0));
    case Drift: {
        // Triangle wave: wanders up and down by `amplitude` around `value` once a period.
        const double p = period_s > 0 ? period_s : 600.0;
        const double ph = std::fmod(t, p) / p;
        const double tri = ph < 0.5 ? 4 * ph - 1 : 3 - 4 * ph;
        return value + amplitude * tri;
    }
    case Script: {
        if (points.empty())
            return value;
        if (t <= points.front().first)
            return points.front().second;
        for (size_t i = 1; i < points.size(); i++)
            if (t < points[i].first) {
                const auto &a = points[i - 1];
                const auto &b = points[i];
                return a.second + (b.second - a.second) * (t - a.first) / (b.first - a.first);
            }
        return points.back().second;
    }
    case Ramp:
    case Steps:
        return moving_reading(*this, t);
    }
    return value;
}

std::array<uint8_t, 2> enc_t16(double c)
{
    const long v = std::clamp(std::lround(c * 16.0), -2047L, 2047L);
    const uint16_t r = (uint16_t)(int16_t)v;
    return {(uint8_t)(r & 0xFF), (uint8_t)(r >> 8)};
}

std::array<uint8_t, 2> enc_t32(double c)
{
    const long v = std::clamp(std::lround(c * 32.0), -4096L, 4095L);
    const uint16_t r = (uint16_t)((uint16_t)(int16_t)v << 3);
    return {(uint8_t)(r & 0xFF), (uint8_t)(r >> 8)};
}

std::array<uint8_t, 2> enc_sm16(double c)
{
    const long mag = std::min(std::lround(std::fabs(c) * 16.0), 2047L);
    uint8_t hi = (uint8_t)((mag >> 8) & 7);
    if (c < 0 && mag != 0)
        hi |= 0x08;
    return {(uint8_t)(mag & 0xFF), hi};
}

uint8_t enc_h(double rh)
{
    return (uint8_t)std::clamp(std::lround(rh * 2.0), 0L, 254L);
}

// 0x10 family: half degrees in byte 0 (sign in byte 1), then count-remain / count-per-degree
// so that the host's fine formula recovers the value to 1/16 °C.
static std::array<uint8_t, 4> enc_family10(double c)
{
    const double k = std::floor(c + 0.25);             // whole degrees the fine part builds on
    const long half = (long)(2 * k) + ((c - k) >= 0.5 ? 1 : 0);
    const long remain = std::clamp(std::lround(16.0 - 16.0 * (c + 0.25 - k)), 0L, 16L);
    const uint8_t b0 = (uint8_t)(half & 0xFF);
    return {b0, (uint8_t)(half < 0 ? 0xFF : 0x00), (uint8_t)remain, 0x10};
}

// 0x1E / 0x26: humidity by the host's ratio formula, with a fixed reference byte.
static std::array<uint8_t, 2> enc_ratio_humidity(double rh)
{
    const int ref = 150;
    const double ratio = std::clamp(rh, 0.0, 100.0) * 0.00474 + 0.2354;
    const long b = std::clamp(std::lround(ratio * (ref + 336) - 112), 0L, 254L);
    return {(uint8_t)b, (uint8_t)ref};
}

std::array<uint8_t, 4> encode_record(const Unit &u, const Module &m, int channel, int64_t t_us)
{
    if (u.absent || glitching(u, t_us))
        return {0xFF, 0xFF, 0xFF, 0xFF};
    const int model = m.model();
    const double t = u.temp.at(t_us);
    const double h = u.hum.at(t_us);

    // Model 4103: channels 1 and 2 carry temperature-humidity ITU modules.
    if (model == 4103 && (channel == 1 || channel == 2)) {
        auto sm = enc_sm16(t);
        return {u.sort, enc_h(h), sm[0], sm[1]};
    }
    if (!u.itu) {
        switch (u.family()) {
        case 0x10:
            return enc_family10(t);
        case 0x1E:
        case 0x26: {
            auto tt = enc_t32(t);
            if (u.open)  // nothing on the second input: its two bytes read FF
                return {tt[0], tt[1], 0xFF, 0xFF};
            if (model == 4300 || model == 4562 || model == 4563) {
                long cv = std::clamp(std::lround(h * 100.0), 0L, 0xFEFFL);
                if ((cv & 0xFF) == 0xFF)
                    cv--;  // a 0xFF byte would read back as "no second quantity"
                return {tt[0], tt[1], (uint8_t)(cv & 0xFF), (uint8_t)(cv >> 8)};
            }
            auto hh = enc_ratio_humidity(h);
            return {tt[0], tt[1], hh[0], hh[1]};
        }
        case 0x42: {
            auto tt = enc_t16(t);
            return {tt[0], tt[1], u.inputs, 0x00};
        }
        case 0x89: {
            auto sm = enc_sm16(t);
            return {u.sort, enc_h(h), sm[0], sm[1]};
        }
        default: {  // 0x28, 0x22 and other 16-bit families: alarm bytes TH/TL after the value
            if (u.family() == 0x28 && u.w13) {
                // 13 bits in 1/32 °C, left-aligned; the 0xFF pair marks this form.
                auto tt = enc_t32(t);
                return {tt[0], tt[1], 0xFF, 0xFF};
            }
            auto tt = enc_t16(t);
            if (u.family() == 0x28 && model == 4563)
                return {tt[0], tt[1], u.calibration, 0x46};
            return {tt[0], tt[1], 0x4B, 0x46};
        }
        }
    }
    switch (u.family()) {
    case ITU_HUMIDITY:
        return {0x00, enc_h(h), 0x00, 0x00};
    case ITU_TEMP_HUM: {
        auto sm = enc_sm16(t);
        return {0x0A, enc_h(h), sm[0], sm[1]};
    }
    case ITU_HIGH_TEMP: {
        if (u.open)
            return {0x00, 0x00, 0x80, 0x00};
        const long q = std::clamp(std::lround(t * 4.0), 0L, 0x7FFFL);
        return {0x00, (uint8_t)(q & 0xFF), (uint8_t)(q >> 8), 0x00};
    }
    case ITU_8_TEMP: {
        if (u.open)
            return {0x00, 0xFF, (uint8_t)((u.point << 5) | 0x10), 0x00};
        auto sm = enc_sm16(t);
        return {0x00, sm[0], (uint8_t)((u.point << 5) | sm[1]), 0x00};
    }
    case ITU_8_IN:
        return {0x00, u.inputs, 0x00, 0x00};
    case ITU_8_OUT:
        return {0x00, 0x00, u.outputs, 0x00};
    case ITU_4IN_4OUT:
        return {0x00, (uint8_t)(u.inputs & 0x0F), (uint8_t)(u.outputs & 0x0F), 0x00};
    case ITU_ANALOG: {
        if (u.open)
            return {0x00, 0xFF, (uint8_t)((u.point << 5) | 0x10), 0x00};
        const long r = std::clamp(std::lround(t * 1023.0 / 5.0), 0L, 1023L);
        return {0x00, (uint8_t)(r & 0xFF), (uint8_t)((u.point << 5) | (r >> 8)), 0x00};
    }
    default: {  // TVOC and unknown kinds: the reading as a 16-bit number
        const long v = std::clamp(std::lround(t), 0L, 0xFFFFL);
        return {(uint8_t)(v & 0xFF), (uint8_t)(v >> 8), 0x00, 0x00};
    }
    }
}

}  // namespace sim
