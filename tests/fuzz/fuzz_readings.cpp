// Fuzz target: the reading decoders over any 4-byte record, type code, position, channel
// and module (model and firmware as a reply may have set them). Each line must end inside
// its buffer, and the counts and values must be the kinds the callers expect.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "display/decode.h"
#include "tests/fuzz/fuzz_input.h"

static void check(const Reading &r, int rc)
{
    FUZZ_ASSERT(memchr(r.text, 0, sizeof r.text) != nullptr);
    FUZZ_ASSERT(rc == r.out_of_tolerance && rc >= 0 && rc <= 2);
    FUZZ_ASSERT(r.has_value == 0 || r.has_value == 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    Module *m = (Module *)calloc(1, sizeof(Module));
    m->model = in.model();
    const std::vector<uint8_t> fw = in.bytes(5);
    if (!fw.empty()) memcpy(m->firmware, fw.data(), fw.size());
    const int t = in.byte();
    const int i = in.byte() | (in.byte() & 1) << 8;
    const int channel = in.below(10) - 1;  // -1 .. 8
    while (in.left() >= 4) {
        // The record alone on the heap: a read past its 4 bytes is an ASan report.
        uint8_t *rec = (uint8_t *)malloc(4);
        const std::vector<uint8_t> b = in.bytes(4);
        memcpy(rec, b.data(), 4);
        Reading r;
        memset(&r, 0x5A, sizeof r);
        check(r, decode_sensor_record(rec, t, i, channel, m, &r));
        if (r.has_value) FUZZ_ASSERT(!std::isnan(r.value));
        memset(&r, 0x5A, sizeof r);
        check(r, decode_itu_record(rec, t, i, channel, m, &r));
        FUZZ_ASSERT(r.has_value == 0 && r.out_of_tolerance == 0);
        memset(&r, 0x5A, sizeof r);
        const int rc = decode_all_record(rec, t, i, m, &r);
        check(r, rc);
        FUZZ_ASSERT(rc == 0);
        free(rec);
    }
    const int code = reading_type_code(channel, i);
    FUZZ_ASSERT(code >= 0 && code <= 0xFF);
    free(m);
    return 0;
}
