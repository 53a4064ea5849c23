// Module search dialog: the scan one address per timer tick, Stop and the retry question.
#include "display/search.h"

#include <stdio.h>
#include <string.h>

#include "app/state.h"
#include "display/search_scan.h"
#include "platform/clock.h"
#include "resources/resource_ids.h"

namespace {

void show_fields(UiWindow dlg, int address, int found)
{
    char text[16];
    snprintf(text, sizeof text, " %02X", address & 0xFF);
    ui_set_text(dlg, IDC_SEARCH_ADDRESS, text);
    snprintf(text, sizeof text, " %02d", found);
    ui_set_text(dlg, IDC_SEARCH_FOUND, text);
}

void show_fields(UiWindow dlg) { show_fields(dlg, module_table.scan_pos, module_table.count); }

void on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_SEARCH_START) search_on_start(dlg);
    else if (id == IDC_SEARCH_STOP) search_on_stop(dlg);
}
}  // namespace

const UiDialogHandlers search_handlers = {search_on_init, on_command, search_on_timer, search_on_stop};

void search_on_init(UiWindow dlg)
{
    show_fields(dlg, 0, 0);
    ui_focus(dlg, IDC_SEARCH_START);
}

void search_on_start(UiWindow dlg)
{
    search_scan_begin();
    show_fields(dlg);
    ui_set_timer(dlg, TIMER_SEARCH, SEARCH_TICK_MS);
}

void search_on_timer(UiWindow dlg, int timer_id)
{
    if (timer_id != TIMER_SEARCH) return;
    ui_kill_timer(dlg, TIMER_SEARCH);
    probe_address(module_table.scan_pos);
    show_fields(dlg);
    if (module_table.scan_pos < SEARCH_LAST_ADDRESS) {
        module_table.scan_pos++;
        ui_set_timer(dlg, TIMER_SEARCH, SEARCH_TICK_MS);
        return;
    }
    show_fields(dlg);
    ui_update_now(dlg);
    sleep_ms(50);  // lets the last count be seen before the parameter reads block the window
    search_scan_finish();
    ui_end_dialog(dlg, 0);
}

void search_on_stop(UiWindow dlg)
{
    ui_kill_timer(dlg, TIMER_SEARCH);
    const int was_scanning = link_state.searching == 1;
    link_state.searching = 0;
    if (was_scanning) {
        module_table.stale = 0;
        if (module_table.count > 0) {
            ui_wait_cursor(1);
            module_table.ready = 1;
            for (int i = 0; i < module_table.count; ++i) {
                while (read_module_parameters(i) != 0) {
                    char text[96];
                    snprintf(text, sizeof text, "%d 号模块参数未读取完毕,是否再试一次?",
                             module_table.module[i].address);
                    if (ui_message_box(dlg, text, "系统提示", UI_MB_YESNO | UI_ICON_WARNING) != UI_ID_YES) break;
                }
            }
            ui_wait_cursor(0);
        }
    } else if (module_table.stale == 1) {
        module_table.count = 0;
        module_table.ready = 0;
    }
    ui_end_dialog(dlg, 0);
}

