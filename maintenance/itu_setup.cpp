// ITU address and offset: @AAcOO1NN gives ITU OO the address NN, @AAcNN2XX gives ITU NN the
// offset code XX. Either takes effect after the module's next reset.
#include "maintenance/itu_setup.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "display/data_display.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

ItuSet itu_set;

namespace {
enum {
    TYPE_TEMP_HUM = 1, NEW_ADDRESS_CHARS = 2,
    POS_MAX = 30, POS_ZERO = 15, BEFORE_SEND_MS = 100, AFTER_ADDRESS_MS = 1000, AFTER_OFFSET_MS = 200,
};
const char *const Caption = "系统提示";
const char *const Failed = "下载失败,请重试一次!";

int channel(void)
{
    const int c = channel_kind.current_channel;
    return c >= 0 && c < CHANNEL_COUNT ? c : 0;
}

int clicked(void) { return data_display.clicked_index % UNITS_PER_CHANNEL; }
int clicked_type(void) { return ItuTypeTable[channel()][clicked()]; }

void show_offset(UiWindow dlg)
{
    char text[16];
    snprintf(text, sizeof text, "%+0d", itu_set.offset_pos - POS_ZERO);
    ui_set_text(dlg, IDC_ITUS_OFFSET, text);
}

// @AAc + ITU address + function digit + two characters, CR. Addresses travel as two decimal
// digits: one above 99 cannot be sent and counts as a failure.
int send_setting(int address, char function, const char value[2])
{
    if (address > 99) return -1;
    const Module &m = current_module();
    char part[8];
    snprintf(part, sizeof part, "%c%02d%c%c%c", channel_digit(channel()), address, function, value[0], value[1]);
    port_discard();
    sleep_ms(BEFORE_SEND_MS);
    ModuleReply reply;
    const CommandId id = function == '1' ? CMD_ITU_ADDRESS : CMD_ITU_OFFSET;
    const int ok = module_request(id, m.address, part, 6, 0, REQ_CHECK_LEAD, &reply) == REQ_OK;
    if (!ok) port_discard();
    return ok ? 0 : -1;
}

int offset_step(int address)
{
    char code[3];
    snprintf(code, sizeof code, "%02X", itu_set.offset_code);
    if (send_setting(address, '2', code) != 0) return -1;
    sleep_ms(AFTER_OFFSET_MS);
    return 0;
}

int address_change(void)
{
    if (itu_set.new_addr != itu_set.old_addr) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02d", itu_set.new_addr % 100);
        if (itu_set.new_addr > 99 || send_setting(itu_set.old_addr, '1', digits) != 0) return -1;
        port_discard();
        sleep_ms(AFTER_ADDRESS_MS);
    }
    return clicked_type() == TYPE_TEMP_HUM ? offset_step(itu_set.new_addr) : 0;
}

void report(UiWindow dlg, int result, const char *success)
{
    ui_message_box(dlg, result == 0 ? success : Failed, Caption, UI_MB_OK);
}
}  // namespace

const UiDialogHandlers itu_setup_handlers = {itu_setup_on_init, itu_setup_on_command, nullptr, dialog_close};

int itu_offset_position(uint8_t raw)
{
    if (raw == 0 || raw == 16) return POS_ZERO;
    if (raw < 16) return raw + POS_ZERO;
    return 31 - raw;
}

uint8_t itu_offset_code(int p)
{
    return static_cast<uint8_t>(p >= POS_ZERO ? p - 0x6F : 0xFF - p);
}

uint8_t itu_typed_address(const char two[2])
{
    int v = 0;
    for (int k = 0; k < 2; ++k) {
        const unsigned char ch = static_cast<unsigned char>(two[k]);
        v = 10 * v + (ch <= '9' ? ch - '0' : ch - 55);
    }
    return static_cast<uint8_t>(v);
}

void itu_setup_on_init(UiWindow dlg)
{
    const Module &m = current_module();
    const int c = channel(), i = clicked();
    char text[16];
    snprintf(text, sizeof text, "%0d", c);
    ui_set_text(dlg, IDC_ITUS_CHANNEL, text);
    ui_limit_text(dlg, IDC_ITUS_NEW, NEW_ADDRESS_CHARS);
    snprintf(text, sizeof text, "%02d", m.sort_no[c][i]);
    ui_set_text(dlg, IDC_ITUS_OLD, text);
    const int offset = clicked_type() == TYPE_TEMP_HUM;
    ui_enable(dlg, IDC_ITUS_OFFSET, offset);
    ui_enable(dlg, IDC_ITUS_SCROLL, offset);
    if (offset) {
        itu_set.offset_pos = itu_offset_position(m.itu_id2[c][i]);
        // An address change sends the offset too: it must be this ITU's own offset, not one
        // left from another ITU's dialog.
        itu_set.offset_code = itu_offset_code(itu_set.offset_pos);
        show_offset(dlg);
    }
    itu_set.offset_pos_saved = itu_set.offset_pos;
    ui_focus(dlg, IDC_ITUS_OK);
}

void itu_setup_on_command(UiWindow dlg, int id, int notify)
{
    if (id == IDC_ITUS_SCROLL) {
        if (notify == UI_SCROLL_LINE_UP && itu_set.offset_pos < POS_MAX) itu_set.offset_pos++;
        else if (notify == UI_SCROLL_LINE_DOWN && itu_set.offset_pos > 0) itu_set.offset_pos--;
        else return;
        itu_set.offset_code = itu_offset_code(itu_set.offset_pos);
        show_offset(dlg);
        return;
    }
    if (notify != UI_CLICKED) return;
    if (id == IDC_ITUS_OK) itu_setup_on_confirm(dlg);
    else if (id == IDC_ITUS_EXIT) ui_end_dialog(dlg, 0);
}

void itu_setup_on_confirm(UiWindow dlg)
{
    // A field that holds no number, or one past a byte, keeps an address no frame can carry.
    int ok = 0;
    const unsigned typed_old = ui_get_uint(dlg, IDC_ITUS_OLD, &ok);
    itu_set.old_addr = static_cast<uint8_t>(ok && typed_old <= 255 ? typed_old : 255);
    char typed[8] = {0};
    if (ui_get_text(dlg, IDC_ITUS_NEW, typed, sizeof typed) >= 2) {
        itu_set.new_addr = itu_typed_address(typed);
        ui_wait_cursor(1);
        report(dlg, address_change(), "下载成功! \r\n需复位模块,ITU才可以新地址工作!");
        ui_wait_cursor(0);
        itu_set.old_addr = itu_set.new_addr;
    } else if (itu_set.offset_pos != itu_set.offset_pos_saved) {
        ui_wait_cursor(1);
        itu_set.new_addr = itu_set.old_addr;
        report(dlg, offset_step(itu_set.old_addr), "下载成功! \r\n需复位模块,ITU偏移量才可显示正常!");
        ui_wait_cursor(0);
        itu_set.offset_pos_saved = itu_set.offset_pos;
    }
    ui_end_dialog(dlg, 0);
}
