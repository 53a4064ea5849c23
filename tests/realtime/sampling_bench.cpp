// Sampling cadence of the curve view on real time: the headless window's timer 100 on the
// POSIX clock, COM1 ($VOK_COM1) to voksim. Each pause between samples should be the period
// plus the exchange of the sample before; prints how far the ticks lag that schedule.
// Usage: sampling_bench [SAMPLES [PERIOD_INDEX [ADDRESS]]]   (default 300 0 1)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/main_window.h"
#include "app/title_menu.h"
#include "display/realtime.h"
#include "display/search.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "platform/headless/ui_headless.h"
#include "resources/resource_ids.h"

int main(int argc, char **argv)
{
    int samples = argc > 1 ? std::atoi(argv[1]) : 300;
    int period_index = argc > 2 ? std::atoi(argv[2]) : 0;
    int address = argc > 3 ? std::atoi(argv[3]) : 1;
    clock_init();
    state_reset();
    UiWindow w = headless::new_window();
    main_window.hwnd = w;
    link_set_change_handler(title_menu_link_changed);
    main_window_features.realtime_paint = draw_curve_frame;
    main_window_features.realtime_tick = realtime_on_tick;
    main_window_features.realtime_command = realtime_on_command;
    realtime_create_drawing();
    UiRect client;
    ui_get_client_rect(w, &client);
    realtime_compute_plot(&client);
    if (port_open() != 1 || probe_address(address) != 1 || read_module_parameters(0) != 0) {
        std::fprintf(stderr, "no module %02X on COM1 ($VOK_COM1)\n", address);
        return 1;
    }
    module_table.ready = 1;
    for (int i = 0; i < UNITS_PER_CHANNEL; ++i) ItuTypeTable[0][i] = 0x28;
    main_window_on_command(w, IDM_REALTIME);
    real_time.restart = 0;
    for (int i = 0; i < 4; ++i) real_time.curve_itu[i] = i < module_table.module[0].itu_count[0] ? i : -1;
    real_time.period_index = period_index;
    real_time.max_points = samples;

    std::vector<int64_t> start, end;
    headless::window(w).on_timer = [&](int id) {
        start.push_back(now_us());
        main_window_on_timer(w, id);
        end.push_back(now_us());
    };
    main_window_on_command(w, IDC_RT_START);
    headless::run_timers(w, samples + 5);

    int period_us = RefreshPeriodTable[period_index] * 1000;
    std::vector<int64_t> lag;
    int64_t exchange_total = 0;
    for (size_t k = 1; k < start.size(); ++k) {
        int64_t exchange = end[k - 1] - start[k - 1];
        exchange_total += exchange;
        lag.push_back(start[k] - start[k - 1] - (period_us + exchange));
    }
    if (lag.empty()) return 1;
    std::vector<int64_t> sorted = lag;
    std::sort(sorted.begin(), sorted.end());
    std::printf("samples %zu period %d ms exchange mean %.1f ms\n", start.size(), period_us / 1000,
                static_cast<double>(exchange_total) / static_cast<double>(lag.size()) / 1000);
    std::printf("lag behind period+exchange: median %.3f ms, worst %.3f ms, sweep %.3f s vs schedule %.3f s\n",
                static_cast<double>(sorted[sorted.size() / 2]) / 1000, static_cast<double>(sorted.back()) / 1000,
                static_cast<double>(start.back() - start.front()) / 1e6,
                static_cast<double>(static_cast<int64_t>(lag.size()) * period_us + exchange_total) / 1e6);
    port_close();
    return start.size() == static_cast<size_t>(samples) ? 0 : 1;
}
