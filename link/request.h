// The one request path of vokmon and vokcli: a command to a module, framed, sent through
// bus_exchange with the echo of its own length, waited for as long as the command table says,
// and checked as the caller asks. Features never touch echo_len themselves.
#ifndef VOK_LINK_REQUEST_H
#define VOK_LINK_REQUEST_H

#include <stdint.h>

#include "protocol/catalogue.h"

// Results of module_request (and of the checks a caller runs itself, in its own order).
enum {
    REQ_OK = 0,
    REQ_NO_REPLY = -1,       // the exchange failed: nothing usable came
    REQ_SHORT = -2,          // fewer reply bytes than the command's reply length
    REQ_WRONG_LEAD = -3,     // the reply's first byte is not the command's reply lead
    REQ_WRONG_ADDRESS = -4,  // the reply names another address
};

// Checks module_request runs, in this order: length, lead, address.
enum { REQ_CHECK_LENGTH = 1, REQ_CHECK_LEAD = 2, REQ_CHECK_ADDRESS = 4, REQ_CHECK_ALL = 7 };

// A reply as the request left it in RxBuffer.
typedef struct ModuleReply {
    const uint8_t *bytes;  // the reply, past the echo (inside RxBuffer; valid until the next exchange)
    int got;               // bus_exchange's result: bytes read with the echo, or its negative code
    int len;               // reply bytes past the echo (0 when none came)
    int need;              // the command's reply length, without the echo and the wait tail
    uint8_t address;       // the address the request went to
} ModuleReply;

// Sends lead+AA+args+CR for command `id` (lead and request shape from the command table) to
// `address`, waits for the table's reply length for `records` records plus the echo, and runs
// `checks`. Returns REQ_OK or the first failed check; REQ_NO_REPLY when the exchange failed.
// `out` is filled in every case. The caller runs port_discard where its feature wants it.
int module_request(CommandId id, uint8_t address, const char *args, int args_len, int records, int checks,
                   ModuleReply *out);

// module_request through the fast bus scan's exchange (link/fast_probe.h) instead of
// bus_exchange; `fast` null is module_request itself.
struct FastTiming;
int module_request_fast(struct FastTiming *fast, CommandId id, uint8_t address, const char *args, int args_len,
                        int records, int checks, ModuleReply *out);

// One channel digit after the address: the common shape of the data, ID and sort reads.
int channel_request(CommandId id, uint8_t address, int channel, int records, int checks, ModuleReply *out);

// A frame typed by hand (the terminal, vokcli raw): sent as it is, with the echo of its own
// length; `expect` is the count passed to bus_exchange, the echo included. Returns the
// exchange's result; `out` holds the reply past the echo.
int frame_request(const uint8_t *frame, int len, int expect, ModuleReply *out);

// The checks of module_request over a reply already received, for callers that need another
// order or only some of them: `lead` expected, `need` reply bytes.
int reply_check(const ModuleReply *r, int checks, char lead, int need);

// Reply byte at `pos` (from the reply's lead), or -1 when it did not arrive.
int reply_at(const ModuleReply *r, int pos);

#endif
