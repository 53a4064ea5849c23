// Curve parameters dialog (110): curve channel, the four curve slots with their candidate
// ITUs, temperature or humidity curves, the two scales and the sampling step.
#include "display/curve_params.h"

#include <stdio.h>

#include "app/dialogs.h"
#include "app/settings.h"
#include "display/realtime.h"
#include "display/sensor_ids.h"
#include "protocol/model_caps.h"
#include "resources/resource_ids.h"

CurveCandidates curve_candidates;

namespace {
const int TempControls[] = {IDC_CP_TEMP_LOW, IDC_CP_TEMP_HIGH, IDC_CP_TEMP_LOW_BAR, IDC_CP_TEMP_HIGH_BAR};
const int HumControls[] = {IDC_CP_HUM_LOW, IDC_CP_HUM_HIGH, IDC_CP_HUM_LOW_BAR, IDC_CP_HUM_HIGH_BAR};

const CurveBar Bars[] = {
    {IDC_CP_TEMP_LOW_BAR, IDC_CP_TEMP_LOW, SCALE_TEMP_LOW},
    {IDC_CP_TEMP_HIGH_BAR, IDC_CP_TEMP_HIGH, SCALE_TEMP_HIGH},
    {IDC_CP_HUM_LOW_BAR, IDC_CP_HUM_LOW, SCALE_HUM_LOW},
    {IDC_CP_HUM_HIGH_BAR, IDC_CP_HUM_HIGH, SCALE_HUM_HIGH},
    {IDC_CP_PERIOD_BAR, IDC_CP_PERIOD, SCALE_PERIOD},
};
enum { BAR_COUNT = sizeof Bars / sizeof Bars[0] };

IdList unit_ids;  // lines of the last enumeration (the dialog shows none of them)

// Positions the curve lists offer, in list order, for the present mode; their count.
int offered[UNITS_PER_CHANNEL];
int offered_count;

void enable_mode_controls(UiWindow dlg, int temperature)
{
    for (int id : TempControls) ui_enable(dlg, id, temperature);
    for (int id : HumControls) ui_enable(dlg, id, !temperature);
}

// Reads the units of the curve channel with the enumeration its module uses. Returns the
// number of units read, 0 when the channel has none or the read failed (said as the data
// display says it: a beep, or the no-answer message).
int enumerate_channel(UiWindow dlg, Module *m, int channel)
{
    int reader = model_caps(m->model)->th_itus || is_456x(m->model) ? ID_READER_ITUS : ID_READER_SENSORS;
    int result = read_unit_ids(reader, m, channel, &unit_ids);
    if (result == IDS_NO_REPLY) system_notice(dlg, "模块未应答，请重试一次!");
    else if (result != IDS_OK) ui_beep(UI_BEEP_WARNING);
    return result == IDS_OK ? unit_ids.count : 0;
}

// The list of positions offered in the present mode.
void choose_offered(const Module *m, int channel, int units)
{
    offered_count = 0;
    if (real_time.show_temperature == 0) {
        for (int k = 0; k < curve_candidates.hum_count; ++k) offered[offered_count++] = curve_candidates.hum[k];
    } else if (is_th_channel(m, channel)) {
        for (int k = 0; k < curve_candidates.th_count; ++k) offered[offered_count++] = curve_candidates.th[k];
    } else {
        for (int k = 0; k < units && k < UNITS_PER_CHANNEL; ++k) offered[offered_count++] = k;
    }
}

int offered_index(int position)
{
    for (int k = 0; k < offered_count; ++k)
        if (offered[k] == position) return k;
    return -1;
}

void fill_curve_lists(UiWindow dlg)
{
    int shown = offered_count < CURVE_SLOTS ? offered_count : CURVE_SLOTS;
    for (int i = 0; i < CURVE_SLOTS; ++i) {
        ui_combo_reset(dlg, IDC_CP_CURVE1 + i);
        if (i >= shown) {
            // Nothing to choose from: the slot cannot keep an ITU the list cannot show.
            real_time.curve_itu[i] = -1;
            ui_enable(dlg, IDC_CP_CURVE1 + i, 0);
            continue;
        }
        for (int k = 0; k < offered_count; ++k) {
            char text[8];
            snprintf(text, sizeof text, "%2d", offered[k]);
            ui_combo_add(dlg, IDC_CP_CURVE1 + i, text);
        }
        // A new slot follows the i-th entry offered: position i, or the i-th candidate.
        if (real_time.curve_itu[i] == -1) real_time.curve_itu[i] = offered[i];
        ui_combo_set_sel(dlg, IDC_CP_CURVE1 + i, offered_index(real_time.curve_itu[i]));
        ui_enable(dlg, IDC_CP_CURVE1 + i, 1);
    }
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (curve_bars_command(dlg, Bars, BAR_COUNT, id, notify, real_time.min_period_index)) return;
    if (id == IDC_CP_CHANNEL && notify == UI_SELCHANGE) curve_params_on_channel(dlg);
    if (notify != UI_CLICKED) return;
    if (id == IDC_CP_SHOW_TEMP) curve_params_on_mode(dlg, 1);
    else if (id == IDC_CP_SHOW_HUM) curve_params_on_mode(dlg, 0);
    else if (id == IDC_CP_CONFIRM) curve_params_on_confirm(dlg);
    else if (id == IDC_CP_EXIT) ui_end_dialog(dlg, IDC_CP_EXIT);
}

void on_close(UiWindow dlg) { ui_end_dialog(dlg, IDC_CP_EXIT); }
}  // namespace

const UiDialogHandlers curve_params_handlers = {curve_params_on_init, on_command, nullptr, on_close};

void build_curve_candidates(const Module *m, int channel)
{
    curve_candidates.hum_count = 0;
    curve_candidates.th_count = 0;
    if (channel < 0 || channel >= CHANNEL_COUNT) return;
    int units = m->itu_count[channel] < static_cast<int>(UNITS_PER_CHANNEL) ? m->itu_count[channel] : static_cast<int>(UNITS_PER_CHANNEL);
    int th = is_th_channel(m, channel);
    // Model 4103's channels 1 and 2 carry temperature-humidity modules (0x89), every one of
    // which gives a humidity.
    const ModelCaps *caps = model_caps(m->model);
    int units4103 = caps->itu_modules && (channel == 1 || channel == 2);
    for (int p = 0; p < units; ++p) {
        int t = ItuTypeTable[channel][p];
        int hum = th ? (t == 0 || t == 1)
                     : caps->humidity ? t == 0x26 : units4103 && t == 0x89;
        if (hum) curve_candidates.hum[curve_candidates.hum_count++] = p;
        if (th && t == 1) curve_candidates.th[curve_candidates.th_count++] = p;
    }
}

void curve_params_on_init(UiWindow dlg)
{
    update_channel_kinds();
    int model = realtime_module()->model;
    if (model_caps(model)->fast_curve) {
        real_time.min_period_index = 0;
    } else if (real_time.period_index < 1) {
        real_time.min_period_index = 1;
        real_time.period_index = 1;
    }
    curve_params_fill(dlg);
    ui_focus(dlg, IDC_CP_CONFIRM);
}

void curve_params_fill(UiWindow dlg)
{
    Module *m = realtime_module();
    int channel = real_time.channel;
    ui_combo_reset(dlg, IDC_CP_CHANNEL);
    for (int k = 0; k < CHANNEL_COUNT; ++k) {
        char text[8];
        snprintf(text, sizeof text, "CH%d", k);
        ui_combo_add(dlg, IDC_CP_CHANNEL, text);
    }
    ui_combo_set_sel(dlg, IDC_CP_CHANNEL, channel);
    curve_bars_show(dlg, Bars, BAR_COUNT);

    ui_enable(dlg, IDC_CP_SHOW_TEMP, 1);
    const int humidity = humidity_allowed(m, channel) ? 1 : 0;
    ui_enable(dlg, IDC_CP_SHOW_HUM, humidity);
    if (!humidity) real_time.show_temperature = 1;
    ui_check(dlg, IDC_CP_SHOW_TEMP, real_time.show_temperature == 1);
    ui_check(dlg, IDC_CP_SHOW_HUM, real_time.show_temperature == 0);
    enable_mode_controls(dlg, real_time.show_temperature == 1);

    int units = enumerate_channel(dlg, m, channel);
    build_curve_candidates(m, channel);
    if (real_time.restart == 1)
        for (int &slot : real_time.curve_itu) slot = -1;
    offered_count = 0;
    if (units > 0) choose_offered(m, channel, units);
    fill_curve_lists(dlg);
}

void curve_params_on_channel(UiWindow dlg)
{
    int sel = ui_combo_get_sel(dlg, IDC_CP_CHANNEL);
    if (sel < 0 || sel >= CHANNEL_COUNT) return;
    real_time.restart = 1;
    const Module *m = realtime_module();
    // Type code 130 modules read only CH0, except model 4103.
    real_time.channel = m->type_code == 130 && !model_caps(m->model)->itu_modules ? 0 : sel;
    curve_params_fill(dlg);
}

void curve_params_on_mode(UiWindow dlg, int temperature)
{
    enable_mode_controls(dlg, temperature);
    real_time.show_temperature = temperature;
    real_time.restart = 1;
    curve_params_fill(dlg);
}

void curve_params_on_confirm(UiWindow dlg)
{
    int sel = ui_combo_get_sel(dlg, IDC_CP_CHANNEL);
    if (sel >= 0 && sel < CHANNEL_COUNT) real_time.channel = sel;
    for (int i = 0; i < CURVE_SLOTS; ++i) {
        if (real_time.curve_itu[i] == -1) continue;
        int a = ui_combo_get_sel(dlg, IDC_CP_CURVE1 + i);
        real_time.curve_itu[i] = a >= 0 && a < offered_count ? offered[a] : -1;
    }
    real_time.restart = 0;
    ui_end_dialog(dlg, IDC_CP_CONFIRM);
}
