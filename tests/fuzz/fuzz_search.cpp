// Fuzz target: vokmon's probe and parameter reads of the module search fed arbitrary
// replies through the fake serial backend, on any serial converter type, with or without
// echo. The module table must stay within its capacities whatever the replies say.
#include <cstdio>
#include <cstdlib>

#include "app/state.h"
#include "app/title_menu.h"
#include "display/search.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_windows.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int flags = in.byte();
    const uint8_t address = in.byte();
    fuzz::ScriptedLine line;
    line.echo = flags & 1;
    line.script = fuzz::read_script(in);
    fake::set_logging(false);  // nothing here reads the logs
    fake::reset();
    state_reset();
    main_window.hwnd = fuzz::window(0);
    link_set_change_handler(title_menu_link_changed);
    fake::attach_serial("COM1", &line);
    // Serial converter types only (4 is the network converter).
    static const int TYPES[7] = {0, 1, 2, 3, 5, 6, 7};
    link_settings.converter_type = TYPES[(flags >> 1) % 7];
    link_settings.baud_index = (flags >> 4) % 5;
    link_settings.reply_wait_ms = 10 + (flags & 0x40) * 4;
    FUZZ_ASSERT(port_open() == 1);
    probe_echo();
    link_state.searching = 1;
    probe_address(address);
    link_state.searching = 0;
    module_table.count = 1;
    module_table.module[0].address = address;
    read_module_parameters(0);
    const Module &m = module_table.module[0];
    FUZZ_ASSERT(m.name[7] == 0 && m.firmware[5] == 0);
    FUZZ_ASSERT(link_state.echo_len == 0 || link_state.echo_len == 5);
    // Triage aid: what the replies made of the module.
    if (getenv("VOK_FUZZ_TRACE"))
        fprintf(stderr, "requests %d echo %d model %d name %s firmware %s total %d mode %d sort %d\n",
                line.requests, link_state.echo_len, m.model, m.name, m.firmware, m.itu_total, m.mode,
                m.sort_no[0][0]);
    port_close();
    fake::reset();  // frees this input's port (see fuzz_settings.cpp)
    return 0;
}
