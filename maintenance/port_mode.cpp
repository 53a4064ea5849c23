// Storage and search mode switch of the current module and the restart countdown.
#include "maintenance/port_mode.h"

#include <math.h>
#include <stdio.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "maintenance/reset.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

ModeSwitch mode_switch;

namespace {
const char *const CaptionNotice = "系统提示";
enum { MODE_SEARCH = 0, MODE_STORAGE = 1, COUNTDOWN_MIN_S = 8 };

// Sends the switch; on success the countdown runs (owned by the main window, which then
// searches the bus again) and the dialog ends with 1.
void switch_mode(UiWindow dlg, char command, int to_search)
{
    if (send_mode_switch(command) != 0) {
        system_notice(dlg, "模块应答错误，请重试一次!");
        return;
    }
    mode_switch.to_search = to_search;
    ui_dialog_run(main_window.hwnd, IDD_MODE_COUNTDOWN, &mode_countdown_handlers);
    ui_post_command(main_window.hwnd, IDM_SEARCH);
    ui_end_dialog(dlg, 1);
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_PM_STORAGE) port_mode_on_storage(dlg);
    else if (id == IDC_PM_SEARCH) port_mode_on_search(dlg);
    else if (id == IDC_PM_EXIT) ui_end_dialog(dlg, 0);
}

void countdown_on_close(UiWindow dlg) { countdown_end(dlg, TIMER_MODE_COUNTDOWN); }
}  // namespace

const UiDialogHandlers port_mode_handlers = {port_mode_on_init, on_command, nullptr, dialog_close};
const UiDialogHandlers mode_countdown_handlers = {mode_countdown_on_init, nullptr, mode_countdown_on_timer,
                                                  countdown_on_close};

void port_mode_on_init(UiWindow dlg)
{
    char text[16];
    snprintf(text, sizeof text, " %1d", current_module().mode);
    ui_set_text(dlg, IDC_PM_MODE, text);
    ui_focus(dlg, IDC_PM_EXIT);
}

void port_mode_on_storage(UiWindow dlg)
{
    if (current_module().mode == MODE_STORAGE) {
        ui_message_box(dlg, "模块当前即为存储模式!", CaptionNotice, UI_MB_OK);
        return;
    }
    switch_mode(dlg, 'W', 0);
}

void port_mode_on_search(UiWindow dlg)
{
    if (current_module().mode == MODE_SEARCH) {
        ui_message_box(dlg, "模块当前即为搜索模式!", CaptionNotice, UI_MB_OK);
        return;
    }
    switch_mode(dlg, 'N', 1);
}

int send_mode_switch(char command)
{
    port_discard();
    ModuleReply reply;
    const int r = module_request(command == 'W' ? CMD_STORAGE_MODE : CMD_SEARCH_MODE, current_module().address,
                                 &command, 1, 0, REQ_CHECK_LEAD, &reply);
    return r == REQ_NO_REPLY ? 1 : r == REQ_OK ? 0 : 2;
}

int mode_countdown_seconds(int itu_total, int to_search)
{
    // The module's own estimate, taken in single precision as it is.
    const double product = to_search ? itu_total * 50 * 0.001953125 : itu_total * 0.07 * 0.0625;
    return static_cast<int>(ceilf(static_cast<float>(product))) + COUNTDOWN_MIN_S;
}

void mode_countdown_on_init(UiWindow dlg)
{
    mode_switch.seconds = mode_countdown_seconds(current_module().itu_total, mode_switch.to_search);
    countdown_start(dlg, TIMER_MODE_COUNTDOWN, IDC_PM_SECONDS, mode_switch.seconds);
}

void mode_countdown_on_timer(UiWindow dlg, int timer_id)
{
    if (timer_id == TIMER_MODE_COUNTDOWN)
        countdown_tick(dlg, TIMER_MODE_COUNTDOWN, IDC_PM_SECONDS, &mode_switch.seconds);
}
