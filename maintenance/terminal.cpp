// Terminal dialog: raw requests and their replies, for commissioning and fault finding.
#include "maintenance/terminal.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

Terminal terminal;

namespace {
enum { AFTER_SEND_MS = 50 };

int model_of_address(uint8_t address)
{
    const int count = module_table.count < MODULE_MAX ? module_table.count : MODULE_MAX;
    for (int i = 0; i < count; ++i)
        if (module_table.module[i].address == address) return module_table.module[i].model;
    return 0;
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
}  // namespace

const UiDialogHandlers terminal_handlers = {terminal_on_init, on_command, nullptr, dialog_close};

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
    ModuleReply reply;
    const int got = frame_request(reinterpret_cast<const uint8_t *>(terminal.command), frame_len,
                                  terminal_reply_length(terminal.command), &reply);
    if (got <= 0) {
        ui_beep(UI_BEEP_WARNING);
        ui_set_text(dlg, IDC_TERM_ANSWER, "No response!");
        port_discard();
    } else {
        terminal_answer(reply.bytes, 0, terminal.command, is_4500(current_module().model), terminal.response,
                        sizeof terminal.response);
        ui_beep(UI_BEEP_DEFAULT);
        show_answer(dlg, terminal.response);
    }
    ui_wait_cursor(0);
    sleep_ms(AFTER_SEND_MS);
    port_discard();
}
