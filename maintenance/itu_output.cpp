// ITU outputs: the byte the boxes make is kept in ItuStateByte and sent as /AAcNNhh.
#include "maintenance/itu_output.h"

#include <stdio.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "display/data_display.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

namespace {
enum { BITS = 8, TYPE_FOUR_OUTPUTS = 6 };
const char *const Caption = "系统提示";

// The clicked ITU's position on its channel (a byte, so always inside the channel's rows).
int clicked(void) { return data_display.clicked_index % UNITS_PER_CHANNEL; }

// Outputs the clicked ITU has: four for the 4-in/4-out kind, else eight.
int output_count(void) { return data_display.clicked_type == TYPE_FOUR_OUTPUTS ? 4 : BITS; }

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_ITUO_SET) itu_output_on_set(dlg);
    else if (id == IDC_ITUO_EXIT) ui_end_dialog(dlg, 0);
}
}  // namespace

const UiDialogHandlers itu_output_handlers = {itu_output_on_init, on_command, nullptr, dialog_close};

void itu_output_show(UiWindow dlg)
{
    const uint8_t v = ItuStateByte[clicked()];
    char text[8];
    snprintf(text, sizeof text, "%02X", v);
    ui_set_text(dlg, IDC_ITUO_VALUE, text);
    for (int i = 0; i < BITS; ++i) {
        const int shown = i < output_count();
        ui_show(dlg, IDC_ITUO_BIT0 + i, shown);
        ui_check(dlg, IDC_ITUO_BIT0 + i, shown && (v & BitMask[i]) != 0);
    }
}

int itu_output_send(UiWindow dlg, uint8_t v)
{
    const Module &m = current_module();
    const int c = channel_kind.current_channel;
    if (c < 0 || c >= CHANNEL_COUNT || m.itu_count[c] == 0) {
        ui_message_box(dlg, "无传感器!", Caption, UI_MB_OK);
        return -1;
    }
    // The ITU's address goes out as two decimal digits; a larger number cannot be sent.
    const int address = m.sort_no[c][clicked()];
    if (address > 99) return -1;
    char part[8];
    snprintf(part, sizeof part, "%c%02d%02X", channel_digit(c), address, v);
    port_discard();
    ModuleReply reply;
    const int ok = module_request(CMD_ITU_OUTPUT, m.address, part, 5, 0, REQ_CHECK_LEAD, &reply) == REQ_OK;
    if (!ok) port_discard();
    return ok ? 0 : -1;
}

void itu_output_on_init(UiWindow dlg)
{
    itu_output_show(dlg);
    ui_focus(dlg, IDC_ITUO_EXIT);
}

void itu_output_on_set(UiWindow dlg)
{
    uint8_t v = 0;
    for (int i = 0; i < output_count(); ++i)
        if (ui_is_checked(dlg, IDC_ITUO_BIT0 + i)) v |= BitMask[i];
    ItuStateByte[clicked()] = v;
    if (itu_output_send(dlg, v) != 0) ui_message_box(dlg, "输出失败,请重试一次!", Caption, UI_MB_OK);
    itu_output_show(dlg);
}
