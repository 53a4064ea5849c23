// Data display readers: the ID list and the reading list filled from the ID read and the
// readout, with their messages; show_channel for the mixed channels of models 4562/4563.
#include <stdio.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "display/channel_read.h"
#include "display/channel_reader.h"
#include "display/data_display.h"
#include "display/sensor_ids.h"
#include "resources/resource_ids.h"

namespace {
const char *const NoSensor = "无传感器!";
const char *const WrongReply = "应答错误或不支持此命令!";

IdList id_list;
Readout readout;

// The channel buttons act as one radio group: the one read is checked, the others not.
void check_channel_button(UiWindow dlg, int channel)
{
    for (int c = 0; c <= CHANNEL_COUNT; ++c) ui_check(dlg, IDC_DD_CH0 + c, c == channel);
}

void add_line_and_beep(UiWindow dlg, int list_id, const char *text)
{
    ui_list_add(dlg, list_id, text);
    ui_beep(UI_BEEP_WARNING);
}

// Common part of the three ID-list readers.
int show_ids(UiWindow dlg, int reader, int channel)
{
    check_channel_button(dlg, channel);
    ui_list_reset(dlg, IDC_DD_ID_LIST);
    switch (read_unit_ids(reader, &displayed_module(), channel, &id_list)) {
    case IDS_NO_UNITS:
        add_line_and_beep(dlg, IDC_DD_ID_LIST, NoSensor);
        return 2;
    case IDS_NO_REPLY:
        system_notice(dlg, "模块未应答，请重试一次!");
        return 2;
    case IDS_WRONG_REPLY:
        add_line_and_beep(dlg, IDC_DD_ID_LIST, WrongReply);
        return 3;
    default:
        break;
    }
    for (int i = 0; i < id_list.count; ++i) ui_list_add(dlg, IDC_DD_ID_LIST, id_list.line[i]);
    return 0;
}

// Ends the refresh from inside a readout; the Stop command runs after the readout returns.
void stop_from_reader(UiWindow dlg)
{
    data_display.refreshing = 0;
    ui_kill_timer(dlg, TIMER_DATA_DISPLAY);
    ui_post_command(dlg, IDC_DD_STOP);
}

// Common read cycle of the three reading-list readers.
int show_readings(UiWindow dlg, int reader, int channel)
{
    const int refreshing = data_display.refreshing == 1;
    if (!refreshing) ui_list_reset(dlg, IDC_DD_READINGS);
    const Module &m = displayed_module();
    const int n = readout_unit_count(&m, reader, channel);
    if (n < 0) {
        add_line_and_beep(dlg, IDC_DD_READINGS, NoSensor);
        return n == -READ_NO_UNITS ? 1 : 2;
    }
    // Both lists show the same units on the same lines.
    data_display.readout_top = data_display.keep_top == 1 ? data_display.top_index
                                                          : ui_list_get_top(dlg, IDC_DD_READINGS);
    ui_list_set_top(dlg, IDC_DD_ID_LIST, data_display.readout_top);

    const int r = read_channel_values(reader, &m, channel, &readout);
    if (r == READ_NO_REPLY) {
        stop_from_reader(dlg);
        system_notice(dlg, "模块未应答或刷新周期太短,\r\n请重试一次或增大刷新周期!");
        return 2;
    }
    if (r == READ_WRONG_REPLY) {
        add_line_and_beep(dlg, IDC_DD_READINGS, WrongReply);
        return 3;
    }
    const int sorting = refreshing && reader == VALUE_READER_SENSORS && channel < CHANNEL_COUNT &&
                        data_display_hooks.auto_sort_step;
    int have_value = 0;
    float v = 0.0f;
    for (int i = 0; i < readout.count; ++i) {
        const Reading &u = readout.unit[i];
        if (!refreshing) {
            ui_list_add(dlg, IDC_DD_READINGS, u.text);
            continue;
        }
        ui_list_delete(dlg, IDC_DD_READINGS, i);
        ui_list_insert(dlg, IDC_DD_READINGS, i, u.text);
        // A unit without a value of its own is compared with the last value read before it;
        // before the first value there is nothing to compare.
        if (u.has_value) {
            v = u.value;
            have_value = 1;
        }
        if (sorting && have_value) data_display_hooks.auto_sort_step(dlg, i, v);
    }
    ui_list_set_top(dlg, IDC_DD_READINGS, data_display.readout_top);

    if (reader == VALUE_READER_SENSORS && readout.out_of_tolerance > 0) {
        stop_from_reader(dlg);
        char text[96];
        snprintf(text, sizeof text, "此CH存在校准参数超差传感器! 超差次数：%d", readout.out_of_tolerance);
        error_notice(dlg, text);
        return -5;
    }
    return 0;
}
}  // namespace

Module &displayed_module(void) { return current_module(); }

int read_sensor_ids(UiWindow dlg, int channel) { return show_ids(dlg, ID_READER_SENSORS, channel); }
int list_itus(UiWindow dlg, int channel) { return show_ids(dlg, ID_READER_ITUS, channel); }
int list_all_units(UiWindow dlg) { return show_ids(dlg, ID_READER_ALL, CHANNEL_COUNT); }

int read_sensor_values(UiWindow dlg, int channel) { return show_readings(dlg, VALUE_READER_SENSORS, channel); }
int read_itu_values(UiWindow dlg) { return show_readings(dlg, VALUE_READER_ITUS, channel_kind.current_channel); }
int read_all_values(UiWindow dlg) { return show_readings(dlg, VALUE_READER_ALL, CHANNEL_COUNT); }

namespace {
// Models 4562/4563 by the kind of the shown channel. With `fresh`, IDs are read and the
// readings only after the IDs came: one failure, one message. Returns 0, or the result of
// the reader that failed (1 for a channel of neither kind).
int read_mixed_channel(UiWindow dlg, int with_ids, int fresh)
{
    const int c = channel_kind.current_channel;
    ChannelReaders rd;
    if (channel_readers(&displayed_module(), c, &rd) == 0) {
        const int r = with_ids ? show_ids(dlg, rd.ids, rd.channel) : 0;
        if (fresh && r != 0) return r;
        return show_readings(dlg, rd.values, rd.channel);
    }
    check_channel_button(dlg, c);
    ui_list_reset(dlg, IDC_DD_ID_LIST);
    ui_list_reset(dlg, IDC_DD_READINGS);
    ui_list_add(dlg, IDC_DD_ID_LIST, NoSensor);
    ui_list_add(dlg, IDC_DD_READINGS, NoSensor);
    ui_beep(UI_BEEP_WARNING);
    return 1;
}
}  // namespace

void show_channel(UiWindow dlg, int with_ids) { read_mixed_channel(dlg, with_ids, 0); }

int show_channel_fresh(UiWindow dlg) { return read_mixed_channel(dlg, 1, 1); }
