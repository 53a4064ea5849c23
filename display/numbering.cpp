// Sensor numbering: manual numbers, the automatic sort step, and the number download with
// its questions and messages.
#include "display/numbering.h"

#include <stdio.h>

#include "display/data_display.h"
#include "display/sort_params.h"
#include "protocol/model_caps.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

namespace {
const char *const CaptionNotice = "系统提示";

// The unit the numbering controls act on must be one of the channel's units.
int unit_of_channel(int i)
{
    const int c = channel_kind.current_channel;
    if (c < 0 || c >= CHANNEL_COUNT || i < 0 || i >= UNITS_PER_CHANNEL) return 0;
    return i < displayed_module().itu_count[c];
}

void show_number(UiWindow dlg, int number)
{
    char text[16];
    snprintf(text, sizeof text, "%02d", number);
    ui_set_text(dlg, IDC_DD_NEW_NUMBER, text);
}

void replace_id_line(UiWindow dlg, int i, const char *text)
{
    ui_list_delete(dlg, IDC_DD_ID_LIST, i);
    ui_list_insert(dlg, IDC_DD_ID_LIST, i, text);
}

// Stops the refresh before the download; the periods and Start can be used again.
void stop_for_download(UiWindow dlg)
{
    if (data_display.refreshing != 1) return;
    ui_kill_timer(dlg, TIMER_DATA_DISPLAY);
    data_display.refreshing = 0;
    const int model = displayed_module().model;
    if (model_caps(model)->fast_curve) ui_enable(dlg, IDC_DD_P05, 1);
    ui_enable(dlg, IDC_DD_P15, 1);
    ui_enable(dlg, IDC_DD_P30, 1);
    ui_enable(dlg, IDC_DD_START, 1);
    ui_enable(dlg, IDC_DD_STOP, 0);
}

// One position: send its write until the module acknowledges it. 0 acknowledged, 1 failure
// (no answer, or refused SORT_WRITE_TRIES times: a module that refuses a position keeps
// refusing it, and the download must not hang on it).
int write_position(const Module &m, int c, int p, int number)
{
    const char part[3] = {channel_digit(c), static_cast<char>(p + SORT_WRITE_OFFSET),
                          static_cast<char>(number + SORT_WRITE_OFFSET)};
    const CommandId id = is_456x(m.model) ? CMD_WRITE_SORT_456X : CMD_WRITE_SORT;
    for (int tries = 0; tries < SORT_WRITE_TRIES; ++tries) {
        port_discard();
        ModuleReply reply;
        if (module_request(id, m.address, part, 3, 0, 0, &reply) == REQ_NO_REPLY) return 1;
        sleep_ms(SORT_WRITE_PAUSE_MS);
        if (reply_check(&reply, REQ_CHECK_LEAD, LEAD_ACK, 0) == REQ_OK) return 0;
    }
    return 1;
}
}  // namespace

const char *numbered_line(int i, int number)
{
    snprintf(numbering.line_buffer, sizeof numbering.line_buffer, "%s--%02d", numbering.line_store[i], number);
    return numbering.line_buffer;
}

void numbering_set_number(UiWindow dlg)
{
    const int i = data_display.selected;
    if (!unit_of_channel(i)) return;
    int ok = 0;
    const unsigned v = ui_get_uint(dlg, IDC_DD_NEW_NUMBER, &ok);
    if (ok && v <= NUMBER_MAX) {
        numbering.changed[i] = 1;
        replace_id_line(dlg, i, numbered_line(i, static_cast<int>(v)));
        ui_list_set_sel(dlg, IDC_DD_ID_LIST, i);
        ui_beep(UI_BEEP_SIMPLE);
        numbering.new_number[i] = static_cast<uint8_t>(v);
        return;
    }
    ui_message_box(dlg, ok ? " 字符输入超范围(0~64)! " : " 字符输入错误!", CaptionNotice, UI_MB_OK);
    show_number(dlg, numbering.new_number[i]);
}

void numbering_cancel_number(UiWindow dlg)
{
    const int i = data_display.selected;
    if (!unit_of_channel(i)) return;
    numbering.changed[i] = 0;
    replace_id_line(dlg, i, numbering.line_store[i]);
    ui_list_set_sel(dlg, IDC_DD_ID_LIST, i);
    numbering.new_number[i] = numbering.old_number[i];
    show_number(dlg, numbering.new_number[i]);
    ui_beep(UI_BEEP_QUESTION);
}

int auto_sort_serves(const Module *m, int c)
{
    if (c < 0 || c >= CHANNEL_COUNT) return 0;
    const int family = is_family_type(m->type_code);
    const int one_wire_456x = is_456x(m->model) && channel_kind.a[c] == 1;
    // Channels 1 and 2 of model 4103 carry its temperature-humidity ITU modules.
    if (model_caps(m->model)->itu_modules && (c == 1 || c == 2)) return 0;
    return family || one_wire_456x;
}

int auto_sort_triggers(int rising, float critical_temp, float v)
{
    return rising == 1 ? critical_temp < v : critical_temp > v;
}

void auto_sort_step(UiWindow dlg, int i, float v)
{
    const int c = channel_kind.current_channel;
    if (auto_sort.enabled != 1 || !auto_sort_serves(&displayed_module(), c)) return;
    if (i < 0 || i >= UNITS_PER_CHANNEL) return;
    if (!auto_sort_triggers(auto_sort.rising, auto_sort.critical_temp, v)) {
        data_display.top_index = data_display.readout_top;
        data_display.keep_top = 0;
        return;
    }
    // Every unit beyond the critical value is marked on each readout; the lists keep the
    // last marked one in view.
    ui_list_select(dlg, IDC_DD_READINGS, i, 1);
    data_display.keep_top = 1;
    data_display.readout_top = i;
    data_display.selected = i;
    data_display.top_index = i;

    if (numbering.changed[i] == 0 && i >= auto_sort.start_index) {
        numbering.changed[i] = 1;
        numbering.new_number[i] = static_cast<uint8_t>(data_display.next_number);
        show_number(dlg, data_display.next_number);
        replace_id_line(dlg, i, numbered_line(i, numbering.new_number[i]));
        data_display.next_number += 1;
        // The refresh stops at the end number: past it when rising, on reaching it when
        // falling. The Stop runs after this readout, so a unit triggering later in it still
        // gets a number.
        const int done = auto_sort.rising == 1 ? data_display.next_number > auto_sort.end_index
                                               : data_display.next_number >= auto_sort.end_index;
        if (done) ui_post_command(dlg, IDC_DD_STOP);
        ui_beep(UI_BEEP_SIMPLE);
    }
    ui_list_set_sel(dlg, IDC_DD_ID_LIST, data_display.selected);
}

int number_to_send(const Numbering *nb, int p, int download_unchanged)
{
    if (nb->changed[p] == 0) return -1;
    if (nb->new_number[p] != nb->old_number[p]) return nb->new_number[p];
    return download_unchanged == 1 ? nb->old_number[p] : -1;
}

int download_numbers(UiWindow dlg)
{
    const Module &m = displayed_module();
    const int c = channel_kind.current_channel;
    int n = c >= 0 && c < CHANNEL_COUNT ? m.itu_count[c] : 0;
    if (n > UNITS_PER_CHANNEL) n = UNITS_PER_CHANNEL;
    if (n == 0) {
        ui_message_box(dlg, "无传感器!", CaptionNotice, UI_MB_OK);
        return DOWNLOAD_FAILED;
    }
    int result = DOWNLOAD_OK;
    for (int p = 0; p < n && result == DOWNLOAD_OK; ++p) {
        const int number = number_to_send(&numbering, p, data_display.download_unchanged);
        if (number < 0) continue;
        if (write_position(m, c, p, number) != 0) result = DOWNLOAD_FAILED;
    }
    return result;
}

void numbering_download(UiWindow dlg)
{
    stop_for_download(dlg);
    ui_beep(UI_BEEP_WARNING);
    if (ui_message_box(dlg, "确定要下载新编码？", CaptionNotice, UI_MB_OKCANCEL) != UI_ID_OK) return;
    const int answer =
        ui_message_box(dlg, "是否要下载未作该修改的编码?", CaptionNotice, UI_MB_YESNO | UI_ICON_WARNING);
    data_display.download_unchanged = answer == UI_ID_YES ? 1 : 0;

    ui_wait_cursor(1);
    const Module &m = displayed_module();
    const int c = channel_kind.current_channel;
    if (is_456x(m.model) && c >= 0 && c < CHANNEL_COUNT && channel_kind.b[c] == 1) {
        ui_beep(UI_BEEP_SIMPLE);
        ui_message_box(dlg, "此版本软件暂不支持 VOK4562/3 ITU通道下载功能!", CaptionNotice, UI_MB_OKCANCEL);
    } else if (download_numbers(dlg) != DOWNLOAD_OK) {
        ui_message_box(dlg, "下载失败!,请重新下载!", CaptionNotice, UI_MB_OK);
    } else {
        ui_wait_cursor(0);
        ui_beep(UI_BEEP_SIMPLE);
        ui_message_box(dlg, "下载成功!,新编码须复位后才可生效!", CaptionNotice, UI_MB_OKCANCEL);
        // The module takes the numbers on at its reset; the main window runs it next.
        ui_post_command(main_window.hwnd, IDM_RESET);
        ui_end_dialog(dlg, IDC_DD_DOWNLOAD);
    }
    ui_wait_cursor(0);
}

void numbering_install(void)
{
    data_display_hooks.set_number = numbering_set_number;
    data_display_hooks.cancel_number = numbering_cancel_number;
    data_display_hooks.download = numbering_download;
    data_display_hooks.sort_params = sort_params_open;
    data_display_hooks.auto_sort_step = auto_sort_step;
}
