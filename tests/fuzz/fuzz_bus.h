// Set-up shared by the fuzz targets that drive vokmon's dialogs over a scripted line: COM1
// open on the fake serial backend with the echo probe run, and one module in the table.
#ifndef VOK_TESTS_FUZZ_BUS_H
#define VOK_TESTS_FUZZ_BUS_H

#include "app/settings.h"
#include "app/state.h"
#include "app/title_menu.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_windows.h"

namespace fuzz {

// Program state back to its start, the main window, and COM1 (type 0, 9600) on `line`,
// opened and probed for echo. The fake's logs stay off: no target reads them.
inline void open_scripted_com1(ScriptedLine &line)
{
    fake::set_logging(false);
    fake::reset();
    state_reset();
    main_window.hwnd = window(0);
    link_set_change_handler(title_menu_link_changed);
    fake::attach_serial("COM1", &line);
    link_settings.converter_type = 0;
    link_settings.baud_index = 2;
    FUZZ_ASSERT(port_open() == 1);
    probe_echo();
}

// `setup` (unit counts, masks) as the one, current module at address 1, with its model and
// type code, unit total and channel kinds; `channel` is the current channel.
inline Module &install_module(const Module &setup, int model, uint8_t type_code, int channel)
{
    module_table.count = 1;
    module_table.current = 0;
    Module &m = module_table.module[0];
    m = setup;
    m.address = 1;
    m.model = model;
    m.type_code = type_code;
    for (int c = 0; c < CHANNEL_COUNT; ++c) m.itu_total += m.itu_count[c];
    update_channel_kinds();
    channel_kind.current_channel = channel;
    return m;
}

}  // namespace fuzz

#endif
