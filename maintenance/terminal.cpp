// Terminal dialog: raw requests and their replies, for commissioning and fault finding.
#include "maintenance/terminal.h"

#include <stdio.h>
#include <string.h>

#include "app/state.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

Terminal terminal;

namespace {
enum { STANDARD_FRAME = 5, REPLY_LEN = 40, AFTER_SEND_MS = 50, HEX_BYTES = 10, TEXT_4500 = 12 };

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

int model_of_address(uint8_t address)
{
    const int count = module_table.count < MODULE_MAX ? module_table.count : MODULE_MAX;
    for (int i = 0; i < count; ++i)
        if (module_table.module[i].address == address) return module_table.module[i].model;
    return 0;
}

// The network converter hands the whole reply over at once: data replies of a channel or of
// a whole module need room for their records.
int reply_length(const char *command)
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

// The edit shows UTF-8: bytes above 0x7F are shown as the Latin-1 characters of those codes.
void to_display(const char *bytes, char *out, int cap)
{
    int n = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(bytes); *p && n + 3 < cap; ++p) {
        if (*p < 0x80) {
            out[n++] = static_cast<char>(*p);
        } else {
            out[n++] = static_cast<char>(0xC0 | (*p >> 6));
            out[n++] = static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    out[n] = 0;
}

void show_answer(UiWindow dlg, const char *bytes)
{
    char text[TERMINAL_BUFFER * 2 + 4];
    to_display(bytes, text, sizeof text);
    ui_set_text(dlg, IDC_TERM_ANSWER, text);
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_TERM_SEND) terminal_on_send(dlg);
    else if (id == IDC_TERM_EXIT) ui_end_dialog(dlg, 0);
}

void on_close(UiWindow dlg) { ui_end_dialog(dlg, 0); }
}  // namespace

const UiDialogHandlers terminal_handlers = {terminal_on_init, on_command, nullptr, on_close};

int terminal_frame_length(char lead, int model)
{
    switch (lead) {
    case '%': return 12;
    case '/': return (model == 4560 || model == 4562 || model == 4563) ? 9 : STANDARD_FRAME;
    case '@': return (model == 4562 || model == 4563) ? 10 : 8;
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

void terminal_on_init(UiWindow dlg)
{
    terminal.reset_redirect = 0;
    char spaces[TERMINAL_BUFFER + 1];
    snprintf(spaces, sizeof spaces, "%50c", ' ');
    ui_set_text(dlg, IDC_TERM_COMMAND, spaces);
    ui_set_text(dlg, IDC_TERM_ANSWER, spaces);
    memset(terminal.command, 0, sizeof terminal.command);
    memset(terminal.response, 0, sizeof terminal.response);
    ui_focus(dlg, IDC_TERM_COMMAND);
}

void terminal_on_send(UiWindow dlg)
{
    memset(terminal.command, 0, sizeof terminal.command);
    ui_get_text(dlg, IDC_TERM_COMMAND, terminal.command, TERMINAL_COMMAND_MAX + 1);
    const char lead = terminal.command[0];
    const int model = model_of_address(hex_pair_value(reinterpret_cast<const uint8_t *>(terminal.command + 1)));
    const int frame_len = terminal_frame_length(lead, model);
    terminal.command[frame_len - 1] = FRAME_CR;

    // A reset goes through the menu's reset, so that its countdown and new search follow.
    if (lead == '&' && terminal.command[3] == '9') {
        terminal.reset_redirect = 1;
        ui_post_command(main_window.hwnd, IDM_RESET);
        ui_end_dialog(dlg, 0);
        return;
    }

    port_discard();
    ui_wait_cursor(1);
    // The echo is as long as the frame sent.
    link_state.echo_len = link_state.echo_on == 1 ? frame_len : 0;
    const int got = bus_exchange(reply_length(terminal.command), frame_len,
                                 reinterpret_cast<const uint8_t *>(terminal.command));
    if (got <= 0) {
        ui_beep(UI_BEEP_WARNING);
        ui_set_text(dlg, IDC_TERM_ANSWER, "No response!");
        port_discard();
    } else {
        const Module &cur = module_table.module[module_table.current >= 0 && module_table.current < MODULE_MAX
                                                    ? module_table.current : 0];
        terminal_answer(RxBuffer, link_state.echo_len, terminal.command, cur.model == 4500, terminal.response,
                        sizeof terminal.response);
        ui_beep(UI_BEEP_DEFAULT);
        show_answer(dlg, terminal.response);
    }
    link_state.echo_len = link_state.echo_on == 1 ? STANDARD_FRAME : 0;
    ui_wait_cursor(0);
    sleep_ms(AFTER_SEND_MS);
    port_discard();
}
