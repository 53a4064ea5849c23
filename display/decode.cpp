// Reading decoders: unit records of a channel readout into reading-list lines and values.
#include "display/decode.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "protocol/model_caps.h"

#define DEG "\xE2\x84\x83"  // ℃ in UTF-8

float temp_t16(uint8_t lsb, uint8_t msb)
{
    if (msb < 0xF8) return (float)(((msb & 7) * 256 + lsb) * 0.0625);
    return (float)(-0.0625 - 0.0625 * (0xFFFF - (256 * msb + lsb)));
}

float temp_t32(uint8_t lsb, uint8_t msb)
{
    if ((msb & 0x80) == 0) return (float)((32 * msb + (lsb >> 3)) * 0.03125);
    return (float)(-0.03125 * (8192 - 32 * msb - (lsb >> 3)));
}

float temp_w13(uint8_t lsb, uint8_t msb)
{
    int r = 256 * msb + lsb;
    if ((msb & 0x80) == 0) return (float)((r >> 3) * 0.03125);
    return (float)(-(((0x10000 - r) & 0xFFFF) >> 3) * 0.03125);
}

float temp_sm16(uint8_t lo, uint8_t hi)
{
    // A set sign bit with a zero magnitude stays -0.0: the unit read just below zero.
    float v = (float)(((hi & 7) * 256 + lo) * 0.0625);
    return (hi & 0x08) ? -v : v;
}

float humidity_h(uint8_t b)
{
    return (float)(b * 0.5);
}

float humidity_v(uint8_t b2, uint8_t b3)
{
    const float h = (float)(((b2 + 112.0) / (b3 + 336.0) - 0.2354) / 0.00474);
    return h <= 0 ? 0 : h >= 100 ? 100 : h;
}

void calibration_offsets(uint8_t b, int *high, int *low)
{
    int h = b >> 4, l = b & 0x0F;
    *high = h >= 8 ? -(h & 7) : h;
    *low = l >= 8 ? -(l & 7) : l;
}

// Appends formatted text to the line; a line that would overflow is cut, never overrun.
__attribute__((format(printf, 2, 3))) static void add(Reading *out, const char *fmt, ...)
{
    size_t used = strlen(out->text);
    if (used + 1 >= sizeof out->text) return;
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(out->text + used, sizeof out->text - used, fmt, ap);
    va_end(ap);
}

static void start(Reading *out)
{
    memset(out, 0, sizeof *out);
}

static void set_value(Reading *out, float v)
{
    out->has_value = 1;
    out->value = v;
}

static int all_absent(const uint8_t rec[4])
{
    return rec[0] == 0xFF && rec[1] == 0xFF && rec[2] == 0xFF && rec[3] == 0xFF;
}

static void hex_record(const uint8_t rec[4], Reading *out)
{
    add(out, "%02X-%02X-%02X-%02XH", rec[0], rec[1], rec[2], rec[3]);
}

// Modules whose 0x28 units carry two calibration offsets in rec[2].
static int has_calibration(const Module *module)
{
    return model_caps(module->model)->calibration && module->firmware[1] == '2' &&
           (module->firmware[3] == '3' || module->firmware[3] == '4');
}

// Value text (and value) of a 1-Wire family unit of family `family`. Offsets of -4 or
// below are counted only when `count_offsets` is 1. Returns 0 for a family without a row.
static int sensor_value(const uint8_t rec[4], int family, const Module *module, int count_offsets,
                        Reading *out)
{
    switch (family) {
    case 0x10: {
        float w = (float)(rec[1] == 0xFF ? -0.5 - (255 - rec[0]) * 0.5 : rec[0] * 0.5);
        add(out, "%+04.1f(", w);
        float v = w;
        if (rec[3] != 0) {
            // Remaining count and counts per degree refine the half-degree reading.
            int m = rec[0] & 0xFE;
            double fraction = (double)(rec[3] - rec[2]) / rec[3];
            v = (float)(rec[1] == 0xFF ? fraction - ((256 - m) * 0.5 + 0.25)
                                       : fraction + (m * 0.5 - 0.25));
        }
        add(out, "%+05.2f)" DEG, v);
        set_value(out, v);
        return 1;
    }
    case 0x22: {
        float v = temp_t16(rec[0], rec[1]);
        add(out, "(--S22--)(%+06.3f)" DEG, v);
        set_value(out, v);
        return 1;
    }
    case 0x28: {
        if ((rec[0] & 7) == 0 && rec[2] == 0xFF && rec[3] == 0xFF) {
            float v = temp_w13(rec[0], rec[1]);
            add(out, "(-W20-)(%+08.5f)" DEG, v);
            set_value(out, v);
            return 1;
        }
        if (has_calibration(module)) {
            int high, low;
            calibration_offsets(rec[2], &high, &low);
            add(out, "( %+1d  %+1d )(", high, low);
            if (count_offsets) out->out_of_tolerance = (high <= -4) + (low <= -4);
        } else {
            add(out, "(--B20--)(");
        }
        float v = temp_t16(rec[0], rec[1]);
        add(out, "%+06.3f)" DEG, v);
        set_value(out, v);
        return 1;
    }
    case 0x42: {
        float v = temp_t16(rec[0], rec[1]);
        add(out, "(-IO %02X-)(%+06.3f)" DEG, rec[2], v);
        set_value(out, v);
        return 1;
    }
    case 0x1E:
    case 0x26: {
        float v = temp_t32(rec[0], rec[1]);
        add(out, "(%+06.3f" DEG ")(", v);
        set_value(out, v);
        if (rec[2] == 0xFF || rec[3] == 0xFF) {
            add(out, "-----)");
        } else if (model_caps(module->model)->volts_input) {
            // These modules wire the second input to a 0-10 V signal.
            float u = (float)((256 * rec[3] + rec[2]) * 0.01);
            if (u <= 0) u = 0;
            if (u >= 10) u = 10;
            add(out, "%04.2fV)", u);
        } else {
            add(out, "%+04.1f%%)", humidity_v(rec[2], rec[3]));
        }
        return 1;
    }
    case 0x89:
        if (rec[3] == 0xFF) {
            add(out, "(----" DEG "-");
        } else {
            float v = temp_sm16(rec[2], rec[3]);
            add(out, "(%+06.3f" DEG "-", v);
            set_value(out, v);
        }
        if (rec[1] == 0xFF) add(out, "----%%RH)");
        else add(out, "%04.1f%%RH)", humidity_h(rec[1]));
        return 1;
    default:
        return 0;
    }
}

// Eight bits of b, most significant first, as '1'/'0', with "--" after the top four
// (or only the low four bits when `low_only`).
static void add_bits(Reading *out, uint8_t b, int low_only)
{
    for (int bit = low_only ? 3 : 7; bit >= 0; bit--) {
        add(out, "%c", (b >> bit) & 1 ? '1' : '0');
        if (bit == 4) add(out, "--");
    }
}

// Value text of an ITU of type t (0..6, 11); 0 for any other type.
static int itu_value(const uint8_t rec[4], int t, const Module *module, Reading *out)
{
    const char *absent = "(----------)";
    int no_temp = rec[2] == 0xFF && rec[3] == 0xFF;
    int point = rec[2] >> 5;
    // Without bytes 2 and 3 an ITU of any type but 1 shows as absent.
    if (no_temp && ((t >= 0 && t <= 6 && t != 1) || t == 11)) {
        add(out, "%s", absent);
        return 1;
    }
    switch (t) {
    case 0:
        add(out, "%+04.1f%%RH", humidity_h(rec[1]));
        return 1;
    case 1:
        if (model_caps(module->model)->short_itu_record) {
            if (rec[0] != 0xFF && rec[1] != 0xFF && rec[3] != 0xFF)
                add(out, "%03.1f%%(%+4.1fc-%04.1f%%-%d)", (float)((rec[0] + 20) / 10.0),
                    temp_sm16(rec[2], rec[3]), humidity_h(rec[1]), rec[3] >> 4);
            else
                add(out, "%s", absent);
            return 1;
        }
        if (rec[1] == 0xFF && no_temp) {
            add(out, "%s", absent);
            return 1;
        }
        if (no_temp) add(out, "----");
        else add(out, "%+06.3f" DEG, temp_sm16(rec[2], rec[3]));
        if (rec[1] == 0xFF) add(out, "(------%%RH)");
        else add(out, "(%+04.1f%%RH)", humidity_h(rec[1]));
        return 1;
    case 2:
        if (rec[2] == 0x80) add(out, "--热电偶开路!--");
        else add(out, "%+06.2f" DEG, (float)((256 * rec[2] + rec[1]) * 0.25));
        return 1;
    case 3:
        if ((rec[2] & 0x10) && rec[1] == 0xFF) add(out, "CH%d --------", point);
        else add(out, "CH%d--%+06.3f" DEG, point, temp_sm16(rec[1], rec[2]));
        return 1;
    case 4:
    case 5:
        add(out, t == 4 ? "(8  I)" : "(8O)");
        add_bits(out, t == 4 ? rec[1] : rec[2], 0);
        return 1;
    case 6:
        add(out, "(4  I)");
        add_bits(out, rec[1], 1);
        add(out, "--");
        add_bits(out, rec[2], 1);
        add(out, "(4O)");
        return 1;
    case 11:
        if ((rec[2] & 0x10) && rec[1] == 0xFF) {
            add(out, "CH%d --------", point);
        } else {
            // 10-bit reading of a 0-5 V input; 4-20 mA loops read through 250 ohms.
            int r = (rec[2] & 3) * 256 + rec[1];
            float u = (float)(r * 5.0 / 1023.0);
            float m = (float)(u * 4.0);
            add(out, "C%d- %4.3fV/%5.3fmA", point, u, m);
        }
        return 1;
    default:
        return 0;
    }
}

int decode_sensor_record(const uint8_t rec[4], int t, int i, int channel, const Module *module,
                         Reading *out)
{
    start(out);
    const int rules_4103 = model_caps(module->model)->itu_modules;
    if (rules_4103 && channel == CHANNEL_ALL && i >= module->itu_count[0])
        add(out, "%02x->", rec[0]);  // ITU modules after CH0 are named by their address
    else if (rules_4103 && (channel == 1 || channel == 2))
        add(out, "%02d->", rec[0]);
    else
        add(out, "%02d->", i);
    if (all_absent(rec)) add(out, "(--------------)");
    else sensor_value(rec, t, module, 1, out);
    return out->out_of_tolerance;
}

int decode_itu_record(const uint8_t rec[4], int t, int i, int channel, const Module *module,
                      Reading *out)
{
    (void)channel;  // the type code already says all the channel could
    start(out);
    add(out, "%02d->", i);
    if (!itu_value(rec, t, module, out)) hex_record(rec, out);
    return 0;
}

int decode_all_record(const uint8_t rec[4], int t, int i, const Module *module, Reading *out)
{
    start(out);
    add(out, "%02d->", i);
    if (all_absent(rec)) {
        add(out, "(--------------)");
        return 0;
    }
    int known;
    switch (t) {
    case 0x90: case 0xA2: case 0xA8: case 0xC2: case 0x9E: case 0xA6:
        known = sensor_value(rec, t - 0x80, module, 0, out);
        break;
    case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 11:
        known = itu_value(rec, t, module, out);
        break;
    default:
        known = 0;
        break;
    }
    if (!known) hex_record(rec, out);
    return 0;
}

int reading_type_code(int channel, int i)
{
    if (channel == CHANNEL_ALL) return i >= 0 && i < UNITS_PER_MODULE ? ItuTypeTableAll[i] : 0xFF;
    if (channel < 0 || channel >= CHANNEL_COUNT || i < 0 || i >= UNITS_PER_CHANNEL) return 0xFF;
    return ItuTypeTable[channel][i];
}
