// Headless ui and gfx backend for tests: every window and dialog is a recorded node with a
// control tree and an RGB canvas; message box answers and dialog sessions are scripted by
// the test; timers fire when the test pumps them, on the clock seam (virtual time in tests).
#ifndef VOK_PLATFORM_UI_HEADLESS_H
#define VOK_PLATFORM_UI_HEADLESS_H

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "platform/ui.h"

namespace headless {

struct Control {
    std::string text;
    bool enabled = true;
    bool shown = true;
    bool checked = false;
    std::vector<std::string> items;  // list or combo lines
    int sel = -1;                    // single selection
    std::set<int> multi;             // multiple selection
    int top = 0;
    UiRect rect{0, 0, 0, 0};         // buttons made at run time: their place
    int limit = 0;                   // characters an edit takes from the keyboard (0: no limit)
};

struct TextRecord {
    int x, y;
    uint32_t color;
    bool transparent;
    std::string text;
};

struct IconRecord {
    int x, y, resource_id;
};

struct Canvas {
    int width = 800, height = 600;
    std::vector<uint32_t> px = std::vector<uint32_t>(size_t{800} * 600, GFX_RGB(255, 255, 255));
    GfxPen pen = nullptr;
    GfxBrush brush = nullptr;
    uint32_t text_color = 0;
    bool transparent = false;
    std::vector<TextRecord> texts;
    std::vector<IconRecord> icons;
    uint32_t at(int x, int y) const;
    void clear_records() { texts.clear(); icons.clear(); }
};

struct Timer {
    int period = 0;
    uint32_t due = 0;
};

struct Window {
    int resource_id = 0;  // dialogs: their template id; windows: 0
    UiWindow owner = nullptr;
    std::string title;
    std::map<int, bool> menu_enabled;  // item id -> enabled
    int menu_redraws = 0;
    std::vector<std::string> calls;    // every call, in order, as text
    std::map<int, Control> controls;
    std::map<int, Timer> timers;
    std::deque<int> posted;            // posted commands, oldest first
    int focus = 0;
    int invalidations = 0;
    int close_requests = 0;
    bool ended = false;
    int result = 0;
    UiRect window_rect{100, 100, 900, 700};
    UiRect client_rect{0, 0, 784, 541};
    const UiDialogHandlers *handlers = nullptr;
    std::function<void(int)> on_timer;  // plain windows: the test's timer dispatch
    Canvas canvas;
    Control &ctl(int id) { return controls[id]; }
};

struct MessageBox {
    UiWindow owner;
    std::string text, caption;
    int flags;
    int answer;
};

UiWindow new_window();            // a fresh recorded window
Window &window(UiWindow w);       // its record
void reset();                     // forget every window, box, script and setting

// Message boxes: every box shown, in order; answers are taken from the script, then the
// default (OK for OK boxes, No for Yes/No boxes, Cancel for OK/Cancel).
std::vector<MessageBox> &boxes();
void answer_next(int ui_id);
// Called when a box is shown, before it is answered (e.g. to check state at that moment).
void on_box(std::function<void(const MessageBox &)> fn);

// Modal dialogs: the session function runs inside ui_dialog_run after on_init; it drives the
// dialog (click, type, fire timers) and returns. A dialog still open afterwards is closed by
// its frame (on_close). Without a session the dialog is closed at once.
void on_dialog(int resource_id, std::function<void(UiWindow dlg)> session);
std::vector<int> &dialogs_run();  // resource ids, in order
UiWindow last_dialog();           // the most recent dialog node (kept after it ends)

// Events a test sends into a running dialog.
void click(UiWindow dlg, int id);                         // button press
void type_text(UiWindow dlg, int id, const std::string &); // edit text + change notice
void select_combo(UiWindow dlg, int id, int index);       // selection + change notice
void close(UiWindow dlg);                                 // frame close box
void scroll(UiWindow dlg, int id, int notify);            // scroll bar arrow (UI_SCROLL_LINE_*)
// Fires the dialog's (or window's) timers in due order until it ends, has no timer left,
// or `max_ticks` ticks ran; sleeps on the clock seam up to each due time. Returns the ticks.
int run_timers(UiWindow w, int max_ticks = 1000000);

// Settings of the simulated desktop.
void set_screen_width(int px);
void set_current_directory(const std::string &dir);
void set_screen_height(int px);  // what gfx_screen_size reports (start 768)
int cursor_waits();            // wait cursor shows so far
bool cursor_is_wait();
std::vector<int> &beeps();
std::vector<int> &quits();     // ui_post_quit codes

// Drawing objects alive (created and not yet deleted), to find leaks.
int live_pens();
int live_brushes();

}  // namespace headless

#endif
