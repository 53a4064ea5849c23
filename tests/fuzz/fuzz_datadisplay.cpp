// Fuzz target: the data display's readers (ID list, ITU list, all-units list and the three
// reading readers) fed arbitrary replies through the fake serial backend, for any model and
// unit counts, with or without echo. The lists, type tables and readouts must stay within
// their capacities whatever the count bytes and records say.
#include <cstdlib>

#include "display/channel_read.h"
#include "display/data_display.h"
#include "tests/fuzz/fuzz_bus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int flags = in.byte();
    const int model = in.model();
    const uint8_t type_code = in.byte();
    const int channel = in.below(9);
    const int steps = in.byte();
    Module setup = {};
    for (int c = 0; c < CHANNEL_COUNT; ++c) setup.itu_count[c] = (uint8_t)in.below(70);
    setup.chan_mask_a = in.byte();
    setup.chan_mask_b = in.byte();
    fuzz::ScriptedLine line;
    line.echo = flags & 1;
    line.script = fuzz::read_script(in);
    fuzz::open_scripted_com1(line);
    data_display_reset();
    UiWindow dlg = fuzz::window(2);
    Module &m = fuzz::install_module(setup, model, type_code, channel);
    // Up to four reader calls, in the order the steps byte picks.
    for (int k = 0; k < 4; ++k) {
        switch ((steps >> (2 * k)) & 3) {
        case 0: (void)(channel < 8 ? read_sensor_ids(dlg, channel) : list_all_units(dlg)); break;
        case 1: (void)(channel < 8 ? list_itus(dlg, channel) : list_all_units(dlg)); break;
        case 2: (void)read_sensor_values(dlg, channel); break;
        case 3: (void)(channel < 8 ? read_itu_values(dlg) : read_all_values(dlg)); break;
        }
    }
    Readout *out = (Readout *)malloc(sizeof(Readout));
    for (int reader = 0; reader < 3; ++reader) {
        const int rc = read_channel_values(reader, &m, channel, out);
        FUZZ_ASSERT(rc >= READ_OK && rc <= READ_NO_REPLY);
        FUZZ_ASSERT(out->count >= 0 && out->count <= UNITS_PER_MODULE);
        FUZZ_ASSERT(rc == READ_OK || out->count == 0);
    }
    free(out);
    port_close();
    fake::reset();  // frees this input's port (see fuzz_settings.cpp)
    return 0;
}
