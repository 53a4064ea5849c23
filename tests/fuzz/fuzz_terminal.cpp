// Fuzz target: the terminal's answer text built from arbitrary reply bytes for any typed
// request. Reads stay inside the 30 bytes after the echo that the dialog's buffer always
// holds, and the text is bounded by its buffer and ends where its length says.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "maintenance/terminal_reply.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int o = in.below(16);
    const int current_4500 = in.byte() & 1;
    const int cap = 1 + in.below(64);
    char command[8] = {0};
    for (int k = 0; k < 4; ++k) command[k] = (char)in.byte();
    const std::vector<uint8_t> rest = in.rest();
    // Exactly o + 30 bytes (or what arrived, if more) on the heap: a read past them is an
    // ASan report.
    const size_t room = rest.size() > (size_t)o + 30 ? rest.size() : (size_t)o + 30;
    uint8_t *rx = (uint8_t *)calloc(room, 1);
    if (!rest.empty()) std::memcpy(rx, rest.data(), rest.size());
    char *out = (char *)malloc((size_t)cap);

    const int len = terminal_answer(rx, o, command, current_4500, out, cap);
    FUZZ_ASSERT(len >= 0 && len < cap);
    FUZZ_ASSERT((int)std::strlen(out) == len);
    FUZZ_ASSERT(terminal_display_length(command[0], command[3]) <= 25);
    const int frame = terminal_frame_length(command[0], 4562);
    FUZZ_ASSERT(frame >= 5 && frame <= 12);

    free(out);
    free(rx);
    return 0;
}
