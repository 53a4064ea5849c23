// Shared set-up of the data display scenarios (readers, numbering, automatic sort): the
// dialog opened from the main window with a scripted session, the modules found as the
// search finds them, and what the dialog showed and asked the bus for.
#ifndef VOK_TESTS_DISPLAY_DATA_DISPLAY_FIXTURE_H
#define VOK_TESTS_DISPLAY_DATA_DISPLAY_FIXTURE_H

#include <functional>
#include <string>
#include <vector>

#include "display/data_display.h"
#include "display/search.h"
#include "tests/ui/ui_fixture.h"

class DataDisplayFixture : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        data_display_reset();
        data_display_hooks = DataDisplayHooks{};
        main_window_features.data_display = &data_display_handlers;
    }

    // Finds the modules as the search does and selects the first; the logs start empty.
    void find_modules()
    {
        module_table.count = 0;
        for (const auto &m : bus.modules) probe_address(m.address);
        for (int i = 0; i < module_table.count; ++i) ASSERT_EQ(read_module_parameters(i), 0);
        module_table.ready = 1;
        module_table.current = 0;
        requests.clear();
        fake::clear_serial_log("COM1");
    }

    // Opens the data display from the menu; `session` drives it (it must run: the test
    // fails when the dialog never opens), then the dialog is closed.
    UiWindow open(std::function<void(UiWindow)> session = [](UiWindow) {})
    {
        headless::on_dialog(IDD_DATA_DISPLAY, std::move(session));
        main_window_on_command(window, IDM_DATA);
        return headless::last_dialog();
    }

    // Lets the refresh run tick by tick until it stops; returns the ticks.
    static int refresh_until_stopped(UiWindow d, int max_ticks)
    {
        int ticks = 0;
        while (ticks < max_ticks && data_display.refreshing == 1) ticks += headless::run_timers(d, 1);
        return ticks;
    }

    // Idle: no timer, Start can be pressed, Stop not.
    static void expect_idle(UiWindow d)
    {
        auto &w = win(d);
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_TRUE(w.timers.empty());
        EXPECT_TRUE(w.ctl(IDC_DD_START).enabled);
        EXPECT_FALSE(w.ctl(IDC_DD_STOP).enabled);
    }

    static std::vector<std::string> lines(UiWindow d, int id) { return win(d).ctl(id).items; }

    static int boxes_saying(const std::string &text)
    {
        int n = 0;
        for (const auto &b : headless::boxes()) n += b.text == text;
        return n;
    }

    // The read size asked for after the request `frame`: the expected reply length + 1.
    static int read_size_after(const std::string &frame)
    {
        bool sent = false;
        for (const auto &e : fake::serial_log("COM1")) {
            if (e.kind == fake::SerialEvent::Write) sent = std::string(e.bytes.begin(), e.bytes.end()) == frame + "\r";
            if (sent && e.kind == fake::SerialEvent::Read) return e.value;
        }
        return -1;
    }
};

#endif
