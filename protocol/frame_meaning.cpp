// Frame meanings for the traffic log: what a request asks for and what its reply says,
// worked out from the bytes alone (a reply from the request it answers).
#include "protocol/frame_meaning.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "protocol/protocol.h"

namespace {

// Appends formatted text at *n, never past cap - 1; keeps the text terminated.
void put(char *out, int cap, int *n, const char *fmt, ...)
{
    if (*n >= cap - 1) return;
    va_list ap;
    va_start(ap, fmt);
    const int w = vsnprintf(out + *n, (size_t)(cap - *n), fmt, ap);
    va_end(ap);
    if (w > 0) *n = (*n + w < cap - 1) ? *n + w : cap - 1;
}

// The frame's printable characters, others as '.', CR left out.
void put_text(char *out, int cap, int *n, const uint8_t *p, int len)
{
    for (int k = 0; k < len; ++k) {
        if (p[k] == FRAME_CR) continue;
        put(out, cap, n, "%c", (p[k] >= 0x20 && p[k] < 0x7F) ? p[k] : '.');
    }
}

void put_channel(char *out, int cap, int *n, uint8_t digit)
{
    if (digit == '8') put(out, cap, n, ", all channels");
    else if (digit >= '0' && digit <= '7') put(out, cap, n, ", CH%c", digit);
    else put(out, cap, n, ", channel '%c'", digit >= 0x20 && digit < 0x7F ? digit : '?');
}

int hex_ok(uint8_t c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// What a '$' request asks for, by its command character.
const char *register_name(uint8_t c)
{
    switch (c) {
    case '2': return "read configuration";
    case 'M': return "read name";
    case 'F': return "read firmware";
    case '6': return "read channel counts";
    case '8': return "read second channel counts";
    case 'E': return "read fault status";
    case 'T': return "read channel kind masks";
    case 'R': return "read working mode";
    case 'W': return "switch to storage mode";
    case 'N': return "switch to search mode";
    case '*': return "read first unit";
    default: return nullptr;
    }
}

// Record size of the data reply a request asks for; 0 when its reply is no data reply.
int record_size_of(const uint8_t *req, int len)
{
    if (len < 5) return 0;
    switch (req[0]) {
    case '#': return 4;
    case '&': return req[3] == '9' ? 0 : 8;
    case '*': return 1;
    case '^': return len == 5 ? 8 : 0;
    case '~': return 2;
    default: return 0;
    }
}

void describe_request(const uint8_t *r, int len, char *out, int cap, int *n)
{
    put_text(out, cap, n, r, len);
    if (len == 3 && memcmp(r, "ABC", 3) == 0) {
        put(out, cap, n, "  echo probe: does the converter send the host's bytes back?");
        return;
    }
    if (len < 4 || !hex_ok(r[1]) || !hex_ok(r[2])) {
        put(out, cap, n, " (not a module request)");
        return;
    }
    const char *what = nullptr;
    uint8_t digit = 0;
    switch (r[0]) {
    case '$':
        what = register_name(r[3]);
        if (!what) what = "read register";
        break;
    case '%': what = "write configuration"; break;
    case '#': what = "read data"; digit = r[3]; break;
    case '&':
        if (r[3] == '9') what = "soft reset";
        else { what = "read IDs"; digit = r[3]; }
        break;
    case '*': what = "read sort numbers"; digit = r[3]; break;
    case '/':
        what = len == 9 ? "ITU output" : len == 7 ? "write sort number" : "write digital output";
        if (len != 5) digit = r[3];
        break;
    case '^':
        what = len == 7 ? "write sort number" : "read digital ITU IDs";
        digit = r[3];
        break;
    case '~': what = "read digital ITU states"; digit = r[3]; break;
    case '@':
        what = len == 8 ? "switch digital ITU output"
               : (len >= 8 && r[6] == '1') ? "change ITU address" : "set ITU offset";
        digit = r[3];
        break;
    default:
        put(out, cap, n, " (unknown lead)");
        return;
    }
    put(out, cap, n, "  %s, module %c%c", what, r[1], r[2]);
    if (digit) put_channel(out, cap, n, digit);
    if (r[0] == '%' && len >= 11)
        put(out, cap, n, ": new address %c%c, type %c%c, baud %d, format %c%c", r[3], r[4], r[5], r[6],
            baud_code_to_rate(dec_pair_value(&r[7])), r[9], r[10]);
}

// Fields of an acknowledge reply (p: from the lead, m: bytes there) to request `r`.
void describe_ack(const uint8_t *p, int m, const uint8_t *r, int rlen, char *out, int cap, int *n)
{
    const uint8_t cmd = rlen >= 4 ? r[3] : 0;
    if (r[0] == '$' && cmd == '2' && m >= 9)
        put(out, cap, n, ": type %c%c, baud %d, format %c%c", p[3], p[4],
            baud_code_to_rate(dec_pair_value(&p[5])), p[7], p[8]);
    else if (r[0] == '$' && cmd == 'E' && m >= 9)
        put(out, cap, n, ": fault %c%c, error channels %c%c, warning channels %c%c", p[3], p[4], p[5],
            p[6], p[7], p[8]);
    else if (r[0] == '$' && cmd == 'R' && m >= 4)
        put(out, cap, n, ": %s mode", p[3] == '0' ? "search" : p[3] == '1' ? "storage" : "normal");
    else if (r[0] == '$' && (cmd == '6' || cmd == '8') && m >= 5)
        put(out, cap, n, ": state %c%c", p[3], p[4]);
    else if (r[0] == '$' && (cmd == 'M' || cmd == 'F') && m > 3) {
        put(out, cap, n, ": %s \"", cmd == 'M' ? "name" : "firmware");
        put_text(out, cap, n, p + 3, m - 3);
        put(out, cap, n, "\"");
    }
}

void describe_reply(const uint8_t *b, int len, int echo_len, const uint8_t *r, int rlen,
                    char *out, int cap, int *n)
{
    if (echo_len > 0) put(out, cap, n, "echo %d bytes, ", len < echo_len ? len : echo_len);
    const uint8_t *p = b + echo_len;
    const int m = len - echo_len;
    if (m <= 0) {
        put(out, cap, n, "no reply bytes");
        return;
    }
    const uint8_t lead = p[0];
    if (lead != LEAD_ACK && lead != LEAD_DATA) {
        if (lead >= 0x20 && lead < 0x7F) put(out, cap, n, "wrong lead '%c'", lead);
        else put(out, cap, n, "wrong lead 0x%02X", lead);
        return;
    }
    if (m >= 3) put(out, cap, n, "%c%c%c from module %c%c", lead, p[1], p[2], p[1], p[2]);
    else put(out, cap, n, "'%c', cut short", lead);
    // The configuration write is answered at the new address.
    const int addr_at = (rlen >= 5 && r[0] == '%') ? 3 : 1;
    if (m >= 3 && rlen >= addr_at + 2 && (p[1] != r[addr_at] || p[2] != r[addr_at + 1]))
        put(out, cap, n, " (asked %c%c)", r[addr_at], r[addr_at + 1]);
    const int size = record_size_of(r, rlen);
    if (lead == LEAD_DATA && size > 0) {
        if (m < DATA_HEADER) {
            put(out, cap, n, ", data header cut short (%d bytes)", m);
            return;
        }
        const int count = p[4];
        const int need = DATA_HEADER + count * size;
        put(out, cap, n, ", status %d%s, %d record%s of %d byte%s", p[3], p[3] == 0 ? " (ok)" : "", count,
            count == 1 ? "" : "s", size, size == 1 ? "" : "s");
        if (m < need) put(out, cap, n, ", cut short: %d of %d bytes", m, need + 1);
        return;
    }
    if (lead == LEAD_DATA && rlen >= 4 && r[0] == '&' && r[3] == '9') {
        put(out, cap, n, ", reset accepted");
        return;
    }
    if (lead == LEAD_ACK && rlen >= 4) describe_ack(p, m, r, rlen, out, cap, n);
}

}  // namespace

int trace_describe(int direction, const uint8_t *bytes, int len, int echo_len,
                   const uint8_t *request, int request_len, char *out, int cap)
{
    if (!out || cap <= 0) return 0;
    out[0] = 0;
    int n = 0;
    if (len < 0) len = 0;
    if (direction == TRACE_TX) {
        describe_request(bytes, len, out, cap, &n);
    } else {
        if (echo_len > len) echo_len = len;
        describe_reply(bytes, len, echo_len, request, request ? request_len : 0, out, cap, &n);
    }
    return n;
}
