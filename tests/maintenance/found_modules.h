// The module table as a search leaves it: every module of the bus probed and read; and the
// maintenance dialogs' fixture: COM1 opened, the modules found or searched, eight-box rows.
#ifndef VOK_TESTS_MAINTENANCE_FOUND_MODULES_H
#define VOK_TESTS_MAINTENANCE_FOUND_MODULES_H

#include <gtest/gtest.h>

#include "app/state.h"
#include "display/search.h"
#include "sim/sim.h"
#include "tests/ui/ui_fixture.h"

// Probes and reads each module of `bus`, in the order of the bus, then makes `current` the
// selected module; the requests of the search are forgotten.
inline void find_modules(const sim::Bus &bus, int current, std::vector<std::string> &requests)
{
    for (const auto &m : bus.modules) ASSERT_EQ(probe_address(m.address), 1);
    for (int i = 0; i < module_table.count; ++i) ASSERT_EQ(read_module_parameters(i), 0);
    module_table.ready = 1;
    module_table.current = current;
    requests.clear();
}

class FoundModules : public UiFixture {
protected:
    int selected = 0;  // the module made current after the search

    // COM1 at 9600 baud, the converter echoing or not (then the echo probed), every module found.
    void open(int echo = 0)
    {
        conv->echo = echo != 0;
        open_serial(0, 2);
        if (echo) probe_echo();
        find_modules(bus, selected, requests);
    }

    // The search as the posted command runs it: start, all 256 addresses, parameter reads.
    void search()
    {
        headless::on_dialog(IDD_SEARCH, [](UiWindow d) {
            headless::click(d, IDC_SEARCH_START);
            headless::run_timers(d);
        });
        main_window_on_command(window, IDM_SEARCH);
    }

    // Eight controls from `first` on: their boxes checked after `bits`, and which of them are
    // shown or checked as a bit mask (bit i: control first + i).
    static void check_bits(UiWindow d, int first, uint8_t bits)
    {
        for (int i = 0; i < 8; ++i) ui_check(d, first + i, (bits >> i) & 1);
    }
    static int bits_of(UiWindow d, int first, bool headless::Control::*field)
    {
        int s = 0;
        for (int i = 0; i < 8; ++i) s |= win(d).ctl(first + i).*field << i;
        return s;
    }
};

#endif
