// Fuzz target: the maintenance dialogs and the numbering download fed arbitrary replies
// through the fake serial backend: the IO test's ID and state lists and its output switch,
// the digital IO refresh and patrol, the ITU output and settings writes, the mode switch,
// the reset, the module parameter write, a channel's ID list and the sort number download,
// in the order the input picks, for any model and unit counts, with or without echo.
#include "display/numbering.h"
#include "display/sensor_list_file.h"
#include "maintenance/digital_io.h"
#include "maintenance/io_test.h"
#include "maintenance/itu_output.h"
#include "maintenance/itu_setup.h"
#include "maintenance/module_params.h"
#include "maintenance/port_mode.h"
#include "maintenance/reset.h"
#include "platform/headless/ui_headless.h"
#include "resources/resource_ids.h"
#include "tests/fuzz/fuzz_bus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int flags = in.byte();
    const int model = in.model();
    const uint8_t type_code = in.byte();
    const int channel = in.below(CHANNEL_COUNT);
    const int steps = in.byte() | in.byte() << 8;   // four actions, four bits each
    const uint8_t value = in.byte();
    Module setup = {};
    for (int c = 0; c < CHANNEL_COUNT; ++c) setup.itu_count[c] = in.byte();
    setup.sort_valid = in.byte() & 1;
    fuzz::ScriptedLine line;
    line.echo = flags & 1;
    line.script = fuzz::read_script(in);

    fuzz::open_scripted_com1(line);
    UiWindow dlg = fuzz::window(1);
    fuzz::install_module(setup, model, type_code, channel);
    io_test.selected = value % UNITS_PER_CHANNEL;

    for (int k = 0; k < 4; ++k) {
        switch ((steps >> (4 * k)) & 15) {
        case 0: (void)io_test_read_ids(dlg, channel); break;
        case 1: (void)io_test_read_states(dlg, channel); break;
        case 2: io_test_on_set(dlg); break;
        case 3:
            digital_io_on_init(dlg);
            digital_io_on_command(dlg, IDC_DIO_REFRESH, UI_CLICKED);
            break;
        case 4:
            digital_io_on_command(dlg, IDC_DIO_PATROL, UI_CLICKED);
            digital_io_on_timer(dlg, TIMER_DIO_PATROL);
            digital_io_on_close(dlg);
            break;
        case 5: (void)itu_output_send(dlg, value); break;
        case 6: itu_output_on_set(dlg); break;
        case 7: itu_setup_on_confirm(dlg); break;
        case 8: (void)send_mode_switch(value & 1 ? '1' : '0'); break;
        case 9: (void)reset_module(); break;
        case 10: (void)module_params_apply(dlg); break;
        case 11: {
            ModuleReply reply;
            (void)read_channel_ids(channel, dlg, &reply);
            break;
        }
        case 12: (void)download_numbers(dlg); break;
        default: break;
        }
        FUZZ_ASSERT(link_state.echo_len >= 0 && link_state.echo_len < RX_BUFFER_SIZE);
    }
    port_close();
    fake::reset();  // frees this input's port (see fuzz_settings.cpp)
    return 0;
}
