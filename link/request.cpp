// The request path: frame, echo, expected length and reply checks, written once for every
// feature of vokmon and for vokcli.
#include "link/request.h"

#include "link/link_state.h"
#include "link/exchange.h"
#include "link/fast_probe.h"
#include "protocol/protocol.h"

namespace {
enum { USUAL_REQUEST = 5 };

// An echoing converter sends the request back first: as long as the frame on the wire.
int echo_of(int len) { return link_state.echo_on == 1 ? len : 0; }

// Sends the frame through bus_exchange (through the fast scan's exchange with `fast`) for
// `expect` bytes, the echo included, and leaves the reply past the echo in `out`.
int exchange_with_echo(FastTiming *fast, const uint8_t *frame, int len, int expect, ModuleReply *out)
{
    const int echo = echo_of(len);
    link_state.echo_len = echo;
    const int got = fast ? fast_exchange(fast, expect, len, frame) : bus_exchange(expect, len, frame);
    link_state.echo_len = echo_of(USUAL_REQUEST);  // as the echo probe left it
    out->bytes = &RxBuffer[echo];
    out->got = got;
    out->len = got > echo ? got - echo : 0;
    return got;
}
}  // namespace

int reply_check(const ModuleReply *r, int checks, char lead, int need)
{
    if (r->got < 0) return REQ_NO_REPLY;
    if ((checks & REQ_CHECK_LENGTH) && r->len < need) return REQ_SHORT;
    if ((checks & REQ_CHECK_LEAD) && (r->len < 1 || r->bytes[0] != static_cast<uint8_t>(lead))) return REQ_WRONG_LEAD;
    if (checks & REQ_CHECK_ADDRESS) {
        char digits[2];
        format_address(r->address, digits);
        if (r->len < 3 || r->bytes[1] != static_cast<uint8_t>(digits[0]) || r->bytes[2] != static_cast<uint8_t>(digits[1]))
            return REQ_WRONG_ADDRESS;
    }
    return REQ_OK;
}

int reply_at(const ModuleReply *r, int pos)
{
    return pos >= 0 && pos < r->len ? r->bytes[pos] : -1;
}

int module_request(CommandId id, uint8_t address, const char *args, int args_len, int records, int checks,
                   ModuleReply *out)
{
    return module_request_fast(nullptr, id, address, args, args_len, records, checks, out);
}

int module_request_fast(FastTiming *fast, CommandId id, uint8_t address, const char *args, int args_len,
                        int records, int checks, ModuleReply *out)
{
    const CommandRow *row = command_row(id);
    out->bytes = RxBuffer;
    out->got = -1;
    out->len = 0;
    out->need = command_reply_length(id, records);
    out->address = address;
    const int wait = command_wait_length(id, records);
    uint8_t frame[REQUEST_MAX];
    const int len = row ? build_request(row->lead, address, args, args_len, frame, sizeof frame) : -1;
    if (len < 0 || wait < 0) return REQ_NO_REPLY;
    exchange_with_echo(fast, frame, len, echo_of(len) + wait, out);
    return reply_check(out, checks, row->reply_lead, out->need);
}

int channel_request(CommandId id, uint8_t address, int channel, int records, int checks, ModuleReply *out)
{
    const char digit = channel_digit(channel);
    return module_request(id, address, &digit, 1, records, checks, out);
}

int frame_request(const uint8_t *frame, int len, int expect, ModuleReply *out)
{
    out->need = 0;
    out->address = 0;
    return exchange_with_echo(nullptr, frame, len, expect, out);  // the caller's count holds the echo
}
