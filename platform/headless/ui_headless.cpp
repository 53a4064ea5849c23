// Headless ui backend: records titles, menus, controls, boxes and dialogs per window;
// scripted message box answers and dialog sessions; timers on the clock seam.
#include "platform/headless/ui_headless.h"

#include <unistd.h>

#include <climits>
#include <cstring>
#include <memory>

#include "platform/clock.h"

namespace headless {
namespace {
std::vector<std::unique_ptr<Window>> g_windows;
std::vector<MessageBox> g_boxes;
std::deque<int> g_answers;
std::function<void(const MessageBox &)> g_on_box;
std::map<int, std::function<void(UiWindow)>> g_sessions;
std::vector<int> g_dialogs_run;
UiWindow g_last_dialog = nullptr;
int g_screen_width = 1024;
std::string g_cwd;
bool g_cwd_set = false;
int g_cursor_waits = 0;
bool g_cursor_wait = false;
std::vector<int> g_beeps;
std::vector<int> g_quits;

std::string num(int v) { return std::to_string(v); }

void copy_out(const std::string &s, char *buf, int cap, int *len)
{
    int n = 0;
    if (buf && cap > 0) {
        n = static_cast<int>(s.size()) < cap - 1 ? static_cast<int>(s.size()) : cap - 1;
        std::memcpy(buf, s.data(), static_cast<size_t>(n));
        buf[n] = 0;
    }
    if (len) *len = n;
}
}  // namespace

UiWindow new_window()
{
    g_windows.push_back(std::make_unique<Window>());
    return reinterpret_cast<UiWindow>(g_windows.back().get());
}

Window &window(UiWindow w) { return *reinterpret_cast<Window *>(w); }

void reset()
{
    g_windows.clear();
    g_boxes.clear();
    g_answers.clear();
    g_on_box = nullptr;
    g_sessions.clear();
    g_dialogs_run.clear();
    g_last_dialog = nullptr;
    g_screen_width = 1024;
    set_screen_height(768);
    g_cwd_set = false;
    g_cursor_waits = 0;
    g_cursor_wait = false;
    g_beeps.clear();
    g_quits.clear();
}

std::vector<MessageBox> &boxes() { return g_boxes; }
void answer_next(int ui_id) { g_answers.push_back(ui_id); }
void on_box(std::function<void(const MessageBox &)> fn) { g_on_box = std::move(fn); }
void on_dialog(int resource_id, std::function<void(UiWindow)> session)
{
    g_sessions[resource_id] = std::move(session);
}
std::vector<int> &dialogs_run() { return g_dialogs_run; }
UiWindow last_dialog() { return g_last_dialog; }

void click(UiWindow dlg, int id)
{
    auto &d = window(dlg);
    d.calls.push_back("click:" + num(id));
    if (!d.ended && d.handlers && d.handlers->on_command) d.handlers->on_command(dlg, id, UI_CLICKED);
}

void type_text(UiWindow dlg, int id, const std::string &text)
{
    auto &d = window(dlg);
    // Like an edit control, one with a limit takes no more characters from the keyboard.
    std::string kept = text;
    const int limit = d.ctl(id).limit;
    if (limit > 0) {
        size_t at = 0;
        for (int n = 0; at < kept.size() && n < limit; ++n) {
            ++at;
            while (at < kept.size() && (static_cast<unsigned char>(kept[at]) & 0xC0) == 0x80) ++at;
        }
        kept.resize(at);
    }
    d.ctl(id).text = kept;
    d.calls.push_back("type:" + num(id) + "=" + text);
    if (!d.ended && d.handlers && d.handlers->on_command)
        d.handlers->on_command(dlg, id, UI_EDIT_CHANGE);
}

void select_combo(UiWindow dlg, int id, int index)
{
    auto &d = window(dlg);
    d.ctl(id).sel = index;
    d.calls.push_back("pick:" + num(id) + "=" + num(index));
    if (!d.ended && d.handlers && d.handlers->on_command)
        d.handlers->on_command(dlg, id, UI_SELCHANGE);
}

void scroll(UiWindow dlg, int id, int notify)
{
    auto &d = window(dlg);
    d.calls.push_back("scroll:" + num(id) + "=" + (notify == UI_SCROLL_LINE_UP ? "up" : "down"));
    // A disabled bar sends nothing, as on the screen.
    if (!d.ended && d.ctl(id).enabled && d.handlers && d.handlers->on_command)
        d.handlers->on_command(dlg, id, notify);
}

void close(UiWindow dlg)
{
    auto &d = window(dlg);
    d.calls.push_back("close");
    if (d.ended) return;
    if (d.handlers && d.handlers->on_close)
        d.handlers->on_close(dlg);
    else
        ui_end_dialog(dlg, UI_ID_CANCEL);
}

int run_timers(UiWindow w, int max_ticks)
{
    int ticks = 0;
    auto &win = window(w);
    while (ticks < max_ticks && !win.ended && !win.timers.empty()) {
        int id = 0;
        uint32_t due = UINT32_MAX;
        for (auto &[tid, t] : win.timers)
            if (t.due < due) { due = t.due; id = tid; }
        int32_t wait = static_cast<int32_t>(due - now_ms());
        if (wait > 0) sleep_ms(wait);
        // The tick re-arms the period before the handler runs, as a system timer does.
        win.timers[id].due = now_ms() + static_cast<uint32_t>(win.timers[id].period);
        ++ticks;
        if (win.handlers && win.handlers->on_timer)
            win.handlers->on_timer(w, id);
        else if (win.on_timer)
            win.on_timer(id);
        else
            break;
    }
    return ticks;
}

void set_screen_width(int px) { g_screen_width = px; }
void set_current_directory(const std::string &dir) { g_cwd = dir; g_cwd_set = true; }
int cursor_waits() { return g_cursor_waits; }
bool cursor_is_wait() { return g_cursor_wait; }
std::vector<int> &beeps() { return g_beeps; }
std::vector<int> &quits() { return g_quits; }

}  // namespace headless

using headless::window;

void ui_set_window_title(UiWindow w, const char *utf8)
{
    auto &win = window(w);
    win.title = utf8 ? utf8 : "";
    win.calls.push_back("title:" + win.title);
}

void ui_menu_enable(UiWindow w, int item_id, int enabled)
{
    auto &win = window(w);
    win.menu_enabled[item_id] = enabled != 0;
    win.calls.push_back("menu:" + std::to_string(item_id) + "=" + (enabled ? "1" : "0"));
}

void ui_menu_redraw(UiWindow w)
{
    auto &win = window(w);
    win.menu_redraws++;
    win.calls.push_back("menu-redraw");
}

int ui_message_box(UiWindow owner, const char *text, const char *caption, int flags)
{
    headless::MessageBox box{owner, text ? text : "", caption ? caption : "", flags, 0};
    int buttons = flags & 0xF;
    if (!headless::g_answers.empty()) {
        box.answer = headless::g_answers.front();
        headless::g_answers.pop_front();
    } else {
        box.answer = buttons == UI_MB_YESNO ? UI_ID_NO : buttons == UI_MB_OKCANCEL ? UI_ID_CANCEL : UI_ID_OK;
    }
    if (headless::g_on_box) headless::g_on_box(box);
    headless::g_boxes.push_back(box);
    return box.answer;
}

void ui_beep(int kind) { headless::g_beeps.push_back(kind); }

void ui_wait_cursor(int on)
{
    if (on) headless::g_cursor_waits++;
    headless::g_cursor_wait = on != 0;
}

int ui_screen_width(void) { return headless::g_screen_width; }

void ui_get_window_rect(UiWindow w, UiRect *r) { *r = window(w).window_rect; }
void ui_get_client_rect(UiWindow w, UiRect *r) { *r = window(w).client_rect; }

void ui_move_window(UiWindow w, const UiRect *r)
{
    auto &win = window(w);
    win.window_rect = *r;
    win.calls.push_back("move:" + std::to_string(r->left) + "," + std::to_string(r->top) + "," +
                        std::to_string(r->right) + "," + std::to_string(r->bottom));
}

void ui_invalidate(UiWindow w)
{
    window(w).invalidations++;
    window(w).calls.push_back("invalidate");
}

void ui_update_now(UiWindow w) { window(w).calls.push_back("update"); }

void ui_post_command(UiWindow w, int command_id)
{
    window(w).posted.push_back(command_id);
    window(w).calls.push_back("post:" + std::to_string(command_id));
}

void ui_send_close(UiWindow w)
{
    window(w).close_requests++;
    window(w).calls.push_back("send-close");
}

void ui_post_quit(int code) { headless::g_quits.push_back(code); }

int ui_current_directory(char *buf, int cap)
{
    std::string dir = headless::g_cwd;
    if (!headless::g_cwd_set) {
        char tmp[4096];
        dir = getcwd(tmp, sizeof tmp) ? tmp : "";
    }
    int n = 0;
    headless::copy_out(dir, buf, cap, &n);
    return n;
}

void ui_limit_text(UiWindow dlg, int id, int max_chars)
{
    auto &d = window(dlg);
    d.ctl(id).limit = max_chars;
    d.calls.push_back("limit:" + std::to_string(id) + "=" + std::to_string(max_chars));
}

void ui_set_text(UiWindow dlg, int id, const char *utf8)
{
    auto &d = window(dlg);
    d.ctl(id).text = utf8 ? utf8 : "";
    d.calls.push_back("text:" + std::to_string(id) + "=" + d.ctl(id).text);
}

int ui_get_text(UiWindow dlg, int id, char *buf, int cap)
{
    int n = 0;
    headless::copy_out(window(dlg).ctl(id).text, buf, cap, &n);
    return n;
}

void ui_set_uint(UiWindow dlg, int id, unsigned value)
{
    ui_set_text(dlg, id, std::to_string(value).c_str());
}

unsigned ui_get_uint(UiWindow dlg, int id, int *ok)
{
    // Leading blanks and digits only, as GetDlgItemInt reads them; no digits: not a number.
    const std::string &s = window(dlg).ctl(id).text;
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    unsigned long long v = 0;
    size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + static_cast<unsigned>(s[i++] - '0');
    bool good = i > start && i == s.size() && v <= 0xFFFFFFFFull;
    if (ok) *ok = good ? 1 : 0;
    return good ? static_cast<unsigned>(v) : 0;
}

namespace {
void record(UiWindow w, const char *what, int id, int value)
{
    window(w).calls.push_back(std::string(what) + ":" + std::to_string(id) + "=" + std::to_string(value));
}
}  // namespace

void ui_enable(UiWindow dlg, int id, int enabled)
{
    window(dlg).ctl(id).enabled = enabled != 0;
    record(dlg, "enable", id, enabled != 0);
}

void ui_show(UiWindow dlg, int id, int shown)
{
    window(dlg).ctl(id).shown = shown != 0;
    record(dlg, "show", id, shown != 0);
}

void ui_check(UiWindow dlg, int id, int checked)
{
    window(dlg).ctl(id).checked = checked != 0;
    record(dlg, "check", id, checked != 0);
}
int ui_is_checked(UiWindow dlg, int id) { return window(dlg).ctl(id).checked ? 1 : 0; }

void ui_focus(UiWindow dlg, int id)
{
    window(dlg).focus = id;
    window(dlg).calls.push_back("focus:" + std::to_string(id));
}

int ui_list_add(UiWindow dlg, int id, const char *utf8)
{
    auto &c = window(dlg).ctl(id);
    c.items.push_back(utf8 ? utf8 : "");
    window(dlg).calls.push_back("add:" + std::to_string(id) + "=" + c.items.back());
    return static_cast<int>(c.items.size()) - 1;
}

int ui_list_insert(UiWindow dlg, int id, int index, const char *utf8)
{
    auto &c = window(dlg).ctl(id);
    if (index < 0 || index > static_cast<int>(c.items.size())) index = static_cast<int>(c.items.size());
    c.items.insert(c.items.begin() + index, utf8 ? utf8 : "");
    // Marks move with their lines; the new line comes unmarked, as LB_INSERTSTRING does.
    std::set<int> moved;
    for (int m : c.multi) moved.insert(m >= index ? m + 1 : m);
    c.multi = moved;
    record(dlg, "insert", id, index);
    return index;
}

void ui_list_delete(UiWindow dlg, int id, int index)
{
    auto &c = window(dlg).ctl(id);
    if (index < 0 || index >= static_cast<int>(c.items.size())) return;
    record(dlg, "delete", id, index);
    c.items.erase(c.items.begin() + index);
    if (c.sel == index) c.sel = -1;
    else if (c.sel > index) c.sel--;
    std::set<int> moved;
    for (int m : c.multi)
        if (m != index) moved.insert(m > index ? m - 1 : m);
    c.multi = moved;
}

void ui_list_reset(UiWindow dlg, int id)
{
    auto &c = window(dlg).ctl(id);
    c.items.clear();
    c.sel = -1;
    c.multi.clear();
    c.top = 0;
    record(dlg, "reset", id, 0);
}

int ui_list_count(UiWindow dlg, int id) { return static_cast<int>(window(dlg).ctl(id).items.size()); }

int ui_list_text(UiWindow dlg, int id, int index, char *buf, int cap)
{
    auto &c = window(dlg).ctl(id);
    if (index < 0 || index >= static_cast<int>(c.items.size())) return -1;
    int n = 0;
    headless::copy_out(c.items[static_cast<size_t>(index)], buf, cap, &n);
    return n;
}

void ui_list_set_sel(UiWindow dlg, int id, int index)
{
    auto &c = window(dlg).ctl(id);
    c.sel = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
    record(dlg, "sel", id, index);
}

int ui_list_get_sel(UiWindow dlg, int id) { return window(dlg).ctl(id).sel; }

void ui_list_select(UiWindow dlg, int id, int index, int selected)
{
    auto &c = window(dlg).ctl(id);
    if (index < 0) {  // -1: every line, as LB_SETSEL does
        c.multi.clear();
        if (selected)
            for (int i = 0; i < static_cast<int>(c.items.size()); ++i) c.multi.insert(i);
        return;
    }
    if (index >= static_cast<int>(c.items.size())) return;
    if (selected) c.multi.insert(index);
    else c.multi.erase(index);
}

int ui_list_is_selected(UiWindow dlg, int id, int index)
{
    auto &c = window(dlg).ctl(id);
    return c.multi.count(index) || c.sel == index ? 1 : 0;
}

void ui_list_set_top(UiWindow dlg, int id, int index) { window(dlg).ctl(id).top = index; }
int ui_list_get_top(UiWindow dlg, int id) { return window(dlg).ctl(id).top; }

int ui_combo_add(UiWindow dlg, int id, const char *utf8) { return ui_list_add(dlg, id, utf8); }
void ui_combo_reset(UiWindow dlg, int id) { ui_list_reset(dlg, id); }
int ui_combo_count(UiWindow dlg, int id) { return ui_list_count(dlg, id); }
void ui_combo_set_sel(UiWindow dlg, int id, int index) { ui_list_set_sel(dlg, id, index); }
int ui_combo_get_sel(UiWindow dlg, int id) { return ui_list_get_sel(dlg, id); }
int ui_combo_text(UiWindow dlg, int id, int index, char *buf, int cap) { return ui_list_text(dlg, id, index, buf, cap); }

void ui_create_button(UiWindow parent, int id, const char *utf8, int x, int y, int width, int height)
{
    auto &w = window(parent);
    headless::Control c;
    c.text = utf8 ? utf8 : "";
    c.rect = UiRect{x, y, x + width, y + height};
    w.controls[id] = c;
    w.calls.push_back("button:" + std::to_string(id) + "=" + c.text);
}

void ui_destroy_control(UiWindow parent, int id)
{
    window(parent).controls.erase(id);
    window(parent).calls.push_back("destroy:" + std::to_string(id));
}

void ui_set_timer(UiWindow w, int timer_id, int period_ms)
{
    auto &win = window(w);
    win.timers[timer_id] = headless::Timer{period_ms, now_ms() + static_cast<uint32_t>(period_ms)};
    win.calls.push_back("set-timer:" + std::to_string(timer_id) + "=" + std::to_string(period_ms));
}

void ui_kill_timer(UiWindow w, int timer_id)
{
    auto &win = window(w);
    win.timers.erase(timer_id);
    win.calls.push_back("kill-timer:" + std::to_string(timer_id));
}

int ui_dialog_run(UiWindow owner, int resource_id, const UiDialogHandlers *handlers)
{
    UiWindow dlg = headless::new_window();
    auto &d = window(dlg);
    d.resource_id = resource_id;
    d.owner = owner;
    d.handlers = handlers;
    headless::g_dialogs_run.push_back(resource_id);
    headless::g_last_dialog = dlg;
    if (handlers && handlers->on_init) handlers->on_init(dlg);
    auto it = headless::g_sessions.find(resource_id);
    if (!d.ended && it != headless::g_sessions.end() && it->second) it->second(dlg);
    if (!d.ended) headless::close(dlg);
    if (!d.ended) {  // a dialog that refuses to close would hang Windows; fail the run loudly
        d.calls.push_back("stuck-open");
        return -1;
    }
    d.timers.clear();  // dialog timers die with the dialog
    return d.result;
}

void ui_end_dialog(UiWindow dlg, int result)
{
    auto &d = window(dlg);
    d.ended = true;
    d.result = result;
    d.calls.push_back("end:" + std::to_string(result));
}
