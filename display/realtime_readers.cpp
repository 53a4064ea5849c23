// Curve view readers: one channel read (or the 4500's two readings) per sample, then per
// used curve slot the value box and a two-pixel segment from the curve's last point.
#include <stdio.h>

#include "app/dialogs.h"
#include "display/realtime.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"

namespace {
enum Reader { READER_A, READER_B, READER_C };
enum { NO_POINT = -1 };  // prev_y of a curve with no good point in this sweep yet

// One sample's request for the view's module after a discard: the 4500's two readings, or
// the records of the curve channel. < 0 when the exchange failed.
int exchange_read(const Module *m, Reader reader, int channel, int units, ModuleReply *reply)
{
    port_discard();
    if (reader == READER_B) return module_request(CMD_4500_READINGS, m->address, "2", 1, 0, 0, reply);
    return channel_request(CMD_READ_DATA, m->address, channel, units, 0, reply);
}

// Value box of slot i: outlined in the slot's colour, the display-clamped value in navy.
void draw_value_box(GfxCanvas c, int i, int humidity, int error, float v)
{
    const CurvePlot &p = curve_plot;
    GfxPen old_pen = gfx_select_pen(c, curve_drawing.curve_pens[i]);
    GfxBrush old_brush = gfx_select_brush(c, curve_drawing.silver_brush);
    gfx_rectangle(c, p.right + 10, p.top + 150 + 30 * i, p.right + 100, p.top + 170 + 30 * i);
    gfx_select_brush(c, old_brush);
    gfx_select_pen(c, old_pen);
    gfx_text_color(c, CURVE_COLOR_NAVY);
    char text[32];
    if (humidity) {
        if (v < 0) v = 0;
        if (v > 100) v = 100;
        if (error) snprintf(text, sizeof text, "------%%RH");
        else snprintf(text, sizeof text, "%04.1f%%RH", static_cast<double>(v));
    } else {
        if (v < -55) v = -55;
        if (v > 125) v = 125;
        if (error) snprintf(text, sizeof text, "------℃");
        else snprintf(text, sizeof text, "%+06.3f℃", static_cast<double>(v));
    }
    gfx_text(c, p.right + 15, p.top + 150 + 30 * i, text);
}

// Plots sample `points` of slot i at value v (already decoded): scale clamp, row, segment.
// An error sample draws nothing; the next good one continues from the last good point, or
// starts flat when the sweep has none yet.
void plot_slot(GfxCanvas c, int i, int humidity, int error, float v, int remember_held)
{
    if (error) {
        if (real_time.points == 0) real_time.prev_y[i] = NO_POINT;
        return;
    }
    float low = humidity ? real_time.hum_low : real_time.temp_low;
    float high = humidity ? real_time.hum_high : real_time.temp_high;
    if (v < low) v = low;
    if (v > high) v = high;
    if (remember_held) real_time.held_temp[i] = v;
    real_time.cur_y[i] = curve_y(v, low, high, curve_plot.bottom);
    if (real_time.points == 0 || real_time.prev_y[i] == NO_POINT) real_time.prev_y[i] = real_time.cur_y[i];
    int x = curve_plot.left + 2 * real_time.points;
    GfxPen old = gfx_select_pen(c, curve_drawing.curve_pens[i]);
    gfx_line(c, x, real_time.prev_y[i], x + 2, real_time.cur_y[i]);
    gfx_select_pen(c, old);
    real_time.prev_y[i] = real_time.cur_y[i];
}

int run_reader(UiWindow w, Reader reader)
{
    const Module *m = realtime_module();
    int channel = real_time.channel;
    if (channel < 0 || channel >= CHANNEL_COUNT) channel = 0;
    int units = m->itu_count[channel];
    ModuleReply reply;
    if (exchange_read(m, reader, channel, units, &reply) < 0) {
        if (reader == READER_B) system_notice(w, "模块未应答，请重试一次!");
        port_discard();
        return 1;
    }
    GfxCanvas c = gfx_get_canvas(w);
    gfx_transparent(c, 1);
    int humidity = reader == READER_B || real_time.show_temperature == 0;
    int slots = reader == READER_B ? 2 : CURVE_SLOTS;
    for (int i = 0; i < slots; ++i) {
        int pos = real_time.curve_itu[i];
        if (pos == -1) continue;
        float v = 0;
        int error = 0;
        if (reader == READER_B) {
            v = curve_decode_b(reply.bytes + 5 + 6 * i);
        } else if (pos < 0 || pos >= units || pos >= UNITS_PER_CHANNEL) {
            // The slot names no unit of this reply, or one past the type table (a count byte
            // can say up to 255 units): nothing to read.
            error = 1;
        } else {
            const uint8_t *rec = reply.bytes + 5 + 4 * pos;
            int type = ItuTypeTable[channel][pos];
            error = reader == READER_A
                        ? curve_decode_a(rec, type, !humidity, real_time.points, real_time.held_temp[i], &v)
                        : curve_decode_c(rec, type, !humidity, &v);
        }
        draw_value_box(c, i, humidity, error, v);
        plot_slot(c, i, humidity, error, v, reader == READER_A && !humidity);
    }
    gfx_release_canvas(w, c);
    real_time.points++;
    return 0;
}
}  // namespace

int read_curve_sample_a(UiWindow w) { return run_reader(w, READER_A); }
int read_curve_sample_b(UiWindow w) { return run_reader(w, READER_B); }
int read_curve_sample_c(UiWindow w) { return run_reader(w, READER_C); }
