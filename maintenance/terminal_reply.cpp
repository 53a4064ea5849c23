// What the terminal makes of a raw request and its reply, without the dialog: frame and
// reply lengths by lead and model, and the answer text built from the reply bytes.
#include "maintenance/terminal_reply.h"

#include <stdio.h>

#include "app/state.h"
#include "protocol/model_caps.h"
#include "protocol/protocol.h"

namespace {
enum { STANDARD_FRAME = 5, REPLY_LEN = 40, HEX_BYTES = 10, TEXT_4500 = 12 };

// Bounded appending to the answer text; a zero byte ends it, as it ends a C string.
struct Text {
    char *out;
    int cap;
    int len;
    bool ended;
    void put(char c)
    {
        if (c == 0) ended = true;
        if (ended || len + 1 >= cap) return;
        out[len++] = c;
        out[len] = 0;
    }
    void print(const char *s)
    {
        while (*s) put(*s++);
    }
};

}  // namespace

// The network converter hands the whole reply over at once: data replies of a channel or of
// a whole module need room for their records.
int terminal_reply_length(const char *command)
{
    if (link_settings.converter_type != CONVERTER_NET) return REPLY_LEN;
    const char lead = command[0], digit = command[3];
    const int one_channel = digit >= '0' && digit <= '7';
    if (lead == '#' && digit == '8') return 2100;
    if (lead == '#' && one_channel) return 280;
    if (lead == '&' && digit == '8') return 4150;
    if (lead == '&' && one_channel) return 550;
    return REPLY_LEN;
}

int terminal_frame_length(char lead, int model)
{
    switch (lead) {
    case '%': return 12;
    case '/': return (model_caps(model)->th_itus || is_456x(model)) ? 9 : STANDARD_FRAME;
    case '@': return is_456x(model) ? 10 : 8;
    case 'S': return 6;
    default: return STANDARD_FRAME;
    }
}

int terminal_display_length(char lead, char fourth)
{
    switch (lead) {
    case '#': case '*': case '^': case '~': return 14;
    case '@': return 6;
    case '%': case '&': case '/': return 4;
    case '$':
        switch (fourth) {
        case '*': return 18;
        case '2': case 'E': return 10;
        case '6': return 22;
        case 'F': return 9;
        case 'M': return 11;
        case 'T': return 8;
        default: return 6;
        }
    default: return 25;
    }
}

int terminal_answer(const uint8_t *rx, int o, const char *command, int current_4500, char *out, int cap)
{
    Text t{out, cap, 0, cap <= 0};
    if (cap > 0) out[0] = 0;
    const char lead = command[0], fourth = command[3];
    char item[16];
    if (lead == '#' || lead == '&' || lead == '*' || lead == '^') {
        for (int k = 0; k < 3; ++k) t.put(static_cast<char>(rx[o + k]));
        t.print("--");
        if (current_4500 && fourth == '2') {
            // Model 4500's readings come as text.
            for (int k = 0; k < TEXT_4500; ++k) t.put(static_cast<char>(rx[o + 5 + k]));
        } else {
            for (int k = 0; k < HEX_BYTES; ++k) {
                snprintf(item, sizeof item, "%02X ", rx[o + 3 + k]);
                t.print(item);
            }
        }
        return t.len;
    }
    if (lead == '$' && fourth == '*') {
        // Lead, address, the first unit's ID and its temperature (sign and magnitude, 1/16 °C).
        for (int k = 0; k < 3; ++k) t.put(static_cast<char>(rx[o + k]));
        t.put(' ');
        for (int k = 0; k < 8; ++k) {
            snprintf(item, sizeof item, "%02X", rx[o + 3 + k]);
            t.print(item);
        }
        t.put(' ');
        const uint8_t b1 = rx[o + 11], b2 = rx[o + 12];
        double celsius = ((b1 & 7) * 256 + b2) * 0.0625;
        if (b1 & 8) celsius = -celsius;
        snprintf(item, sizeof item, "%+04.2f", celsius);
        t.print(item);
        return t.len;
    }
    const int end = o + terminal_display_length(lead, fourth);
    for (int k = o; k < end && rx[k] != FRAME_CR; ++k) t.put(static_cast<char>(rx[k]));
    return t.len;
}

