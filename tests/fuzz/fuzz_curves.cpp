// Fuzz target: the curve view's sample readers fed arbitrary replies through the fake serial
// backend, for any model, type code, unit types and counts, curve slots and scales the curve
// dialogs allow, with or without echo, over a few samples of a sweep. Every record read must
// lie inside the reply buffer and every plotted row inside the plot.
#include "display/realtime.h"
#include "tests/fuzz/fuzz_bus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int flags = in.byte();
    const int model = in.model();
    const uint8_t type_code = in.byte();
    const int channel = in.below(CHANNEL_COUNT);
    Module setup = {};
    for (int c = 0; c < CHANNEL_COUNT; ++c) setup.itu_count[c] = in.byte();
    setup.chan_mask_a = in.byte();
    setup.chan_mask_b = in.byte();
    uint8_t types[UNITS_PER_CHANNEL];
    for (uint8_t &t : types) t = (uint8_t)in.below(134);   // 128..131 are the 1-Wire types
    int slots[CURVE_SLOTS];
    for (int &s : slots) s = in.below(UNITS_PER_CHANNEL + 2) - 1;   // -1: empty slot
    // Scales as the curve dialogs step them: half degrees and whole percents, low < high.
    const float temp_low = -55.0f + 0.5f * (float)in.below(360);
    const float temp_high = temp_low + 0.5f * (float)(1 + in.below((int)((125.0f - temp_low) * 2)));
    const float hum_low = (float)in.below(100);
    const float hum_high = hum_low + (float)(1 + in.below((int)(100.0f - hum_low)));
    fuzz::ScriptedLine line;
    line.echo = flags & 1;
    line.script = fuzz::read_script(in);

    fuzz::open_scripted_com1(line);
    UiWindow w = main_window.hwnd;
    static const bool drawn = [] {
        realtime_create_drawing();
        const UiRect client = {0, 0, 1000, 700};
        realtime_compute_plot(&client);
        return true;
    }();
    (void)drawn;
    fuzz::install_module(setup, model, type_code, channel);
    for (int i = 0; i < UNITS_PER_CHANNEL; ++i) ItuTypeTable[channel][i] = types[i];
    real_time.active = 1;
    real_time.channel = channel;
    real_time.show_temperature = (flags >> 1) & 1;
    real_time.temp_low = temp_low;
    real_time.temp_high = temp_high;
    real_time.hum_low = hum_low;
    real_time.hum_high = hum_high;
    real_time.max_points = 3;
    for (int i = 0; i < CURVE_SLOTS; ++i) {
        real_time.curve_itu[i] = slots[i];
        real_time.cur_y[i] = curve_plot.top;   // whatever a sample writes must stay inside
    }
    for (int k = 0; k < 4; ++k) {
        realtime_on_tick(w);
        for (int i = 0; i < CURVE_SLOTS; ++i)
            FUZZ_ASSERT(real_time.cur_y[i] >= curve_plot.top && real_time.cur_y[i] <= curve_plot.bottom);
    }
    port_close();
    fake::reset();  // frees this input's port (see fuzz_settings.cpp)
    return 0;
}
