// Humidity display dialog (116) of model 4500, and the scale and period steps both curve
// dialogs share.
#include <stdio.h>

#include "display/curve_params.h"
#include "resources/resource_ids.h"

namespace {
enum { LAST_PERIOD_INDEX = REFRESH_PERIOD_COUNT - 1, MIN_PERIOD_4500 = 1 };

const CurveBar Bars[] = {
    {IDC_HD_HUM_LOW_BAR, IDC_HD_HUM_LOW, SCALE_HUM_LOW},
    {IDC_HD_HUM_HIGH_BAR, IDC_HD_HUM_HIGH, SCALE_HUM_HIGH},
    {IDC_HD_PERIOD_BAR, IDC_HD_PERIOD, SCALE_PERIOD},
};
enum { BAR_COUNT = sizeof Bars / sizeof Bars[0] };

// The scale value a bar steps; null for the period.
float *scale_value(int which)
{
    switch (which) {
    case SCALE_TEMP_LOW: return &real_time.temp_low;
    case SCALE_TEMP_HIGH: return &real_time.temp_high;
    case SCALE_HUM_LOW: return &real_time.hum_low;
    case SCALE_HUM_HIGH: return &real_time.hum_high;
    default: return nullptr;
    }
}

// Moves `value` by `step` when `allowed`; 1 when it moved.
int step_if(float &value, float step, bool allowed)
{
    if (!allowed) return 0;
    value += step;
    return 1;
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (curve_bars_command(dlg, Bars, BAR_COUNT, id, notify, MIN_PERIOD_4500)) return;
    if (notify != UI_CLICKED) return;
    if (id == IDC_HD_CONFIRM) humidity_display_on_confirm(dlg);
    else if (id == IDC_HD_EXIT) ui_end_dialog(dlg, IDC_HD_EXIT);
}

void on_close(UiWindow dlg) { ui_end_dialog(dlg, IDC_HD_EXIT); }
}  // namespace

const UiDialogHandlers humidity_display_handlers = {humidity_display_on_init, on_command, nullptr, on_close};

int curve_setting_step(int which, int up, int min_period)
{
    RealTime &r = real_time;
    switch (which) {
    case SCALE_TEMP_LOW:
        return up ? step_if(r.temp_low, 0.5f, r.temp_high - 0.5f > r.temp_low) : step_if(r.temp_low, -0.5f, r.temp_low > -55.0f);
    case SCALE_TEMP_HIGH:
        return up ? step_if(r.temp_high, 0.5f, r.temp_high < 125.0f) : step_if(r.temp_high, -0.5f, r.temp_high > r.temp_low + 0.5f);
    case SCALE_HUM_LOW:
        return up ? step_if(r.hum_low, 1.0f, r.hum_high - 1 > r.hum_low) : step_if(r.hum_low, -1.0f, r.hum_low > 0.0f);
    case SCALE_HUM_HIGH:
        return up ? step_if(r.hum_high, 1.0f, r.hum_high < 100.0f) : step_if(r.hum_high, -1.0f, r.hum_high > r.hum_low + 1);
    case SCALE_PERIOD:
        if (up && r.period_index < LAST_PERIOD_INDEX) r.period_index++;
        else if (!up && r.period_index > min_period) r.period_index--;
        else return 0;
        return 1;
    default:
        return 0;
    }
}

void curve_setting_text(int which, char *out, int cap)
{
    const float *v = scale_value(which);
    if (v) snprintf(out, static_cast<size_t>(cap), "%+04.1f", static_cast<double>(*v));
    else snprintf(out, static_cast<size_t>(cap), "%03.1f", RefreshPeriodTable[real_time.period_index] / 1000.0);
}

void curve_bars_show(UiWindow dlg, const CurveBar *bars, int count)
{
    for (int k = 0; k < count; ++k) {
        char text[16];
        curve_setting_text(bars[k].which, text, sizeof text);
        ui_set_text(dlg, bars[k].edit, text);
    }
}

int curve_bars_command(UiWindow dlg, const CurveBar *bars, int count, int id, int notify, int min_period)
{
    if (notify != UI_SCROLL_LINE_UP && notify != UI_SCROLL_LINE_DOWN) return 0;
    for (int k = 0; k < count; ++k) {
        if (bars[k].bar != id) continue;
        if (curve_setting_step(bars[k].which, notify == UI_SCROLL_LINE_UP, min_period)) curve_bars_show(dlg, &bars[k], 1);
        return 1;
    }
    return 0;
}

void humidity_display_on_init(UiWindow dlg)
{
    real_time.period_index = 1;
    ui_check(dlg, IDC_HD_VALUE0, 1);
    ui_check(dlg, IDC_HD_VALUE1, 1);
    curve_bars_show(dlg, Bars, BAR_COUNT);
    ui_focus(dlg, IDC_HD_CONFIRM);
}

void humidity_display_on_confirm(UiWindow dlg)
{
    real_time.curve_itu[0] = ui_is_checked(dlg, IDC_HD_VALUE0) ? 0 : -1;
    real_time.curve_itu[1] = ui_is_checked(dlg, IDC_HD_VALUE1) ? 1 : -1;
    real_time.restart = 0;
    ui_end_dialog(dlg, IDC_HD_CONFIRM);
}
