// Network converter bus speed change after a module baud rate write.
#include "maintenance/converter_baud.h"

#include <stdio.h>

#include "app/state.h"
#include "app/title_menu.h"
#include "link/net_link.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "resources/resource_ids.h"

ConverterOps converter_ops;

namespace {
// The converter restarts with its new settings; it answers again after 8-10 s.
enum { CONVERTER_RESTART_MS = 9000 };

void error_box(UiWindow dlg, const char *text)
{
    ui_message_box(dlg, text, "错误提示", UI_MB_OK | UI_ICON_WARNING);
}

// Speed code of a baud index in the converter's record: 0 = 38400 ... 4 = 2400.
int speed_code(int baud_index) { return 4 - baud_index; }
}  // namespace

int change_converter_baud(UiWindow dlg, int baud_index)
{
    const ConverterOps &ops = converter_ops;
    ui_wait_cursor(1);
    net_close();
    update_title();  // the link stays closed until it is open again at the new speed
    update_menu(main_window.hwnd);
    if (!ops.udp_open || ops.udp_open() != 0) {
        ui_wait_cursor(0);
        error_box(dlg, "网络操作出现错误! 请重新设置!");
        return 0;
    }
    uint32_t ip = 0;
    uint16_t port = 0;
    // Without a converter chosen in a discovery there is no record to write back.
    const int known = ops.selected && ops.selected(&ip, &port) == 0;
    if (!known && ops.udp_close) ops.udp_close();
    if (!known || !ops.set_baud || ops.set_baud(baud_index) != 0) {
        ui_wait_cursor(0);
        error_box(dlg, "波特率修改出现错误! 请重新设置!");
        return 0;
    }
    link_settings.baud_index = baud_index;
    link_settings.net_baud_index = static_cast<uint8_t>(baud_index);
    link_settings.net_ip = ip;
    link_settings.net_port = port;
    net_state.ip = ip;
    net_state.port_entered = port;
    ip_to_text(ip, net_state.ip_text);
    snprintf(net_state.host_text, sizeof net_state.host_text, "%s", net_state.ip_text);
    if (ops.store_baud_code) ops.store_baud_code(speed_code(baud_index));
    if (ops.udp_close) ops.udp_close();
    ui_message_box(dlg, "VOK445X波特率修改完毕!\r\n需等待8-10秒后,才可按新波特率工作.", "系统提示",
                   UI_MB_OK | UI_ICON_WARNING);
    sleep_ms(CONVERTER_RESTART_MS);
    if (net_open() != 0) {
        ui_wait_cursor(0);
        error_box(dlg, "端口不存在或出现错误，请检查网络设置!");
        return 1;
    }
    ui_post_command(main_window.hwnd, IDM_SEARCH);
    update_title();
    update_menu(main_window.hwnd);
    module_table.stale = 1;
    ui_wait_cursor(0);
    return 0;
}
