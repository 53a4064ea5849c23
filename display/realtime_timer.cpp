// Curve view sampling and buttons: the sample tick of timer 100 and the commands of the
// start, parameters, save curve and exit buttons.
#include "app/dialogs.h"
#include "app/title_menu.h"
#include "display/curve_params.h"
#include "display/realtime.h"
#include "display/snapshot.h"
#include "resources/resource_ids.h"

namespace {
void after_reader(UiWindow w, int failed)
{
    if (!failed) {
        ui_set_timer(w, TIMER_REALTIME, RefreshPeriodTable[real_time.period_index]);
        return;
    }
    ui_kill_timer(w, TIMER_REALTIME);
    real_time.points = real_time.max_points;
    system_notice(w, "模块忙或刷新周期太短,请增大刷新周期!");
}

void start_sweep(UiWindow w)
{
    real_time.points = 0;
    ui_invalidate(w);
    ui_set_timer(w, TIMER_REALTIME, RefreshPeriodTable[real_time.period_index]);
}

void open_parameters(UiWindow w)
{
    ui_kill_timer(w, TIMER_REALTIME);
    real_time.points = 0;
    const Module *m = realtime_module();
    if (has_curve_dialog(m))
        ui_dialog_run(w, IDD_CURVE_PARAMS, &curve_params_handlers);
    else if (uses_reader_b(m))
        ui_dialog_run(w, IDD_HUMIDITY_DISPLAY, &humidity_display_handlers);
    ui_invalidate(w);
}

void save_curve(UiWindow w)
{
    ui_wait_cursor(1);
    if (save_curve_snapshot(&curve_client_rect, w) != 0)
        ui_message_box(w, "文件存盘错误!", "错误提示", UI_MB_OK);
    ui_beep(UI_BEEP_WARNING);
    ui_wait_cursor(0);
}

void leave_view(UiWindow w)
{
    ui_kill_timer(w, TIMER_REALTIME);
    real_time.active = 0;
    enable_view_menu(w, 1);
    realtime_destroy_buttons(w);
    ui_invalidate(w);
}
}  // namespace

void realtime_on_tick(UiWindow w)
{
    ui_kill_timer(w, TIMER_REALTIME);
    // The readers are checked against the module and channel as they stand before each run.
    if (uses_reader_a(realtime_module(), real_time.channel)) after_reader(w, read_curve_sample_a(w));
    if (uses_reader_b(realtime_module())) after_reader(w, read_curve_sample_b(w));
    if (is_th_channel(realtime_module(), real_time.channel)) after_reader(w, read_curve_sample_c(w));
    if (real_time.points >= real_time.max_points) {
        real_time.points = 0;
        ui_kill_timer(w, TIMER_REALTIME);
    }
}

void realtime_on_command(UiWindow w, int id)
{
    if (id == IDC_RT_START) start_sweep(w);
    else if (id == IDC_RT_PARAMS) open_parameters(w);
    else if (id == IDC_RT_SAVE) save_curve(w);
    else if (id == IDC_RT_EXIT) leave_view(w);
}
