// Curve view scenarios: a module on the simulated bus, found and read as the search reads
// it, the headless main window with the curve view's hooks, and the bus traffic with times.
#ifndef VOK_TESTS_REALTIME_CURVE_FIXTURE_H
#define VOK_TESTS_REALTIME_CURVE_FIXTURE_H

#include <initializer_list>
#include <string>
#include <vector>

#include "display/realtime.h"
#include "display/search.h"
#include "tests/ui/ui_fixture.h"

struct Exchange {
    int64_t t_us;
    bool request;
    std::vector<uint8_t> bytes;
};

class CurveFixture : public UiFixture {
protected:
    std::vector<Exchange> traffic;

    void SetUp() override
    {
        UiFixture::SetUp();
        main_window_features.create_drawing = realtime_create_drawing;
        main_window_features.delete_drawing = realtime_delete_drawing;
        main_window_features.compute_plot = realtime_compute_plot;
        main_window_features.realtime_paint = draw_curve_frame;
        main_window_features.realtime_tick = realtime_on_tick;
        main_window_features.realtime_command = realtime_on_command;
        main_window_features.realtime_destroy_buttons = realtime_destroy_buttons;
        realtime_create_drawing();
        UiRect client;
        ui_get_client_rect(window, &client);
        realtime_compute_plot(&client);
        win(window).on_timer = [this](int id) { main_window_on_timer(window, id); };
        traffic.clear();
        bus.on_traffic = [this](int64_t t, bool request, const std::vector<uint8_t> &b) {
            traffic.push_back(Exchange{t, request, b});
            if (request) requests.emplace_back(b.begin(), b.end() - (b.empty() || b.back() != '\r' ? 0 : 1));
        };
    }

    void TearDown() override { realtime_delete_drawing(); }

    // Opens COM1 and reads the module at `address` into table entry 0, as the search does.
    void find_module(int address)
    {
        open_serial(0, 2);
        ASSERT_EQ(probe_address(address), 1);
        ASSERT_EQ(read_module_parameters(0), 0);
        module_table.ready = 1;
        module_table.current = 0;
    }

    // Type codes of the units of `channel` as the enumeration records them (first ID byte).
    void type_units(int channel)
    {
        const auto &units = bus.modules[0].channels[static_cast<size_t>(channel)].units;
        for (size_t i = 0; i < units.size(); ++i) ItuTypeTable[channel][i] = units[i].id[0];
    }

    void enter_view() { main_window_on_command(window, IDM_REALTIME); }

    // The view entered on the module at `address` (the types of its CH0 units recorded when
    // `typed`), no restart, the first curves on the units given.
    void view_on(int address, bool typed, std::initializer_list<int> units = {0})
    {
        find_module(address);
        if (typed) type_units(0);
        enter_view();
        real_time.restart = 0;
        int slot = 0;
        for (int u : units) real_time.curve_itu[slot++] = u;
    }
    void paint() { main_window_on_paint(window, gfx_get_canvas(window)); }
    headless::Canvas &canvas() { return win(window).canvas; }

    // Start button, then the timer until the sweep stops (or `ticks` ran).
    int sweep(int ticks = 1000)
    {
        main_window_on_command(window, IDC_RT_START);
        paint();
        return headless::run_timers(window, ticks);
    }

    // Replies to the curve reads ('#' requests), in order.
    std::vector<std::vector<uint8_t>> data_replies() const
    {
        std::vector<std::vector<uint8_t>> out;
        bool after_read = false;
        for (const auto &e : traffic) {
            if (e.request) after_read = !e.bytes.empty() && e.bytes[0] == '#';
            else if (after_read) out.push_back(e.bytes);
        }
        return out;
    }

    std::vector<int64_t> request_times(const std::string &frame) const
    {
        std::vector<int64_t> out;
        for (const auto &e : traffic)
            if (e.request && std::string(e.bytes.begin(), e.bytes.end()) == frame + "\r") out.push_back(e.t_us);
        return out;
    }

    // The text drawn at (x, y) last, or "" when none.
    std::string text_at(int x, int y)
    {
        std::string found;
        for (const auto &t : canvas().texts)
            if (t.x == x && t.y == y) found = t.text;
        return found;
    }

    // Pixels of colour `rgb` inside the plot (borders excluded).
    int plot_pixels(uint32_t rgb)
    {
        int n = 0;
        for (int y = curve_plot.top + 1; y < curve_plot.bottom - 1; ++y)
            for (int x = curve_plot.left + 1; x < curve_plot.right - 1; ++x) n += canvas().at(x, y) == rgb;
        return n;
    }
};

#endif
