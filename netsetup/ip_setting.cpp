// IP setting dialog logic and the checks of a typed converter address.
#include "netsetup/ip_setting.h"

#include "app/dialogs.h"
#include "app/state.h"
#include "netsetup/converter_proto.h"
#include "resources/resource_ids.h"

namespace {
enum { ADDRESS_TEXT_MAX = 19 };

int refuse(UiWindow owner, const char *text, int code)
{
    error_notice(owner, text);
    return code;
}

// The selected converter's interface contains `ip` (host order).
int in_converter_subnet(uint32_t ip) { return converter_subnet_contains(converter_list.selected, ip); }

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_IP_CONFIRM) ip_entry_on_confirm(dlg);
    if (id == IDC_IP_EXIT) ui_end_dialog(dlg, 0);
}
}  // namespace

const UiDialogHandlers ip_entry_handlers = {ip_entry_on_init, on_command, nullptr, dialog_close};

int validate_new_ip(UiWindow dlg)
{
    const ConverterList &c = converter_list;
    const uint32_t x = ip_net_to_host(c.new_ip);
    if (x == 0x7F000000u) return refuse(dlg, "IP地址已被本机使用,请重新输入!", NEW_IP_LOOPBACK);
    if ((x >> 24) >= 224) return refuse(dlg, "IP地址类别范围错误(>=D类),请重新输入!", NEW_IP_CLASS);
    for (int j = 0; j < local_if.count; j++)
        if (local_if.addr[j] == c.new_ip) return refuse(dlg, "IP地址为本机地址,请重新输入!", NEW_IP_HOST);
    for (int j = 0; j < local_if.count; j++) {
        if (!local_if_contains(j, x)) continue;
        // A host part of 255 is refused as ever; all ones is the broadcast of any other mask too.
        const uint32_t host_bits = ~ip_net_to_host(local_if.mask[j]);
        const uint32_t host_part = x & host_bits;
        if (host_part == 0) return refuse(dlg, "IP地址为本局域网网名地址,请重新输入!", NEW_IP_NETWORK);
        if (host_part == 255 || host_part == host_bits)
            return refuse(dlg, "IP地址为本局域网广播地址,请重新输入!", NEW_IP_BROADCAST);
    }
    if (!in_converter_subnet(x)) return refuse(dlg, "此IP地址不在本子网内! 请请重新输入!", NEW_IP_OTHER_SUBNET);
    if (x == c.ip[c.selected]) return 0;
    const int probe = arp_probe();
    if (probe < 0) return refuse(main_window.hwnd, "IP 地址检测出现错误，请检查网络设置!", NEW_IP_PROBE_FAILED);
    if (probe == 1) return refuse(main_window.hwnd, "此IP地址已被局域网上其他设备使用，请重新输入!", NEW_IP_IN_USE);
    return 0;
}

void ip_entry_on_init(UiWindow dlg)
{
    const uint32_t ip = converter_list.ip[converter_list.selected];
    net_state.ip = ip_host_to_net(ip);
    char text[16];
    ip_to_text(net_state.ip, text);
    ui_set_text(dlg, IDC_IP_EDIT, text);
    ui_focus(dlg, IDC_IP_EDIT);
    if (!in_converter_subnet(ip)) {
        error_notice(dlg, "非本子网模块,请关闭<IP设定>,按<确定>!");
        ui_end_dialog(dlg, 0);
    }
}

void ip_entry_on_confirm(UiWindow dlg)
{
    char text[ADDRESS_TEXT_MAX + 1];
    ui_get_text(dlg, IDC_IP_EDIT, text, sizeof text);
    uint32_t ip = 0;
    if (ip_from_text(text, &ip) != 0 || ip == 0xFFFFFFFFu) {
        error_notice(dlg, "IP地址输入错误,请重新输入!");
        ui_focus(dlg, IDC_IP_EDIT);
        return;
    }
    converter_list.new_ip = ip;
    if (validate_new_ip(dlg) == 0) {
        ui_end_dialog(dlg, 1);
        return;
    }
    ui_focus(dlg, IDC_IP_EDIT);
}
