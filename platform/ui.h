// User-interface seam: what the feature logic asks of windows, menus, dialogs and controls.
// Backends: win32/ (USER32, wide APIs, texts given here in UTF-8) and headless/ (a recorded
// control tree for tests). Feature code never sees a Win32 type.
#ifndef VOK_PLATFORM_UI_H
#define VOK_PLATFORM_UI_H

typedef struct UiWindowTag *UiWindow;  // HWND on Win32; a node of the headless tree in tests

// Window title (UTF-8).
void ui_set_window_title(UiWindow w, const char *utf8);
// Enables or greys the item `item_id` of the window's menu.
void ui_menu_enable(UiWindow w, int item_id, int enabled);
// Redraws the window's menu bar after item states changed.
void ui_menu_redraw(UiWindow w);

#endif
