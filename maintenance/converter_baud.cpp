// Network converter bus speed change after a module baud rate write.
#include "maintenance/converter_baud.h"

#include <stdio.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "app/title_menu.h"
#include "link/net_link.h"
#include "netsetup/converter_proto.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "platform/net.h"
#include "resources/resource_ids.h"

namespace {
// The link settings and address texts take the chosen converter's address and port, so the
// link opens again where the converter is.
void take_selected_converter(void)
{
    const int i = converter_list.selected;
    const uint32_t ip = converter_list.ip[i];
    snprintf(net_state.ip_text, sizeof net_state.ip_text, "%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF,
             (ip >> 8) & 0xFF, ip & 0xFF);
    snprintf(net_state.host_text, sizeof net_state.host_text, "%s", net_state.ip_text);
    ip_from_text(net_state.ip_text, &net_state.ip);
    link_settings.net_ip = net_state.ip;
    link_settings.net_port = converter_list.port[i];
    net_state.port_entered = converter_list.port[i];
}
}  // namespace

int change_converter_baud(UiWindow dlg, int baud_index)
{
    ui_wait_cursor(1);
    net_close();
    update_title_menu();  // the link stays closed until it is open again at the new speed
    if (udp_open() != 0) {
        ui_wait_cursor(0);
        error_notice(dlg, "网络操作出现错误! 请重新设置!");
        return 0;
    }
    // Refused without a converter chosen in a discovery: there is no record to write back.
    if (converter_set_baud(baud_index) != 0) {
        ui_wait_cursor(0);
        error_notice(dlg, "波特率修改出现错误! 请重新设置!");
        return 0;
    }
    link_settings.baud_index = baud_index;
    link_settings.net_baud_index = static_cast<uint8_t>(baud_index);
    take_selected_converter();
    converter_list.baud_code[converter_list.selected] = static_cast<uint8_t>(converter_speed_code(baud_index));
    udp_close();
    ui_message_box(dlg, "VOK445X波特率修改完毕!\r\n需等待8-10秒后,才可按新波特率工作.", "系统提示",
                   UI_MB_OK | UI_ICON_WARNING);
    sleep_ms(CONVERTER_RESTART_MS);
    if (net_open() != 0) {
        ui_wait_cursor(0);
        error_notice(dlg, "端口不存在或出现错误，请检查网络设置!");
        return 1;
    }
    ui_post_command(main_window.hwnd, IDM_SEARCH);
    update_title_menu();
    module_table.stale = 1;
    ui_wait_cursor(0);
    return 0;
}
