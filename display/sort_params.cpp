// Automatic sort parameter dialog: opening, the critical temperature's scroll bar, and the
// confirmation that checks the index range against the current channel.
#include "display/sort_params.h"

#include <stdio.h>

#include "display/data_display.h"
#include "resources/resource_ids.h"

namespace {
const char *const CaptionNotice = "系统提示";

void show_index(UiWindow dlg, int id, int value)
{
    char text[16];
    snprintf(text, sizeof text, "%2d", value);
    ui_set_text(dlg, id, text);
}

void show_critical_temp(UiWindow dlg)
{
    char text[32];
    snprintf(text, sizeof text, "%+04.1f℃", static_cast<double>(auto_sort.critical_temp));
    ui_set_text(dlg, IDC_SP_CRITICAL, text);
}

int refuse(UiWindow dlg, const char *text, int result)
{
    ui_message_box(dlg, text, CaptionNotice, UI_MB_OK);
    return result;
}

void on_command(UiWindow dlg, int id, int notify)
{
    if (id == IDC_SP_SCROLL) {
        sort_params_on_scroll(dlg, notify);
    } else if (notify == UI_CLICKED && id == IDC_SP_OK) {
        if (apply_sort_params(dlg) == SORT_PARAMS_OK) ui_end_dialog(dlg, IDC_SP_OK);
    } else if (notify == UI_CLICKED && id == IDC_SP_EXIT) {
        ui_end_dialog(dlg, IDC_SP_EXIT);
    }
}

void on_close(UiWindow dlg) { ui_end_dialog(dlg, IDC_SP_EXIT); }
}  // namespace

const UiDialogHandlers sort_params_handlers = {sort_params_on_init, on_command, nullptr, on_close};

void sort_params_open(UiWindow owner) { ui_dialog_run(owner, IDD_SORT_PARAMS, &sort_params_handlers); }

void sort_params_on_init(UiWindow dlg)
{
    ui_check(dlg, IDC_SP_RISING, auto_sort.rising == 1);
    ui_check(dlg, IDC_SP_FALLING, auto_sort.rising == 0);
    ui_check(dlg, IDC_SP_ENABLED, auto_sort.enabled == 1);
    show_critical_temp(dlg);
    show_index(dlg, IDC_SP_START, auto_sort.start_index);
    show_index(dlg, IDC_SP_END, auto_sort.end_index);
}

void sort_params_on_scroll(UiWindow dlg, int notify)
{
    // The step is stored at once: it holds whichever button closes the dialog.
    if (notify == UI_SCROLL_LINE_UP && auto_sort.critical_temp < CRITICAL_TEMP_MAX) auto_sort.critical_temp += 1.0f;
    else if (notify == UI_SCROLL_LINE_DOWN && auto_sort.critical_temp > CRITICAL_TEMP_MIN) auto_sort.critical_temp -= 1.0f;
    else return;
    show_critical_temp(dlg);
}

int apply_sort_params(UiWindow dlg)
{
    const int cur = channel_kind.current_channel;
    const int c = cur >= 0 && cur < CHANNEL_COUNT ? displayed_module().itu_count[cur] : 0;
    auto_sort.rising = ui_is_checked(dlg, IDC_SP_RISING) ? 1 : 0;
    auto_sort.enabled = ui_is_checked(dlg, IDC_SP_ENABLED) ? 1 : 0;

    int ok = 0;
    const unsigned s = ui_get_uint(dlg, IDC_SP_START, &ok);
    if (!ok) return refuse(dlg, " 字符输入错误!", SORT_PARAMS_NOT_A_NUMBER);
    if (s >= static_cast<unsigned>(c) || s > auto_sort.end_index)
        return refuse(dlg, " 起始序号输入超范围!", SORT_PARAMS_START_RANGE);
    auto_sort.start_index = static_cast<uint8_t>(s);
    show_index(dlg, IDC_SP_START, auto_sort.start_index);

    const unsigned e = ui_get_uint(dlg, IDC_SP_END, &ok);
    if (!ok) return refuse(dlg, " 字符输入错误!", SORT_PARAMS_NOT_A_NUMBER);
    if (e >= static_cast<unsigned>(c)) {
        ui_message_box(dlg, " 终止序号输入超范围!,系统将设定其为: 终止序号!", CaptionNotice, UI_MB_OK);
        auto_sort.end_index = static_cast<uint8_t>(c - 1);
        show_index(dlg, IDC_SP_END, auto_sort.end_index);
        return SORT_PARAMS_END_RANGE;
    }
    if (e < auto_sort.start_index) return refuse(dlg, " 终止序号输入 < 起始序号!", SORT_PARAMS_END_BELOW_START);
    auto_sort.end_index = static_cast<uint8_t>(e);
    show_index(dlg, IDC_SP_END, auto_sort.end_index);
    return SORT_PARAMS_OK;
}
