// Title text and menu item states from the link state, applied through the ui seam.
#include "app/title_menu.h"

#include <stdio.h>

#include "app/state.h"
#include "resources/resource_ids.h"

// Out-of-range values can come from a hand-edited settings file; show 0 rather than read
// past a table.
static int baud_rate_of(int index) {
    return (index >= 0 && index < BAUD_COUNT) ? BaudTable[index] : 0;
}
static int converter_model_of(int type) {
    return (type >= 0 && type < CONVERTER_TYPE_COUNT) ? ConverterModelTable[type] : 0;
}

int title_text(char *out, int cap) {
    if (cap <= 0) return 0;
    int n;
    if (!link_state.open)
        n = snprintf(out, cap, "%s", AppTitle);
    else if (link_settings.converter_type == CONVERTER_NET)
        n = snprintf(out, cap, "%s  NET-RW,Baud%d [VOK%4dNET]", AppTitle,
                     baud_rate_of(link_settings.baud_index), ConverterModelTable[CONVERTER_NET]);
    else
        n = snprintf(out, cap, "%s  COM%d,Baud%d [VOK%4d]", AppTitle, link_settings.com_port,
                     baud_rate_of(link_settings.baud_index),
                     converter_model_of(link_settings.converter_type));
    if (n < 0) n = 0;
    return n < cap ? n : cap - 1;
}

static const int ModuleCommands[] = {IDM_SEARCH, IDM_PARAMS, IDM_DATA, IDM_REALTIME,
                                     IDM_TERMINAL, IDM_IO, IDM_RESET};

int menu_states(int link_open, MenuItemState *out) {
    int n = 0;
    if (!link_open) {
        out[n++] = MenuItemState{IDM_COMM, 1};
        out[n++] = MenuItemState{IDM_EXIT, 1};
    }
    for (int id : ModuleCommands) out[n++] = MenuItemState{id, link_open ? 1 : 0};
    return n;
}

void update_title(void) {
    char text[TITLE_MAX];
    title_text(text, sizeof text);
    if (main_window.hwnd) ui_set_window_title(main_window.hwnd, text);
}

void update_menu(UiWindow window) {
    if (!window) return;
    MenuItemState items[MENU_STATE_MAX];
    const int n = menu_states(link_state.open, items);
    for (int k = 0; k < n; ++k) ui_menu_enable(window, items[k].id, items[k].enabled);
    ui_menu_redraw(window);
}

void update_title_menu(void) {
    update_title();
    update_menu(main_window.hwnd);
}

void enable_view_menu(UiWindow window, int enabled) {
    ui_menu_enable(window, IDM_COMM, enabled);
    for (int id : ModuleCommands) ui_menu_enable(window, id, enabled);
    ui_menu_redraw(window);
}

void title_menu_link_changed(int opened) {
    if (opened) update_title();
    update_menu(main_window.hwnd);
    if (!opened) update_title();
}
