// Data display dialog: opening, channel and period buttons, Start/Stop and the refresh
// timer, list notifications, save and exit. The readers live in data_display_lists.cpp.
#include "display/data_display.h"

#include <stdio.h>
#include <string.h>

#include "app/fault_advice.h"
#include "app/settings.h"
#include "display/realtime.h"
#include "display/sensor_list_file.h"
#include "platform/clock.h"
#include "protocol/model_caps.h"
#include "resources/resource_ids.h"

const int DataDisplayPeriodTable[DATA_DISPLAY_PERIOD_COUNT] = {500, 1500, 3000};
DataDisplay data_display = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
AutoSort auto_sort = {1, 32.0f, 0, 0, 63};
DataDisplayHooks data_display_hooks;

namespace {
const char *const CaptionNotice = "系统提示";
const char *const NoSensorOnChannel = "此通道无传感器!";
enum { NET_PAUSE_MS = 1200, ITU_OUTPUT_SETTLE_MS = 30, ITU_OUTPUT_SETTLE_UNITS = 40 };

const int NumberingControls[] = {IDC_DD_SORT_PARAMS, IDC_DD_INDEX, IDC_DD_NEW_NUMBER,
                                 IDC_DD_SET_NUMBER, IDC_DD_CANCEL_NUMBER, IDC_DD_DOWNLOAD};

int is_fast_model(int model) { return model_caps(model)->fast_refresh; }
int numbered_family(const Module &m) { return is_family_type(m.type_code) || is_4501(m.model); }

int &current_channel() { return channel_kind.current_channel; }

int first_channel_with_units(const Module &m)
{
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        if (m.itu_count[c] > 0) return c;
    return 0;
}

int channel_has_units(const Module &m, int c)
{
    if (c == CHANNEL_COUNT) return m.itu_total > 0;
    return c >= 0 && c < CHANNEL_COUNT && m.itu_count[c] > 0;
}

void set_numbering_fields_00(UiWindow dlg)
{
    ui_set_text(dlg, IDC_DD_INDEX, "00");
    ui_set_text(dlg, IDC_DD_NEW_NUMBER, "00");
}

void enable_numbering_controls(UiWindow dlg, int enabled)
{
    for (int id : NumberingControls) ui_enable(dlg, id, enabled);
}

// The period buttons a model may use; with the network converter the change of state is
// followed by a pause that lets the converter settle.
void enable_periods(UiWindow dlg, int enabled, int with_pause)
{
    const int fast = is_fast_model(displayed_module().model);
    for (int id = fast ? IDC_DD_P05 : IDC_DD_P15; id <= IDC_DD_P30; ++id) ui_enable(dlg, id, enabled);
    if (!fast && with_pause && link_settings.converter_type == CONVERTER_NET) sleep_ms(NET_PAUSE_MS);
}

// Idle: Start can be pressed again, Stop not.
void show_idle(UiWindow dlg)
{
    ui_enable(dlg, IDC_DD_START, 1);
    ui_enable(dlg, IDC_DD_STOP, 0);
}

void stop_refresh(UiWindow dlg)
{
    data_display.refreshing = 0;
    ui_kill_timer(dlg, TIMER_DATA_DISPLAY);
    show_idle(dlg);
}

void set_end_index(const Module &m, int c)
{
    // Nothing reads the end index while all channels are shown: it keeps its value.
    if (c < 0 || c >= CHANNEL_COUNT) return;
    auto_sort.end_index = static_cast<uint8_t>(m.itu_count[c] > 0 ? m.itu_count[c] - 1 : 0);
}

void clear_selection_state(void)
{
    memset(numbering.changed, 0, sizeof numbering.changed);
    data_display.next_number = auto_sort.start_index;
    data_display.selected = 0;
    data_display.top_index = 0;
}

// Model 4500 has two fixed readings on channel 3, read as two 1-Wire temperature records.
void read_fixed_4500(UiWindow dlg)
{
    Module &m = displayed_module();
    m.itu_count[3] = 2;
    current_channel() = 3;
    ItuTypeTable[3][0] = 0x28;
    ItuTypeTable[3][1] = 0x28;
    read_sensor_values(dlg, 3);
}

void read_ids_and_values(UiWindow dlg, int c)
{
    read_sensor_ids(dlg, c);
    read_sensor_values(dlg, c);
}

// Start's fresh lists: IDs, then readings only when the IDs came, so that one failure shows
// one message. 0 when both were read, else the failing reader's result.
int read_fresh_lists(UiWindow dlg, const Module &m, int c)
{
    int r = 0;
    if (numbered_family(m)) {
        r = read_sensor_ids(dlg, c);
        return r != 0 ? r : read_sensor_values(dlg, c);
    }
    if (is_itu_model(m.model)) {
        r = list_itus(dlg, c);
        return r != 0 ? r : read_itu_values(dlg);
    }
    return is_456x(m.model) ? show_channel_fresh(dlg) : 0;
}

void run_hook(UiWindow dlg, void (*hook)(UiWindow))
{
    if (hook) hook(dlg);
}

// Numbering buttons: only for a channel with units.
void on_numbering(UiWindow dlg, int id)
{
    const int c = current_channel();
    if (!channel_has_units(displayed_module(), c)) {
        ui_message_box(dlg, NoSensorOnChannel, CaptionNotice, UI_MB_OK);
        return;
    }
    if (id == IDC_DD_SET_NUMBER) run_hook(dlg, data_display_hooks.set_number);
    else if (id == IDC_DD_CANCEL_NUMBER) run_hook(dlg, data_display_hooks.cancel_number);
    else if (id == IDC_DD_DOWNLOAD) run_hook(dlg, data_display_hooks.download);
    else if (id == IDC_DD_SORT_PARAMS && c < CHANNEL_COUNT) run_hook(dlg, data_display_hooks.sort_params);
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (id == IDC_DD_ID_LIST || id == IDC_DD_READINGS) {
        if (notify == UI_SELCHANGE) data_display_on_select(dlg, id);
        else if (notify == UI_DBLCLK) data_display_on_dblclk(dlg, id);
        return;
    }
    if (notify != UI_CLICKED) return;
    if (id >= IDC_DD_CH0 && id <= IDC_DD_ALL) data_display_on_channel(dlg, id - IDC_DD_CH0);
    else if (id >= IDC_DD_P05 && id <= IDC_DD_P30) data_display_on_period(dlg, id - IDC_DD_P05);
    else if (id == IDC_DD_START) data_display_on_start(dlg);
    else if (id == IDC_DD_STOP) data_display_on_stop(dlg);
    else if (id == IDC_DD_SAVE) data_display_on_save(dlg);
    else if (id == IDC_DD_EXIT) data_display_on_exit(dlg);
    else if (id == IDC_DD_SET_NUMBER || id == IDC_DD_CANCEL_NUMBER || id == IDC_DD_DOWNLOAD ||
             id == IDC_DD_SORT_PARAMS)
        on_numbering(dlg, id);
}

void end_display(UiWindow dlg, int result)
{
    data_display.refreshing = 0;
    ui_kill_timer(dlg, TIMER_DATA_DISPLAY);
    ui_end_dialog(dlg, result);
}

void on_close(UiWindow dlg) { end_display(dlg, UI_ID_CANCEL); }
}  // namespace

const UiDialogHandlers data_display_handlers = {data_display_open, on_command, data_display_on_timer, on_close};

void data_display_reset(void)
{
    memset(&data_display, 0, sizeof data_display);
    data_display.period_index = 1;
    auto_sort = AutoSort{1, 32.0f, 0, 0, 63};
}

void update_numbering_controls(UiWindow dlg)
{
    // The numbered families, and the 1-Wire channels of models 4562/4563 (channel 8 never is one).
    const Module &m = displayed_module();
    enable_numbering_controls(dlg, m.sort_valid == 1 && uses_reader_a(&m, current_channel()));
}

void data_display_open(UiWindow dlg)
{
    Module &m = displayed_module();
    const char *advice = fault_advice_text(m.fault_state, m.chan_error, m.chan_warning);
    if (advice) ui_message_box(dlg, advice, CaptionNotice, UI_MB_OK | UI_ICON_WARNING);

    for (int n = 0; n < CHANNEL_COUNT; ++n) ui_show(dlg, IDC_DD_ITU_MARK0 + n, 0);
    update_channel_kinds();
    for (int n = 0; n < CHANNEL_COUNT; ++n)
        if (is_4500(m.model) || (m.chan_state & BitMask[n]) == 0) ui_show(dlg, IDC_DD_MARK0 + n, 0);

    data_display.refreshing = 0;
    data_display.keep_top = 0;
    current_channel() = 0;
    show_idle(dlg);
    if (is_fast_model(m.model)) {
        ui_enable(dlg, IDC_DD_P05, 1);
    } else {
        ui_enable(dlg, IDC_DD_P05, 0);
        if (data_display.period_index < 1) data_display.period_index = 1;
    }
    // "1.5 s" is shown at every opening; the stored period still applies at the next start.
    for (int id = IDC_DD_P05; id <= IDC_DD_P30; ++id) ui_check(dlg, id, id == IDC_DD_P15);

    ui_wait_cursor(1);
    if (is_4500(m.model)) read_fixed_4500(dlg);
    if (numbered_family(m)) {
        current_channel() = first_channel_with_units(m);
        set_numbering_fields_00(dlg);
        read_ids_and_values(dlg, current_channel());
    }
    ui_wait_cursor(0);
    clear_selection_state();

    if (is_itu_model(m.model)) {
        current_channel() = first_channel_with_units(m);
        list_itus(dlg, current_channel());
        read_itu_values(dlg);
    }
    if (is_456x(m.model)) {
        for (int n = 0; n < CHANNEL_COUNT; ++n) {
            if (channel_kind.a[n] == 0) ui_show(dlg, IDC_DD_MARK0 + n, 0);
            if (channel_kind.b[n] == 1) ui_show(dlg, IDC_DD_ITU_MARK0 + n, 1);
        }
        current_channel() = first_channel_with_units(m);
        if (channel_kind.a[current_channel()] == 1) set_numbering_fields_00(dlg);
        show_channel(dlg, 1);
    }
    update_numbering_controls(dlg);
    ui_focus(dlg, IDC_DD_EXIT);
}

void data_display_on_channel(UiWindow dlg, int c)
{
    if (c < 0 || c > CHANNEL_COUNT) return;
    Module &m = displayed_module();
    ui_wait_cursor(1);
    if (data_display.refreshing == 1) stop_refresh(dlg);
    enable_periods(dlg, 1, 1);

    if (is_4500(m.model)) {
        read_fixed_4500(dlg);
        auto_sort.start_index = 0;
        auto_sort.end_index = 0;
    }
    if (m.type_code == 128 || m.type_code == 131 || is_4501(m.model)) {
        current_channel() = c;
        read_ids_and_values(dlg, c);
        set_numbering_fields_00(dlg);
        set_end_index(m, c);
    }
    if (model_caps(m.model)->sensor_channels < CHANNEL_COUNT) {
        current_channel() = c;
        enable_numbering_controls(dlg, c == 0);
        read_ids_and_values(dlg, c);
        set_numbering_fields_00(dlg);
        set_end_index(m, c);
    }
    if (is_itu_model(m.model)) {
        current_channel() = c;
        list_itus(dlg, c);
        read_itu_values(dlg);
        set_numbering_fields_00(dlg);
        set_end_index(m, c);
    }
    if (is_456x(m.model)) {
        current_channel() = c;
        if (channel_kind.a[c] == 1) set_numbering_fields_00(dlg);
        show_channel(dlg, 1);
        set_end_index(m, c);
    }
    if (current_channel() < CHANNEL_COUNT) update_numbering_controls(dlg);
    if (c == CHANNEL_COUNT) enable_numbering_controls(dlg, 0);
    ui_wait_cursor(0);
    clear_selection_state();
}

void data_display_on_period(UiWindow, int index)
{
    if (index >= 0 && index < DATA_DISPLAY_PERIOD_COUNT) data_display.period_index = index;
}

void data_display_on_start(UiWindow dlg)
{
    const Module &m = displayed_module();
    const int c = current_channel();
    if (!channel_has_units(m, c)) {
        ui_message_box(dlg, NoSensorOnChannel, CaptionNotice, UI_MB_OK);
        ui_invalidate(dlg);
        return;
    }
    enable_periods(dlg, 0, 1);
    data_display.next_number = auto_sort.start_index;
    data_display.selected = 0;
    data_display.top_index = 0;
    if (auto_sort.enabled == 1) memset(numbering.changed, 0, sizeof numbering.changed);

    // Fresh lists, read before the refresh runs, so that each tick rewrites them in place.
    // When they fail the refresh never starts: the reader's message was the only one, and
    // the Stop a reader posts may already have run inside that message's box.
    if (read_fresh_lists(dlg, m, c) != 0) {
        enable_periods(dlg, 1, 0);
        stop_refresh(dlg);
        ui_invalidate(dlg);
        return;
    }
    data_display.refreshing = 1;
    ui_set_timer(dlg, TIMER_DATA_DISPLAY, DataDisplayPeriodTable[data_display.period_index]);
    ui_enable(dlg, IDC_DD_START, 0);
    ui_enable(dlg, IDC_DD_STOP, 1);
    ui_invalidate(dlg);
}

void data_display_on_stop(UiWindow dlg)
{
    if (!channel_has_units(displayed_module(), current_channel())) {
        ui_message_box(dlg, NoSensorOnChannel, CaptionNotice, UI_MB_OK);
        return;
    }
    enable_periods(dlg, 1, 0);
    stop_refresh(dlg);
}

void data_display_on_timer(UiWindow dlg, int timer_id)
{
    if (timer_id != TIMER_DATA_DISPLAY || data_display.refreshing != 1) return;
    ui_kill_timer(dlg, TIMER_DATA_DISPLAY);
    const int model = displayed_module().model;
    if (is_itu_model(model)) read_itu_values(dlg);
    else if (is_456x(model)) show_channel(dlg, 0);
    else read_sensor_values(dlg, current_channel());
    // A readout that failed or found calibration faults ended the refresh: the timer stays off.
    if (data_display.refreshing == 1)
        ui_set_timer(dlg, TIMER_DATA_DISPLAY, DataDisplayPeriodTable[data_display.period_index]);
}

void data_display_on_select(UiWindow dlg, int list_id)
{
    const int sel = ui_list_get_sel(dlg, list_id);
    if (sel < 0) return;
    data_display.selected = sel;
    char text[16];
    snprintf(text, sizeof text, "%02d", sel);
    ui_set_text(dlg, IDC_DD_INDEX, text);
    // New numbers exist for the 64 units of one channel; "ALL" lists more lines than that.
    if (sel < UNITS_PER_CHANNEL) {
        snprintf(text, sizeof text, "%02d", numbering.new_number[sel]);
        ui_set_text(dlg, IDC_DD_NEW_NUMBER, text);
    }
}

void data_display_on_dblclk(UiWindow dlg, int list_id)
{
    const Module &m = displayed_module();
    const int c = current_channel();
    if (c < 0 || c >= CHANNEL_COUNT) return;
    if (!is_th_channel(&m, c)) return;
    if (data_display.refreshing == 1) stop_refresh(dlg);
    ui_enable(dlg, IDC_DD_P15, 1);
    ui_enable(dlg, IDC_DD_P30, 1);
    if (list_id != IDC_DD_ID_LIST) return;

    data_display_on_select(dlg, list_id);
    const int i = data_display.selected;
    if (i < 0 || i >= UNITS_PER_CHANNEL) return;
    const uint8_t type = ItuTypeTable[c][i];
    data_display.clicked_type = type;
    data_display.clicked_index = static_cast<uint8_t>(i);
    const uint8_t id1 = m.itu_id1[c][i];
    // The settings dialog serves ITUs whose ID byte 1 is at least the type's first address.
    if ((type == 2 && id1 >= 0x20) || (type == 1 && id1 >= 0x51) || (type == 11 && id1 >= 0x70)) {
        if (data_display_hooks.itu_settings) ui_dialog_run(dlg, IDD_ITU_SETTINGS, data_display_hooks.itu_settings);
        ui_wait_cursor(0);
    } else if (type == 5 || type == 6) {
        if (data_display_hooks.itu_output) ui_dialog_run(dlg, IDD_ITU_OUTPUT, data_display_hooks.itu_output);
        // The outputs just written show in the readings once the module has passed them on.
        ui_wait_cursor(1);
        read_itu_values(dlg);
        sleep_ms((m.itu_total + ITU_OUTPUT_SETTLE_UNITS) * ITU_OUTPUT_SETTLE_MS);
        read_itu_values(dlg);
        ui_wait_cursor(0);
    }
}

void data_display_on_save(UiWindow dlg)
{
    const Module &m = displayed_module();
    ui_wait_cursor(1);
    if ((m.type_code >= 128 && m.type_code <= 134) || is_4501(m.model)) export_sensor_list(dlg);
    ui_wait_cursor(0);
}

void data_display_on_exit(UiWindow dlg) { end_display(dlg, IDC_DD_EXIT); }
