// Main window logic: the hub that opens every dialog, draws the grid and closes the link.
#include "app/main_window.h"

#include <string.h>

#include "app/settings.h"
#include "app/title_menu.h"
#include "display/module_grid.h"
#include "display/search.h"
#include "link/link_state.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "netsetup/comm_settings.h"
#include "protocol/model_caps.h"
#include "resources/resource_ids.h"

MainWindowFeatures main_window_features;
UiRect main_window_rect;
UiRect main_client_rect;

namespace {
const char *const CaptionNotice = "系统提示";
const char *const CaptionError = "错误提示!";

// Closes whichever link is open: the TCP link for the network converter, else the COM port.
void close_link(void)
{
    if (link_state.open != 1) return;
    if (link_settings.converter_type == CONVERTER_NET)
        net_close();
    else
        port_close();
}

void run_dialog(UiWindow w, int resource_id, const UiDialogHandlers *h)
{
    if (h) ui_dialog_run(w, resource_id, h);
}

void enter_realtime(UiWindow w)
{
    const Module &m = current_module();
    const char *advice = fault_advice_text(m.fault_state, m.chan_error, m.chan_warning);
    if (advice) ui_message_box(w, advice, CaptionNotice, UI_MB_OK | UI_ICON_WARNING);
    enable_view_menu(w, 0);
    real_time.active = 1;
    real_time.max_points = 300;
    if (module_table.current != real_time.module) {
        real_time.restart = 1;
        real_time.channel = 0;
        real_time.module = module_table.current;
    }
    ui_invalidate(w);
}
}  // namespace

int main_window_on_create(UiWindow w)
{
    if (ui_screen_width() < 800) {
        ui_beep(UI_BEEP_WARNING);
        ui_message_box(w, "Your Screen size must > 800 X 600!", CaptionError, UI_MB_OK);
        ui_post_quit(0);
        return -1;
    }
    main_window.hwnd = w;
    link_set_change_handler(title_menu_link_changed);
    ui_current_directory(main_window.start_dir, START_DIR_MAX + 1);
    if (settings_load() != SETTINGS_OK) {
        ui_message_box(w, "通讯配置读取错误，调用缺省配置!", CaptionNotice, UI_MB_OK);
        settings_apply_defaults();
    }
    module_table.count = 0;
    module_table.ready = 0;
    module_table.scan_pos = 0;

    ui_get_window_rect(w, &main_window_rect);
    ui_get_client_rect(w, &main_client_rect);
    if (main_window_features.create_drawing) main_window_features.create_drawing();
    memset(RxBuffer, 0, sizeof RxBuffer);
    link_state.open = 0;
    grid_load_icons();
    if (main_window_features.compute_plot) main_window_features.compute_plot(&main_client_rect);
    update_menu(w);
    return 0;
}

void main_window_on_size(UiWindow w)
{
    ui_move_window(w, &main_window_rect);
    ui_invalidate(w);
}

void main_window_on_paint(UiWindow w, GfxCanvas c)
{
    if (real_time.active == 1) {
        if (main_window_features.realtime_paint) main_window_features.realtime_paint(w, c);
        return;
    }
    draw_module_grid(c, main_client_rect.right, main_client_rect.bottom);
}

// The mouse actions belong to the module grid: while the curve view covers it, a click must
// not switch the module being sampled nor open a module dialog (the menu greys those too).
void main_window_on_lbutton(UiWindow w, int x, int y)
{
    if (module_table.ready != 1 || real_time.active == 1) return;
    int index = module_cell_at(y, x);
    if (index < 0) return;
    module_table.current = index;
    ui_invalidate(w);
}

void main_window_on_dblclk(UiWindow w, int x, int y)
{
    if (module_table.ready != 1 || real_time.active == 1) return;
    if (hit_test_module(y, x) == 0) run_dialog(w, IDD_DATA_DISPLAY, main_window_features.data_display);
}

void main_window_on_rbutton(UiWindow w, int x, int y)
{
    if (module_table.ready != 1 || real_time.active == 1) return;
    if (hit_test_module(y, x) == 0) run_dialog(w, IDD_MODULE_PARAMS, main_window_features.module_params);
}

void main_window_on_timer(UiWindow w, int timer_id)
{
    if (timer_id == TIMER_REALTIME && main_window_features.realtime_tick) main_window_features.realtime_tick(w);
}

void main_window_on_command(UiWindow w, int id)
{
    switch (id) {
    case IDM_COMM: {
        int result = ui_dialog_run(w, IDD_COMM_SETTINGS, &comm_settings_handlers);
        if (result == IDC_COMM_OPEN || link_state.open == 0) {
            module_table.ready = 0;
            module_table.count = 0;
            module_table.scan_pos = 0;
            ui_invalidate(w);
        }
        break;
    }
    case IDM_SEARCH:
        ui_dialog_run(w, IDD_SEARCH, &search_handlers);
        module_table.current = 0;
        ui_invalidate(w);
        break;
    case IDM_PARAMS:
        if (module_table.ready == 1) run_dialog(w, IDD_MODULE_PARAMS, main_window_features.module_params);
        break;
    case IDM_DATA:
        if (module_table.ready == 1) run_dialog(w, IDD_DATA_DISPLAY, main_window_features.data_display);
        break;
    case IDM_REALTIME:
        // Without the curve view there is nothing to switch to: greying the menu would leave
        // only the exit command.
        if (module_table.ready == 1 && main_window_features.realtime_paint) enter_realtime(w);
        break;
    case IDM_TERMINAL:
        run_dialog(w, IDD_TERMINAL, main_window_features.terminal);
        break;
    case IDM_RESET:
        if (!main_window_features.reset_module) break;
        if (main_window_features.reset_module() != 0) {
            ui_message_box(w, "复位错误! 请重新操作!", CaptionNotice, UI_MB_OK | UI_ICON_WARNING);
        } else {
            run_dialog(w, IDD_RESET_COUNTDOWN, main_window_features.reset_countdown);
            ui_post_command(w, IDM_SEARCH);
        }
        break;
    case IDM_EXIT:
        close_link();
        ui_send_close(w);
        break;
    case IDM_IO:
        if (model_caps(current_module().model)->io_dialog == IO_DIGITAL_4500)
            run_dialog(w, IDD_DIGITAL_IO, main_window_features.digital_io);
        else if (model_caps(current_module().model)->io_dialog == IO_TEST_4501)
            run_dialog(w, IDD_IO_TEST, main_window_features.io_test);
        break;
    case IDC_RT_START:
    case IDC_RT_PARAMS:
    case IDC_RT_EXIT:
    case IDC_RT_SAVE:
        if (main_window_features.realtime_command) main_window_features.realtime_command(w, id);
        break;
    default:
        break;
    }
}

void main_window_on_close(UiWindow w)
{
    close_link();
    if (main_window_features.delete_drawing) main_window_features.delete_drawing();
    if (real_time.buttons_shown && main_window_features.realtime_destroy_buttons)
        main_window_features.realtime_destroy_buttons(w);
    if (settings_save(w) != SETTINGS_OK)
        ui_message_box(w, "通讯口配置保存错误!", CaptionError, UI_MB_OK);
    ui_post_quit(0);
}
