// Module parameters dialog and the alarm threshold dialog.
#include "maintenance/module_params.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/title_menu.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "maintenance/converter_baud.h"
#include "maintenance/port_mode.h"
#include "protocol/protocol.h"
#include "protocol/model_caps.h"
#include "resources/resource_ids.h"

namespace {
const char *const CaptionNotice = "系统提示";
enum { CONFIG_WRITE_LEN = 12, ACK_REPLY_LEN = 4, MODE_NORMAL = 238 };

void set_textf(UiWindow dlg, int id, const char *format, int value)
{
    char text[16];
    snprintf(text, sizeof text, format, value);
    ui_set_text(dlg, id, text);
}

// Lamp 1110+n stays only for the channels whose bit is set in mask.
void lamps_by_mask(UiWindow dlg, int mask)
{
    for (int n = 0; n < CHANNEL_COUNT; ++n)
        if ((mask & BitMask[n]) == 0) ui_show(dlg, IDC_MP_LAMP0 + n, 0);
}

void show_counts(UiWindow dlg, const uint8_t *counts, int total)
{
    for (int n = 0; n < CHANNEL_COUNT; ++n) set_textf(dlg, IDC_MP_COUNT0 + n, "%2d", counts[n]);
    set_textf(dlg, IDC_MP_TOTAL, "%3d", total);
}

void show_fault_status(UiWindow dlg, const Module &m)
{
    if (m.fault_state == 0x80) {
        for (int n = 0; n < CHANNEL_COUNT; ++n) {
            ui_show(dlg, IDC_MP_ERROR_LAMP0 + n, 0);
            ui_show(dlg, IDC_MP_WARN_LAMP0 + n, 0);
        }
        ui_set_text(dlg, IDC_MP_FAULT_CODE, "None");
        ui_set_text(dlg, IDC_MP_FAULT_CHANNELS, "None");
        return;
    }
    for (int n = 0; n < CHANNEL_COUNT; ++n) {
        if ((m.chan_error & BitMask[n]) == 0) ui_show(dlg, IDC_MP_ERROR_LAMP0 + n, 0);
        if ((m.chan_warning & BitMask[n]) == 0) ui_show(dlg, IDC_MP_WARN_LAMP0 + n, 0);
    }
    set_textf(dlg, IDC_MP_FAULT_CODE, "%02X", m.fault_state);
    char text[16];
    snprintf(text, sizeof text, "%02X-%02X", m.chan_error, m.chan_warning);
    ui_set_text(dlg, IDC_MP_FAULT_CHANNELS, text);
}

// Channel lamps and counts by the module's kind; several kinds may apply, in this order.
void show_channels(UiWindow dlg, const Module &m)
{
    const ModelCaps *caps = model_caps(m.model);
    if (m.type_code >= 0x80 && m.type_code <= 0x83) {
        const int second = caps->second_counts && m.firmware[1] > '1';
        lamps_by_mask(dlg, second ? m.chan_state2 : m.chan_state);
        show_counts(dlg, second ? m.itu_count2 : m.itu_count, m.itu_total);
    }
    if (is_4500(m.model)) {
        for (int n = 0; n < CHANNEL_COUNT; ++n) ui_show(dlg, IDC_MP_LAMP0 + n, 0);
        set_textf(dlg, IDC_MP_COUNT0, "%02X", m.itu_count[0]);
        set_textf(dlg, IDC_MP_COUNT0 + 1, "%02X", m.itu_count[1]);
    }
    if (caps->th_range && !is_456x(m.model)) {
        lamps_by_mask(dlg, m.chan_state);
        show_counts(dlg, m.itu_count, m.itu_total);
    }
    if (is_456x(m.model)) {
        lamps_by_mask(dlg, m.chan_mask_a);
        for (int n = 0; n < CHANNEL_COUNT; ++n)
            if (m.chan_mask_b & BitMask[n]) ui_show(dlg, IDC_MP_KIND0 + n, 1);
        show_counts(dlg, m.itu_count, m.itu_total);
    }
    if (is_4501(m.model)) {
        ui_set_text(dlg, IDC_MP_ROW2_LABEL, "  DIO数量:");
        lamps_by_mask(dlg, m.chan_state);
        show_counts(dlg, m.itu_count, m.itu_total);
        for (int n = 0; n < CHANNEL_COUNT; ++n) set_textf(dlg, IDC_MP_COUNT2_0 + n, "%2d", m.itu_count_b[n]);
        set_textf(dlg, IDC_MP_TOTAL2, "%3d", m.itu_total_b);
    } else {
        ui_set_text(dlg, IDC_MP_ROW2_LABEL, "  ITU数量:");
    }
}

// Two upper-case hex digits: the only address the modules read back as typed ('a' would be
// taken as 0x2A by their digit rule, 'G' as 0x10).
int address_is_valid(const char *text)
{
    if (strlen(text) != 2) return 0;
    for (int k = 0; k < 2; ++k) {
        const char c = text[k];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return 0;
    }
    return 1;
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    switch (id) {
    case IDC_MP_CONFIRM: module_params_on_confirm(dlg); break;
    case IDC_MP_EXIT: ui_end_dialog(dlg, 0); break;
    case IDC_MP_MORE: module_params_on_more(dlg); break;
    case IDC_MP_STORAGE: module_params_on_storage(dlg); break;
    default: break;
    }
}

void alarm_on_command(UiWindow dlg, int id, int notify)
{
    if (notify == UI_CLICKED && id == IDC_AL_EXIT) ui_end_dialog(dlg, 0);
}

// Reopens the COM port at the new speed; 1 when open again.
int reopen_serial(int baud_index)
{
    port_close();
    link_settings.baud_index = baud_index;
    return port_open();
}
}  // namespace

const UiDialogHandlers module_params_handlers = {module_params_on_init, on_command, nullptr, dialog_close};
const UiDialogHandlers alarm_settings_handlers = {alarm_settings_on_init, alarm_on_command, nullptr, dialog_close};

uint8_t reverse_bits(uint8_t v)
{
    uint8_t r = 0;
    for (int n = 0; n < 8; ++n)
        if (v & (1u << n)) r = static_cast<uint8_t>(r | (0x80u >> n));
    return r;
}

int model_has_alarms(int model) { return model_caps(model)->alarms; }

int build_module_config_write(const Module *m, const char typed[2], int baud_index, uint8_t *out, int cap)
{
    char part[9];
    snprintf(part, sizeof part, "%c%c%02X%02X%02X", typed[0], typed[1], m->type_code & 0xFF,
             (baud_index + 4) & 0xFF, m->data_format & 0xFF);
    return build_request('%', m->address, part, 8, out, cap);
}

void module_params_on_init(UiWindow dlg)
{
    const Module &m = current_module();
    const char *advice = fault_advice_text(m.fault_state, m.chan_error, m.chan_warning);
    if (advice) system_notice(dlg, advice);

    ui_set_text(dlg, IDC_MP_NAME, m.name);
    set_textf(dlg, IDC_MP_TYPE, "%02X", m.type_code);
    set_textf(dlg, IDC_MP_FORMAT, "%02X", m.data_format);
    ui_set_text(dlg, IDC_MP_VERSION, m.firmware);
    set_textf(dlg, IDC_MP_ADDRESS, "%02X", m.address);
    ui_set_text(dlg, IDC_MP_MODE, m.mode == MODE_NORMAL ? "正常模式" : m.mode == 1 ? "存储模式" : "搜索模式");
    ui_combo_reset(dlg, IDC_MP_BAUD);
    for (int i = 0; i < BAUD_COUNT; ++i) {
        char text[16];
        snprintf(text, sizeof text, "%5d", BaudTable[i]);
        ui_combo_add(dlg, IDC_MP_BAUD, text);
    }
    ui_combo_set_sel(dlg, IDC_MP_BAUD, link_settings.baud_index);

    for (int n = 0; n < CHANNEL_COUNT; ++n) ui_show(dlg, IDC_MP_KIND0 + n, 0);

    if (model_has_alarms(m.model)) {
        ui_show(dlg, IDC_MP_MORE, 1);
        ui_show(dlg, IDC_MP_STORAGE, m.mode != MODE_NORMAL);
    } else {
        ui_show(dlg, IDC_MP_STORAGE, 0);
        ui_show(dlg, IDC_MP_MORE, m.mode != MODE_NORMAL);
    }

    const int row2 = is_4501(m.model);
    ui_show(dlg, IDC_MP_ROW2_LABEL, row2);
    for (int id = IDC_MP_COUNT2_0; id <= IDC_MP_TOTAL2; ++id) ui_show(dlg, id, row2);

    show_fault_status(dlg, m);
    show_channels(dlg, m);
    ui_focus(dlg, IDC_MP_CONFIRM);
}

int module_params_apply(UiWindow dlg)
{
    Module &m = current_module();
    char typed[8] = {0};
    ui_get_text(dlg, IDC_MP_ADDRESS, typed, sizeof typed);
    int sel = ui_combo_get_sel(dlg, IDC_MP_BAUD);
    if (sel < 0 || sel >= BAUD_COUNT) sel = link_settings.baud_index;  // nothing chosen: keep the speed
    link_settings.new_baud_index = sel;

    char current[2];
    format_address(m.address, current);
    if (typed[0] == current[0] && typed[1] == current[1] && typed[2] == 0 && sel == link_settings.baud_index)
        return PARAMS_UNCHANGED;
    if (!address_is_valid(typed)) {
        system_notice(dlg, "模块地址须为两位十六进制数(00-FF)!");
        ui_focus(dlg, IDC_MP_ADDRESS);
        return PARAMS_BAD_ADDRESS;
    }
    if (ui_message_box(dlg, "是否修改模块配置?", CaptionNotice, UI_MB_YESNO | UI_ICON_WARNING) != UI_ID_YES)
        return PARAMS_DECLINED;

    uint8_t frame[REQUEST_MAX];
    const int len = build_module_config_write(&m, typed, sel, frame, sizeof frame);
    port_discard();
    // The module answers at its new address: only the lead is tested.
    ModuleReply reply;
    const int r = module_request(CMD_WRITE_CONFIG, m.address, reinterpret_cast<const char *>(frame) + 3, len - 4, 0,
                                 REQ_CHECK_LEAD, &reply);
    if (r == REQ_NO_REPLY) {
        system_notice(dlg, "模块忙，请重试一次!");
        port_discard();
        return PARAMS_NO_ANSWER;
    }
    if (r != REQ_OK) {
        system_notice(dlg, "通讯接收数据错误!");
        return PARAMS_BAD_REPLY;
    }
    system_notice(dlg, sel != link_settings.baud_index ? "设定成功,须按新波特率重新查找模块!" : "设定成功,须重新查找模块地址!");
    return PARAMS_WRITTEN;
}

void module_params_on_confirm(UiWindow dlg)
{
    const int result = module_params_apply(dlg);
    if (result != PARAMS_WRITTEN) {
        module_table.stale = 0;
        if (result == PARAMS_UNCHANGED) ui_end_dialog(dlg, 0);
        return;
    }
    const int new_index = link_settings.new_baud_index;
    const int changed = new_index != link_settings.baud_index;
    const UiWindow main = main_window.hwnd;
    switch (link_settings.converter_type) {
    case CONVERTER_COM485:
        // The converter keeps its own speed: it must be set with its own software first.
        ui_message_box(main,
                       "注意: VOK3900模块波特率已经改变,\r\n VOK445X-com本身的波特率设置也需要改变,\r\n"
                       " 请运行VOK4450相关软件进行修改,然后再进行测试!\r\n",
                       CaptionNotice, UI_MB_OK);
        break;
    case CONVERTER_NET:
        if (!changed) {
            module_table.stale = 1;
            ui_post_command(main, IDM_SEARCH);
        } else if (change_converter_baud(dlg, new_index) != 0) {
            return;  // the link could not be opened again: the dialog stays
        }
        break;
    default:
        // Serial converters that follow the host's line: the port moves to the new speed.
        // The module has moved either way, so the table's address is stale even when the
        // port cannot be opened again (then there is no link to search on).
        module_table.stale = 1;
        if (changed && !reopen_serial(new_index)) {
            error_notice(main, "端口不存在或出现错误或正在使用，请重新设置!");
            break;
        }
        ui_post_command(main, IDM_SEARCH);
        break;
    }
    ui_end_dialog(dlg, 0);
}

void module_params_on_more(UiWindow dlg)
{
    if (model_has_alarms(current_module().model)) {
        ui_dialog_run(dlg, IDD_ALARM_SETTINGS, &alarm_settings_handlers);
        return;
    }
    if (ui_dialog_run(dlg, IDD_PORT_MODE, &port_mode_handlers) == 1) ui_end_dialog(dlg, 0);
}

void module_params_on_storage(UiWindow dlg)
{
    if (!model_has_alarms(current_module().model)) return;
    if (ui_dialog_run(dlg, IDD_PORT_MODE, &port_mode_handlers) == 1) ui_end_dialog(dlg, 0);
}

void alarm_settings_on_init(UiWindow dlg)
{
    const AlarmSettings &a = alarm_settings;
    set_textf(dlg, IDC_AL_TEMP_HIGH, "%+03d", a.temp_high);
    set_textf(dlg, IDC_AL_TEMP_LOW, "%+03d", a.temp_low);
    set_textf(dlg, IDC_AL_TEMP_HYST, " %2d", a.temp_hysteresis);
    for (int k = 0; k < 4; ++k) set_textf(dlg, IDC_AL_TEMP_ENABLE0 + k, " %02X", reverse_bits(a.temp_enable[k]));
    if (model_caps(current_module().model)->itu_modules) {
        set_textf(dlg, IDC_AL_HUM_HIGH, " %2d", a.humidity_high);
        set_textf(dlg, IDC_AL_HUM_LOW, " %2d", a.humidity_low);
        set_textf(dlg, IDC_AL_HUM_HYST, " %2d", a.humidity_hysteresis);
        for (int k = 0; k < 2; ++k) set_textf(dlg, IDC_AL_HUM_ENABLE0 + k, " %02X", reverse_bits(a.humidity_enable[k]));
    } else {
        static const int Unused[] = {IDC_AL_HUM_HIGH, IDC_AL_HUM_LOW, IDC_AL_HUM_HYST, IDC_AL_HUM_ENABLE0,
                                     IDC_AL_HUM_ENABLE0 + 1};
        for (int id : Unused) ui_set_text(dlg, id, "----");
    }
}
