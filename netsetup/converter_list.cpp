// Converter list dialog logic.
#include "netsetup/converter_list.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "netsetup/converter_proto.h"
#include "netsetup/ip_setting.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

namespace {
const char *const RestartWait = "请等待8-10秒后重新运行<搜索IP参数...>";

// Appends formatted text at *len, never past cap.
void append(char *out, int cap, int *len, const char *text)
{
    if (*len >= cap - 1) return;
    int n = snprintf(out + *len, static_cast<size_t>(cap - *len), "%s", text);
    *len = n < 0 ? *len : (*len + n < cap ? *len + n : cap - 1);
}

void dotted_host(uint32_t ip_host, char out[16]) { ip_to_text(ip_host_to_net(ip_host), out); }

// The chosen converter becomes the link's network converter.
void take_converter(int sel)
{
    const ConverterList &c = converter_list;
    net_state.ip = ip_host_to_net(c.ip[sel]);
    ip_to_text(net_state.ip, net_state.ip_text);
    link_settings.net_port = c.port[sel];
    link_settings.net_baud_index = static_cast<uint8_t>(c.baud_code[sel] < 5 ? converter_speed_code(c.baud_code[sel]) : 5);
}

void wait_for_restart(void)
{
    ui_wait_cursor(1);
    sleep_ms(CONVERTER_RESTART_MS);
    ui_wait_cursor(0);
}

// The offer to move a converter of another subnet into its interface's subnet.
void offer_auto_ip(UiWindow dlg)
{
    if (ui_message_box(dlg, "IP地址与本机地址不在同一个子网中,是否修改IP地址?", "错误提示",
                       UI_MB_YESNO | UI_ICON_WARNING) != UI_ID_YES)
        return;
    if (udp_open() != 0) {
        error_notice(dlg, "网络访问出现错误，请检查网络设置!");
        return;
    }
    if (converter_auto_ip() != 0) {
        error_notice(dlg, "IP 修改出现错误，请检查网络设置!");
        return;
    }
    udp_close();
    char text[160];
    snprintf(text, sizeof text, "VOK445X IP修改完毕!\r\n%s", RestartWait);
    system_notice(dlg, text);
    wait_for_restart();
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_CL_OK) converter_list_on_ok(dlg);
    if (id == IDC_CL_IP_SETTING) converter_list_on_ip_setting(dlg);
}
}  // namespace

const UiDialogHandlers converter_list_handlers = {converter_list_on_init, on_command, nullptr, dialog_close};

void converter_list_line(int i, char *out, int cap)
{
    const ConverterList &c = converter_list;
    if (cap <= 0) return;
    out[0] = '\0';
    int len = 0;
    char part[64], ip[16], host[16] = "0.0.0.0";
    snprintf(part, sizeof part, "%2d-", i);
    append(out, cap, &len, part);
    dotted_host(c.ip[i], ip);
    const int k = c.if_index[i];
    if (k >= 0 && k < LOCAL_IF_MAX) ip_to_text(local_if.addr[k], host);
    snprintf(part, sizeof part, "%s<%s>%s", ip, host, c.ip_unset[i] == 1 ? " D" : "   ");
    append(out, cap, &len, part);
    if (c.baud_code[i] < 5)
        snprintf(part, sizeof part, "-%5d-%5d <", c.port[i], BaudTable[converter_speed_code(c.baud_code[i])]);
    else
        snprintf(part, sizeof part, "-%5d- OUT <", c.port[i]);
    append(out, cap, &len, part);
    const uint8_t *m = c.mac[i];
    snprintf(part, sizeof part, "%02X%02X%02X-%02X%02X%02X>", m[0], m[1], m[2], m[3], m[4], m[5]);
    append(out, cap, &len, part);
}

void local_if_text(int masks, char *out, int cap)
{
    if (cap <= 0) return;
    out[0] = '\0';
    int len = 0;
    for (int j = 0; j < local_if.count && j < LOCAL_IF_MAX; j++) {
        char ip[16];
        ip_to_text(masks ? local_if.mask[j] : local_if.addr[j], ip);
        append(out, cap, &len, ip);
        append(out, cap, &len, "--");
    }
}

void converter_list_on_init(UiWindow dlg)
{
    ui_wait_cursor(1);
    converter_list.found = 0;
    if (udp_open() != 0) {
        error_notice(dlg, "网络操作出现错误, 请检查网络是否打开!");
    } else if (local_if_query() != 0) {
        error_notice(dlg, "本机网络操作出现错误, 请检查网络是否打开!");
    } else {
        char text[64];
        local_if_text(0, text, sizeof text);
        ui_set_text(dlg, IDC_CL_HOST_IP, text);
        local_if_text(1, text, sizeof text);
        ui_set_text(dlg, IDC_CL_HOST_MASK, text);
        if (converter_discover() != 0) {
            ui_message_box(dlg, "未发现VOK445X模块或网络操作出现错误1 !", "系统提示", UI_MB_OK);
        } else if (converter_read_configs() != 0) {
            ui_message_box(dlg, "未发现VOK445X模块或网络操作出现错误2 !", "系统提示", UI_MB_OK);
        } else {
            udp_close();
            converter_list.found = 1;
        }
    }
    ui_wait_cursor(0);
    if (converter_list.found != 1) return;
    ui_list_reset(dlg, IDC_CL_LIST);
    for (int i = 0; i < converter_list.count; i++) {
        char line[96];
        converter_list_line(i, line, sizeof line);
        ui_list_add(dlg, IDC_CL_LIST, line);
    }
    ui_list_set_sel(dlg, IDC_CL_LIST, 0);
    converter_list.selected = 0;
}

void converter_list_on_ok(UiWindow dlg)
{
    const int sel = ui_list_get_sel(dlg, IDC_CL_LIST);
    if (sel >= 0 && sel < converter_list.count) {
        converter_list.selected = sel;
        take_converter(sel);
        if (!converter_subnet_contains(sel, converter_list.ip[sel])) offer_auto_ip(dlg);
    }
    ui_end_dialog(dlg, 0);
}

void converter_list_on_ip_setting(UiWindow dlg)
{
    if (ui_message_box(dlg, "确定要修改VOK445X模块的IP地址?", "系统提示", UI_MB_YESNO | UI_ICON_WARNING) != UI_ID_YES)
        return;
    const int sel = ui_list_get_sel(dlg, IDC_CL_LIST);
    if (sel < 0 || sel >= converter_list.count) {
        error_notice(dlg, "445X模块IP参数读取错误!");
        return;
    }
    converter_list.selected = sel;
    if (ui_dialog_run(dlg, IDD_IP_SETTING, &ip_entry_handlers) != 1) return;
    ui_wait_cursor(1);
    if (udp_open() != 0 || converter_set_ip() != 0) {
        error_notice(dlg, "IP参数手动修改出现错误!");
    } else {
        udp_close();
        net_state.ip = ip_host_to_net(converter_list.ip[sel]);
        ip_to_text(net_state.ip, net_state.ip_text);
        system_notice(dlg, "IP参数修改完毕! 请等待8-10秒...");
        sleep_ms(CONVERTER_RESTART_MS);
        ui_end_dialog(dlg, 0);
    }
    ui_wait_cursor(0);
}
