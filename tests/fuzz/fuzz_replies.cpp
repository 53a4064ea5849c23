// Fuzz target: the reply checks and field accessors over arbitrary received bytes, with
// the reply layout of a catalogue command. A check that passes must have looked only at
// bytes that were received, and what it accepts must hold the lead and the address.
#include <cstdlib>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/protocol.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const int echo_len = in.below(16);
    const CommandId cmd = (CommandId)in.below(CMD_COUNT);
    const uint8_t address = in.byte();
    const int records = in.byte() | (in.byte() & 0x0F) << 8;
    const int pos = in.byte() | in.byte() << 8;
    // Exactly the received bytes on the heap: any read past them is an ASan report.
    const std::vector<uint8_t> rest = in.rest();
    const int received = (int)rest.size();
    uint8_t *rx = (uint8_t *)malloc(rest.size() + 1);
    std::copy(rest.begin(), rest.end(), rx);

    char digits[2];
    format_address(address, digits);
    const CommandRow *row = command_row(cmd);
    FUZZ_ASSERT(row != nullptr);
    const int need = command_reply_length(cmd, records);
    int rc;
    if (row->kind == REPLY_KIND_DATA && row->record_size > 0)
        rc = check_data_reply(rx, received, echo_len, digits, records, row->record_size);
    else
        rc = check_reply(rx, received, echo_len, (uint8_t)row->reply_lead, digits, need);
    if (rc == REPLY_OK) {
        FUZZ_ASSERT(need >= 3 && received >= echo_len + need);
        FUZZ_ASSERT(rx[echo_len] == (uint8_t)row->reply_lead);
        FUZZ_ASSERT(rx[echo_len + 1] == (uint8_t)digits[0] && rx[echo_len + 2] == (uint8_t)digits[1]);
        // Every field inside the checked length reads back; the two hex digits at 3-4 too.
        FUZZ_ASSERT(reply_byte(rx, received, echo_len, need - 1) == rx[echo_len + need - 1]);
        (void)hex_pair_value(rx + echo_len + 1);
    } else {
        FUZZ_ASSERT(rc == REPLY_SHORT || rc == REPLY_WRONG_LEAD || rc == REPLY_WRONG_ADDRESS);
    }
    // The safe accessors never read outside the received bytes.
    const int b = reply_byte(rx, received, echo_len, pos);
    FUZZ_ASSERT(b == -1 || (echo_len + pos < received && b == rx[echo_len + pos]));
    uint8_t out[64];
    const int copied = reply_copy(rx, received, echo_len, pos, records & 0x7F, out, (int)sizeof out);
    FUZZ_ASSERT(copied == -1 || copied == (records & 0x7F));
    if (received >= 7) {
        const int model = model_from_name(rx);
        FUZZ_ASSERT(model >= 3900 && model < 4900);
    }
    if (received >= 2) {
        const int rate = baud_code_to_rate(dec_pair_value(rx));
        FUZZ_ASSERT(rate == 0 || baud_rate_to_code(rate) >= 0);
    }
    free(rx);
    return 0;
}
