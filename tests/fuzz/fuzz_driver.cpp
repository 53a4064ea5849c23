// Fuzz target: the library's exported calls fed arbitrary replies through the fake serial
// backend. The caller's buffers are exactly as large as the calls promise to fill at most,
// so a copy past a count byte is an ASan report; results must be the documented ones.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "platform/fake/fake_platform.h"
#include "tests/fuzz/fuzz_input.h"

static bool documented(int rc) { return rc >= VOK_E_REPLY && rc <= VOK_OK; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool once = [] {
        setenv("VOK3900D_COM1", "COM1", 1);
        return driver_attach() == 1;
    }();
    FUZZ_ASSERT(once);
    fuzz::Input in(data, size);
    const int call = in.below(12);
    const int address = in.byte();
    const int channel = in.below(10);
    const int flags = in.byte();
    fuzz::ScriptedLine line;
    line.echo = flags & 1;
    line.script = fuzz::read_script(in);
    fake::set_logging(false);  // nothing here reads the logs
    fake::reset();
    fake::attach_serial("COM1", &line);
    FUZZ_ASSERT(vok_com_open(1, 3, ((flags >> 1) & 3) % 3) == VOK_OK);

    // Per unit: 4 bytes for readings, 8 for IDs, 1 for sort numbers; up to 255 units.
    static const size_t UNITS = 255;
    int rc = 0;
    switch (call) {
    case 0: case 1: case 2: case 3: {
        static const size_t SIZE[4] = {4, 8, 1, 4};
        unsigned char *b = (unsigned char *)malloc(UNITS * SIZE[call]);
        if (call == 0) rc = vok_read_temp(1, address, channel, b);
        if (call == 1) rc = vok_read_id(1, address, channel, b);
        if (call == 2) rc = vok_read_sortnum(1, address, channel, b);
        if (call == 3) rc = vok4103_read_data(1, address, channel, b);
        free(b);
        FUZZ_ASSERT(documented(rc) || (rc >= 0 && rc <= 512));
        break;
    }
    case 4: {
        unsigned char *b = (unsigned char *)malloc(12);
        rc = vok4500_read_data(1, address, channel & 3, b);
        free(b);
        FUZZ_ASSERT(documented(rc) || rc == 1 || rc == 8 || rc == 12);
        break;
    }
    case 5: case 6: {
        vok_module_info *info = (vok_module_info *)calloc(1, sizeof(vok_module_info));
        info->address = (unsigned char)address;
        info->new_address = (unsigned char)(address + channel);
        info->baud_index_set = (unsigned char)(channel % 6);
        rc = call == 5 ? vok_read_config(1, address, info) : vok_set_config(1, info);
        if (call == 5 && rc == VOK_OK) FUZZ_ASSERT(info->version[5] == 0);
        free(info);
        FUZZ_ASSERT(documented(rc));
        break;
    }
    case 7: {
        int status = 0;
        rc = vok_err_report(1, address, &status);
        FUZZ_ASSERT(documented(rc));
        break;
    }
    case 8: rc = vok_soft_reset(1, address); FUZZ_ASSERT(documented(rc)); break;
    case 9: rc = vok_write_do(1, address, flags); FUZZ_ASSERT(documented(rc)); break;
    case 10: rc = vok_itu_do(1, address, channel & 7, flags & 31, flags >> 5); FUZZ_ASSERT(documented(rc)); break;
    default: break;
    }
    FUZZ_ASSERT(vok_com_close(1) == VOK_OK);
    fake::reset();  // frees this input's port (see fuzz_settings.cpp)
    return 0;
}
