// Module reset: the &AA9 request and the countdown while the module counts its ITUs again.
#include "maintenance/reset.h"

#include <math.h>
#include <stdio.h>

#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

ResetCountdown reset_countdown;

namespace {
enum { COUNTDOWN_TICK_MS = 1000 };

void show_seconds(UiWindow dlg, int text_id, int seconds)
{
    char text[16];
    snprintf(text, sizeof text, "%02d", seconds);
    ui_set_text(dlg, text_id, text);
}
}  // namespace

const UiDialogHandlers reset_countdown_handlers = {reset_countdown_on_init, nullptr, reset_countdown_on_timer,
                                                   reset_countdown_on_close};

int reset_module(void)
{
    const Module &m = current_module();
    port_discard();
    ModuleReply reply;
    const int ok = module_request(CMD_SOFT_RESET, m.address, "9", 1, 0, REQ_CHECK_ALL, &reply) == REQ_OK;
    port_discard();
    return ok ? 0 : -1;
}

int reset_wait_seconds(int type_code, int model, int itu_total)
{
    if (type_code == 0x80 || type_code == 0x83 || type_code == 0x86) {
        if (is_4500(model)) return 6;
        // Each ITU takes about 30 / 512 s to be counted again; the product is kept in single
        // precision, so that the rounding matches the module's own figure.
        const float counting = static_cast<float>(itu_total * 30) * 0.001953125f;
        const int base = is_456x(model) ? 9 : 6;
        return static_cast<int>(ceilf(counting)) + base;
    }
    if (type_code == 0x82) return 8;
    return 6;
}

void countdown_start(UiWindow dlg, int timer_id, int text_id, int seconds)
{
    show_seconds(dlg, text_id, seconds);
    ui_beep(UI_BEEP_DEFAULT);
    ui_set_timer(dlg, timer_id, COUNTDOWN_TICK_MS);
}

void countdown_tick(UiWindow dlg, int timer_id, int text_id, int *seconds)
{
    if (--*seconds > 0) {
        ui_beep(UI_BEEP_DEFAULT);
        show_seconds(dlg, text_id, *seconds);
        return;
    }
    countdown_end(dlg, timer_id);
}

void countdown_end(UiWindow dlg, int timer_id)
{
    ui_kill_timer(dlg, timer_id);
    ui_end_dialog(dlg, 1);
}

void reset_countdown_on_init(UiWindow dlg)
{
    const Module &m = current_module();
    reset_countdown.seconds = reset_wait_seconds(m.type_code, m.model, m.itu_total);
    countdown_start(dlg, TIMER_RESET_COUNTDOWN, IDC_RESET_SECONDS, reset_countdown.seconds);
}

void reset_countdown_on_timer(UiWindow dlg, int timer_id)
{
    if (timer_id == TIMER_RESET_COUNTDOWN)
        countdown_tick(dlg, TIMER_RESET_COUNTDOWN, IDC_RESET_SECONDS, &reset_countdown.seconds);
}

void reset_countdown_on_close(UiWindow dlg) { countdown_end(dlg, TIMER_RESET_COUNTDOWN); }
