// Communication settings dialog logic.
#include "netsetup/comm_settings.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "app/title_menu.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "netsetup/converter_list.h"
#include "netsetup/converter_proto.h"
#include "platform/clock.h"
#include "resources/resource_ids.h"

CommSettingsFeatures comm_settings_features = {&converter_list_handlers, comm_settings_change_converter_speed};

namespace {
enum { WAIT_MIN_MS = 10, WAIT_MAX_MS = 15000 };
const char *const RangeText = "应答等待时间设置范围为: 10 --> 15000 ms，请重新设置!";

const int NetGroup[] = {IDC_NET_GROUP, IDC_NET_IP_LABEL, IDC_NET_PORT_LABEL, IDC_NET_BAUD_LABEL,
                        IDC_NET_IP,    IDC_NET_PORT,     IDC_NET_BAUD,       IDC_NET_SEARCH};
const int WaitControls[] = {IDC_WAIT_LABEL, IDC_WAIT_EDIT, IDC_WAIT_MS};

void enable_com_radios(UiWindow dlg, int on)
{
    for (int id = IDC_COM1; id <= IDC_COM8; ++id) ui_enable(dlg, id, on);
}

// Radio choices become settings only when a button takes them.
void take_radio_choices(UiWindow dlg, int take_com)
{
    if (take_com)
        for (int id = IDC_COM1; id <= IDC_COM8; ++id)
            if (ui_is_checked(dlg, id)) {
                link_settings.com_port = id - (IDC_COM1 - 1);
                break;
            }
    for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id)
        if (ui_is_checked(dlg, id)) {
            link_settings.baud_index = id - IDC_BAUD_2400;
            break;
        }
}

// Edit 1309 into the stored wait, as the program keeps it: an unsigned number cut to its low
// 16 bits, signed. A wait out of range is set to its limit, with the message; 1 then.
int take_wait_edit(UiWindow dlg)
{
    int ok = 0;
    const unsigned v = ui_get_uint(dlg, IDC_WAIT_EDIT, &ok);
    link_settings.reply_wait_ms = static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
    const int clamped = reply_wait_out_of_range(link_settings.reply_wait_ms);
    if (!clamped) return 0;
    link_settings.reply_wait_ms = static_cast<int16_t>(clamped);
    error_notice(dlg, RangeText);
    ui_focus(dlg, IDC_WAIT_EDIT);
    return 1;
}

void end_dialog(UiWindow dlg, int result)
{
    update_title_menu();
    ui_end_dialog(dlg, result);
}

void open_network(UiWindow dlg)
{
    UiWindow owner = main_window.hwnd;
    if (link_settings.baud_index != link_settings.net_baud_index) {
        int answer = ui_message_box(
            owner,
            "VOK445X波特率与设定的3900模块波特率不同!,是否修改VOK445X的波特率?\r\n"
            "注: 或可运行<搜索IP参数...>,重新查找VOK445X模块参数.",
            "系统提示", UI_MB_YESNO | UI_ICON_WARNING);
        if (answer == UI_ID_YES && comm_settings_features.change_converter_speed)
            comm_settings_features.change_converter_speed(dlg, link_settings.baud_index);
        return;  // the link stays closed and the dialog open
    }
    ui_wait_cursor(1);
    int r = net_open();
    char text[320];
    int n = snprintf(text, sizeof text, "Domain Name/IP = %s < %s >  \r\n", net_state.host_text, net_state.ip_text);
    if (n < 0 || n >= static_cast<int>(sizeof text)) n = 0;
    if (r != 0) {
        snprintf(text + n, sizeof text - static_cast<size_t>(n), "%s",
                 "端口不存在或出现错误，请检查网络设置!\r\n 或运行<搜索IP参数...>");
        error_notice(owner, text);
        ui_wait_cursor(0);
        return;
    }
    snprintf(text + n, sizeof text - static_cast<size_t>(n), "%s", "已连接, 按<确认>键继续! ");
    system_notice(owner, text);
    ui_post_command(main_window.hwnd, IDM_SEARCH);
    ui_wait_cursor(0);
    end_dialog(dlg, IDC_COMM_OPEN);
}

// Which notification of which control runs which step.
const struct {
    int id, notify;
    void (*run)(UiWindow dlg);
} Commands[] = {
    {IDC_COMM_OPEN, UI_CLICKED, comm_settings_on_open},
    {IDC_COMM_CLOSE, UI_CLICKED, comm_settings_on_close_link},
    {IDC_COMM_EXIT, UI_CLICKED, comm_settings_on_exit},
    {IDC_NET_SEARCH, UI_CLICKED, comm_settings_on_discovery},
    {IDC_CONVERTER_LIST, UI_SELCHANGE, comm_settings_on_converter},
    {IDC_WAIT_EDIT, UI_EDIT_CHANGE, comm_settings_on_wait_edit},
};

void on_command(UiWindow dlg, int id, int notify)
{
    for (const auto &c : Commands)
        if (c.id == id && c.notify == notify) c.run(dlg);
}
}  // namespace

const UiDialogHandlers comm_settings_handlers = {comm_settings_init, on_command, nullptr, comm_settings_on_exit};

int reply_wait_out_of_range(int value_ms)
{
    if (value_ms < WAIT_MIN_MS) return WAIT_MIN_MS;
    if (value_ms > WAIT_MAX_MS) return WAIT_MAX_MS;
    return 0;
}

void comm_settings_apply_states(UiWindow dlg)
{
    const int open = link_state.open == 1;
    const int net = link_settings.converter_type == CONVERTER_NET;
    for (int id : NetGroup) ui_enable(dlg, id, !open && net);
    ui_enable(dlg, IDC_SERIAL_GROUP, !open && !net);
    enable_com_radios(dlg, !open && !net);
    for (int id : WaitControls) ui_show(dlg, id, link_settings.converter_type == CONVERTER_S_WAIT);
}

void comm_settings_init(UiWindow dlg)
{
    comm_settings_apply_states(dlg);
    char text[16];
    snprintf(text, sizeof text, "%d", link_settings.reply_wait_ms);
    ui_set_text(dlg, IDC_WAIT_EDIT, text);
    if (link_state.open == 1) {
        enable_com_radios(dlg, 0);
        for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id) ui_enable(dlg, id, 0);
        ui_enable(dlg, IDC_CONVERTER_LIST, 0);
    } else {
        ui_set_text(dlg, IDC_NET_IP, net_state.ip_text);
        ui_set_uint(dlg, IDC_NET_PORT, link_settings.net_port);
        if (link_settings.net_baud_index < BAUD_COUNT)
            ui_set_uint(dlg, IDC_NET_BAUD, static_cast<unsigned>(BaudTable[link_settings.net_baud_index]));
        else
            ui_set_text(dlg, IDC_NET_BAUD, "OUT!");
        for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id) {
            ui_enable(dlg, id, 1);
            ui_check(dlg, id, id - IDC_BAUD_2400 == link_settings.baud_index);
        }
        for (int id = IDC_COM1; id <= IDC_COM8; ++id) ui_check(dlg, id, id - (IDC_COM1 - 1) == link_settings.com_port);
        ui_enable(dlg, IDC_CONVERTER_LIST, 1);
        ui_combo_reset(dlg, IDC_CONVERTER_LIST);
        for (int t = 0; t < CONVERTER_TYPE_COUNT; ++t) ui_combo_add(dlg, IDC_CONVERTER_LIST, ConverterTextTable[t]);
        ui_combo_set_sel(dlg, IDC_CONVERTER_LIST, link_settings.converter_type);
    }
    if (link_settings.converter_type == CONVERTER_S_WAIT)
        for (int id : WaitControls) ui_enable(dlg, id, link_state.open != 1);
}

void comm_settings_on_converter(UiWindow dlg)
{
    int sel = ui_combo_get_sel(dlg, IDC_CONVERTER_LIST);
    if (sel < 0 || sel >= CONVERTER_TYPE_COUNT) return;
    link_settings.converter_type = sel;
    comm_settings_apply_states(dlg);
}

void comm_settings_on_wait_edit(UiWindow dlg) { take_wait_edit(dlg); }

void comm_settings_on_open(UiWindow dlg)
{
    take_radio_choices(dlg, 1);
    // The stored wait stays inside its range: it is saved at exit even if the dialog is left now.
    if (link_settings.converter_type == CONVERTER_S_WAIT && take_wait_edit(dlg)) return;
    char host[HOST_TEXT_MAX + 1];
    ui_get_text(dlg, IDC_NET_IP, host, sizeof host);
    memcpy(net_state.host_text, host, sizeof host);
    int ok = 0;
    unsigned port = ui_get_uint(dlg, IDC_NET_PORT, &ok);
    net_state.port_entered = static_cast<uint16_t>(port & 0xFFFF);

    if (link_state.open != 1) {
        if (link_settings.converter_type != CONVERTER_NET) {
            if (!port_open()) {
                error_notice(dlg, "端口不存在或出现错误或正在使用，请重新设置!");
                return;
            }
            probe_echo();
            ui_post_command(main_window.hwnd, IDM_SEARCH);
        } else {
            open_network(dlg);
            return;
        }
    }
    end_dialog(dlg, IDC_COMM_OPEN);
}

void comm_settings_on_close_link(UiWindow dlg)
{
    take_radio_choices(dlg, 1);
    if (link_state.open == 1) {
        if (link_settings.converter_type == CONVERTER_NET)
            net_close();
        else
            port_close();
        comm_settings_init(dlg);
    }
    update_title_menu();
}

void comm_settings_on_discovery(UiWindow dlg)
{
    take_radio_choices(dlg, 0);
    if (comm_settings_features.converter_list)
        ui_dialog_run(dlg, IDD_CONVERTER_LIST, comm_settings_features.converter_list);
    comm_settings_init(dlg);
}

void comm_settings_on_exit(UiWindow dlg) { end_dialog(dlg, IDC_COMM_EXIT); }

void comm_settings_change_converter_speed(UiWindow dlg, int baud_index)
{
    ui_wait_cursor(1);
    if (udp_open() != 0) {
        error_notice(dlg, "网络操作出现错误! 请重新设置!");
    } else if (converter_set_baud(baud_index) != 0) {
        error_notice(dlg, "出现错误! 请重新设置!");
    } else {
        udp_close();
        system_notice(dlg, "VOK445X波特率修改完毕!\r\n请等待8-10秒后重新运行<搜索IP参数...>");
        sleep_ms(CONVERTER_RESTART_MS);
    }
    ui_wait_cursor(0);
}
