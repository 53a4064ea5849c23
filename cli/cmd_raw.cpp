// vokcli raw: one request as typed (its CR added), the reply raw, as text and decoded.
#include <string.h>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/output.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "maintenance/terminal_reply.h"
#include "platform/trace.h"
#include "protocol/protocol.h"

namespace {

enum {
    RAW_TYPED_MAX = 19,  // characters of a request, as vokmon's terminal takes them
    ANSWER_MAX = 50,     // the terminal's answer field
};

}  // namespace

int cmd_raw(const CliOptions *o, FILE *out, FILE *err)
{
    const int typed = (int)strlen(o->request);
    if (typed < 1 || typed > RAW_TYPED_MAX) {
        fprintf(err, "vokcli: a request has 1 to %d characters without its CR, e.g. '$01M'\n", RAW_TYPED_MAX);
        return EXIT_USAGE;
    }
    uint8_t frame[RAW_TYPED_MAX + 1];
    memcpy(frame, o->request, (size_t)typed);
    frame[typed] = FRAME_CR;
    const int len = typed + 1;
    const char digits[3] = {typed >= 3 ? o->request[1] : '\0', typed >= 3 ? o->request[2] : '\0', 0};
    const int address = parse_address(digits);

    const int rc = cli_open_link(o, err);
    if (rc != EXIT_OK) return rc;
    port_discard();
    char command[RAW_TYPED_MAX + 2] = {0};  // zero-padded: the rules look at the fourth character
    memcpy(command, o->request, (size_t)typed);
    ModuleReply r;
    frame_request(frame, len, terminal_reply_length(command), &r);
    // The answer as vokmon's terminal shows it (the module's model is not known here).
    char answer[ANSWER_MAX];
    const int answer_len = r.len > 0 ? terminal_answer(r.bytes, 0, command, 0, answer, sizeof answer) : 0;
    static uint8_t reply[RX_BUFFER_SIZE];
    const int n = r.len;
    if (n > 0) memcpy(reply, r.bytes, (size_t)n);
    char meaning[TRACE_LINE_MAX];
    trace_describe(TRACE_RX, reply, n, 0, frame, len, meaning, sizeof meaning);
    port_discard();
    cli_close_link();

    static char hex[RX_BUFFER_SIZE * 3 + 1], text[RX_BUFFER_SIZE * 4 + 1];
    if (o->format == FORMAT_JSON) {
        fprintf(out, "{\"request\": ");
        json_string(out, frame_text(frame, len, text, sizeof text));
        fprintf(out, ", \"request_hex\": \"%s\", \"reply\": ", hex_bytes(frame, len, ' ', hex, sizeof hex));
        json_string(out, frame_text(reply, n, text, sizeof text));
        fprintf(out, ", \"reply_hex\": \"%s\", \"meaning\": ", hex_bytes(reply, n, ' ', hex, sizeof hex));
        json_string(out, n > 0 ? meaning : "no reply");
        fprintf(out, ", \"answer\": ");
        json_string(out, frame_text(reinterpret_cast<const uint8_t *>(answer), answer_len, text, sizeof text));
        fprintf(out, "}\n");
    } else {
        fprintf(out, "request  %-24s %s\n", frame_text(frame, len, text, sizeof text), hex_bytes(frame, len, ' ', hex, sizeof hex));
        if (n > 0) {
            fprintf(out, "reply    %-24s ", frame_text(reply, n, text, sizeof text));
            fprintf(out, "%s\n", hex_bytes(reply, n, ' ', hex, sizeof hex));
            fprintf(out, "meaning  %s\n", meaning);
            fprintf(out, "answer   %s\n", frame_text(reinterpret_cast<const uint8_t *>(answer), answer_len, text, sizeof text));
        } else {
            fprintf(out, "reply    No response!\n");
        }
    }
    if (n <= 0) {
        if (address >= 0) return cli_no_reply(err, address);
        fprintf(err, "vokcli: no reply on %s: check the request's address and the converter type\n", cli_link_text());
        return EXIT_NO_REPLY;
    }
    if (reply[0] != LEAD_ACK && reply[0] != LEAD_DATA) {
        fprintf(err, "vokcli: module answered with lead '%c': the module does not know this request\n",
                reply[0] >= 0x20 && reply[0] < 0x7F ? reply[0] : '?');
        return EXIT_BAD_REPLY;
    }
    return EXIT_OK;
}
