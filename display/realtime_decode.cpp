// Curve view decoding: which reader serves a module, the readers' own record rules (with
// their glitch and held-value handling), and the value-to-row mapping of the plot.
#include "display/realtime.h"

#include "display/decode.h"
#include "protocol/model_caps.h"

namespace {
bool all_ff(const uint8_t rec[4]) { return rec[0] == 0xFF && rec[1] == 0xFF && rec[2] == 0xFF && rec[3] == 0xFF; }

float clamp_percent(float v)
{
    if (v <= 0) return 0;
    if (v >= 100) return 100;
    return v;
}

// A channel of model 4562/4563 whose kind flag (channel_kind.a or .b) is set.
bool kind_456x(const Module *m, int channel, const int *kind)
{
    return is_456x(m->model) && channel >= 0 && channel < CHANNEL_COUNT && kind[channel] == 1;
}

// 0x10: 9-bit half degrees refined by count-remain / count-per-degree. A zero count per
// degree gives nothing to divide by: no new value.
int decode_family10(const uint8_t rec[4], int points, float held, float *v)
{
    int m = rec[0] & 0xFE;
    if (rec[1] == 0xFF) {
        if (m == 0xFE && points > 0) {
            *v = held;
            return CURVE_SAMPLE_OK;
        }
        if (rec[3] == 0) return CURVE_SAMPLE_ERROR;
        *v = static_cast<float>(rec[3] - rec[2]) / static_cast<float>(rec[3]) - (static_cast<float>(256 - m) * 0.5f + 0.25f);
        return CURVE_SAMPLE_OK;
    }
    if (rec[3] == 0) return CURVE_SAMPLE_ERROR;
    *v = static_cast<float>(rec[3] - rec[2]) / static_cast<float>(rec[3]) + (static_cast<float>(m) * 0.5f - 0.25f);
    return CURVE_SAMPLE_OK;
}

// 0x22 / 0x28: 12-bit two's complement in 1/16 degree; an LSB of 0xFF on a negative reading
// is the sensor's glitch and repeats the held value (except on a sweep's first sample).
float decode_family28(const uint8_t rec[4], int points, float held)
{
    if ((rec[1] & 0xF8) == 0xF8 && rec[0] == 0xFF && points > 0) return held;
    return temp_t16(rec[0], rec[1]);
}

// 0x1E / 0x26: 13-bit reading in 1/32 degree.
float decode_family26(const uint8_t rec[4])
{
    if (rec[1] & 0x80) return -static_cast<float>(32 * (255 - rec[1]) + ((256 - rec[0]) >> 3)) * 0.03125f;
    return static_cast<float>(256 * rec[1] + (rec[0] & 0xF8)) / 256;
}
}  // namespace

int uses_reader_a(const Module *m, int channel)
{
    return is_family_type(m->type_code) || is_4501(m->model) || kind_456x(m, channel, channel_kind.a);
}

int uses_reader_b(const Module *m) { return is_4500(m->model); }

int is_th_channel(const Module *m, int channel)
{
    return model_caps(m->model)->th_itus || kind_456x(m, channel, channel_kind.b);
}

int humidity_allowed(const Module *m, int channel)
{
    const ModelCaps *caps = model_caps(m->model);
    if (caps->humidity) return 1;
    if (caps->itu_modules && (channel == 1 || channel == 2)) return 1;
    return is_th_channel(m, channel);
}

int has_curve_dialog(const Module *m)
{
    return is_family_type(m->type_code) || model_caps(m->model)->curve_dialog;
}

Module *realtime_module(void) { return &current_module(); }

int curve_decode_a(const uint8_t rec[4], int type, int temperature_mode, int points, float held, float *v)
{
    if (all_ff(rec)) return CURVE_SAMPLE_ERROR;
    // One row per family: its temperature, its humidity (families 0x10, 0x22, 0x28 give none).
    const int t = temperature_mode;
    switch (type) {
    case 0x10:
        return t ? decode_family10(rec, points, held, v) : CURVE_SAMPLE_ERROR;
    case 0x22:
    case 0x28:
        if (!t) return CURVE_SAMPLE_ERROR;
        *v = decode_family28(rec, points, held);
        return CURVE_SAMPLE_OK;
    case 0x1E:
    case 0x26:
        if (!t && (rec[2] == 0xFF || rec[3] == 0xFF)) return CURVE_SAMPLE_ERROR;
        *v = t ? decode_family26(rec) : humidity_v(rec[2], rec[3]);
        return CURVE_SAMPLE_OK;
    case 0x89:
        if (rec[t ? 3 : 1] == 0xFF) return CURVE_SAMPLE_ERROR;
        *v = t ? temp_sm16(rec[2], rec[3]) : humidity_h(rec[1]);
        return CURVE_SAMPLE_OK;
    default:
        return CURVE_SAMPLE_ERROR;
    }
}

int curve_decode_c(const uint8_t rec[4], int type, int temperature_mode, float *v)
{
    if (rec[2] == 0xFF && rec[3] == 0xFF) return CURVE_SAMPLE_ERROR;
    if (temperature_mode) {
        if (type != 1) return CURVE_SAMPLE_ERROR;
        *v = temp_sm16(rec[2], rec[3]);
        return CURVE_SAMPLE_OK;
    }
    if (type != 0 && type != 1) return CURVE_SAMPLE_ERROR;
    *v = clamp_percent(humidity_h(rec[1]));
    return CURVE_SAMPLE_OK;
}

float curve_decode_b(const uint8_t *text)
{
    return static_cast<float>(100 * (text[0] - '0') + 10 * (text[1] - '0') + (text[2] - '0')) +
           0.1f * static_cast<float>(text[4] - '0');
}

int curve_y(float v, float low, float high, int bottom)
{
    return bottom - static_cast<int>((v - low) * 400 / (high - low));
}
