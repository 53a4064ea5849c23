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

// ---- Message boxes and beeps. Values match the USER32 flags so both backends agree. ----
enum {
    UI_MB_OK = 0x0,
    UI_MB_OKCANCEL = 0x1,
    UI_MB_YESNO = 0x4,
    UI_ICON_ERROR = 0x10,
    UI_ICON_QUESTION = 0x20,
    UI_ICON_WARNING = 0x30,  // the exclamation icon
    UI_ICON_INFO = 0x40,
};
enum { UI_ID_OK = 1, UI_ID_CANCEL = 2, UI_ID_YES = 6, UI_ID_NO = 7 };
enum { UI_BEEP_DEFAULT = 0, UI_BEEP_WARNING = 0x30 };
// The question sound, and the plain speaker beep (MessageBeep(0xFFFFFFFF)).
enum { UI_BEEP_QUESTION = 0x20, UI_BEEP_SIMPLE = -1 };

// Modal message box owned by `owner` (may be null); returns the UI_ID_ of the button pressed.
int ui_message_box(UiWindow owner, const char *text, const char *caption, int flags);
void ui_beep(int kind);

// Wait cursor on (1) or back to the arrow (0).
void ui_wait_cursor(int on);
// Width of the primary screen in pixels.
int ui_screen_width(void);

// ---- Windows ----
typedef struct UiRect {
    int left, top, right, bottom;
} UiRect;
void ui_get_window_rect(UiWindow w, UiRect *r);  // screen coordinates
void ui_get_client_rect(UiWindow w, UiRect *r);
void ui_move_window(UiWindow w, const UiRect *r);  // back to a recorded window rectangle
void ui_invalidate(UiWindow w);                    // repaint (erase, then paint)
void ui_update_now(UiWindow w);                    // paint pending invalid parts at once
void ui_post_command(UiWindow w, int command_id);  // queued WM_COMMAND-like message
void ui_send_close(UiWindow w);                    // close request, handled at once
void ui_post_quit(int code);                       // ends the message loop
// Current directory (UTF-8) into buf; returns its length or 0.
int ui_current_directory(char *buf, int cap);

// ---- Controls of a dialog (or child controls of a window), by id ----
void ui_set_text(UiWindow dlg, int id, const char *utf8);
int ui_get_text(UiWindow dlg, int id, char *buf, int cap);  // returns the length copied
void ui_limit_text(UiWindow dlg, int id, int max_chars);    // an edit takes at most this many
void ui_set_uint(UiWindow dlg, int id, unsigned value);     // decimal text
// Reads the control's text as an unsigned decimal number; *ok = 0 when it is none.
unsigned ui_get_uint(UiWindow dlg, int id, int *ok);
void ui_enable(UiWindow dlg, int id, int enabled);
void ui_show(UiWindow dlg, int id, int shown);
void ui_check(UiWindow dlg, int id, int checked);
int ui_is_checked(UiWindow dlg, int id);
void ui_focus(UiWindow dlg, int id);

// List boxes. Indexes from 0; -1 = none / failure.
int ui_list_add(UiWindow dlg, int id, const char *utf8);  // returns the new index
int ui_list_insert(UiWindow dlg, int id, int index, const char *utf8);
void ui_list_delete(UiWindow dlg, int id, int index);
void ui_list_reset(UiWindow dlg, int id);
int ui_list_count(UiWindow dlg, int id);
int ui_list_text(UiWindow dlg, int id, int index, char *buf, int cap);  // length or -1
void ui_list_set_sel(UiWindow dlg, int id, int index);  // single-selection boxes
int ui_list_get_sel(UiWindow dlg, int id);
void ui_list_select(UiWindow dlg, int id, int index, int selected);  // multi-selection boxes
int ui_list_is_selected(UiWindow dlg, int id, int index);
void ui_list_set_top(UiWindow dlg, int id, int index);
int ui_list_get_top(UiWindow dlg, int id);

// Combo boxes (drop-down lists).
int ui_combo_add(UiWindow dlg, int id, const char *utf8);
void ui_combo_reset(UiWindow dlg, int id);
int ui_combo_count(UiWindow dlg, int id);
void ui_combo_set_sel(UiWindow dlg, int id, int index);
int ui_combo_get_sel(UiWindow dlg, int id);
int ui_combo_text(UiWindow dlg, int id, int index, char *buf, int cap);  // length or -1

// Push buttons created at run time as children of a window (they send their id as a
// command to it), and their removal.
void ui_create_button(UiWindow parent, int id, const char *utf8, int x, int y, int width, int height);
void ui_destroy_control(UiWindow parent, int id);

// Timers of a window or dialog (fire on_timer / the window's timer handler).
void ui_set_timer(UiWindow w, int timer_id, int period_ms);
void ui_kill_timer(UiWindow w, int timer_id);

// ---- Modal dialogs ----
// Notification codes given to on_command (USER32 values).
enum {
    UI_CLICKED = 0,      // button pressed
    UI_SELCHANGE = 1,    // list or combo selection changed
    UI_DBLCLK = 2,       // list double click
    UI_EDIT_CHANGE = 0x300,
    // Scroll bar arrows, given to on_command with the scroll bar's id (the seam's own
    // codes: USER32 reports them as WM_VSCROLL / WM_HSCROLL, not as commands).
    UI_SCROLL_LINE_UP = 0x7F00,    // upper (or left) arrow
    UI_SCROLL_LINE_DOWN = 0x7F01,  // lower (or right) arrow
};
typedef struct UiDialogHandlers {
    void (*on_init)(UiWindow dlg);
    void (*on_command)(UiWindow dlg, int id, int notify);
    void (*on_timer)(UiWindow dlg, int timer_id);
    void (*on_close)(UiWindow dlg);  // the frame's close box (null: end with UI_ID_CANCEL)
} UiDialogHandlers;

// Runs dialog resource `resource_id` modally, owned by `owner`; the handlers get its events.
// Returns the value given to ui_end_dialog, or -1 when the dialog cannot be created.
int ui_dialog_run(UiWindow owner, int resource_id, const UiDialogHandlers *handlers);
void ui_end_dialog(UiWindow dlg, int result);

#endif
