// Win32 ui backend: USER32 through the wide APIs; every text crosses the seam as UTF-8.
#include <windows.h>

#include <string>

#include "platform/ui.h"
#include "platform/win32/ui_win32.h"

namespace {
HWND hw(UiWindow w) { return reinterpret_cast<HWND>(w); }
HWND item(UiWindow dlg, int id) { return GetDlgItem(hw(dlg), id); }

LRESULT send_item(UiWindow dlg, int id, UINT msg, WPARAM wp, LPARAM lp)
{
    return SendDlgItemMessageW(hw(dlg), id, msg, wp, lp);
}

// A message that hands a list or combo box one text (add, insert).
int send_text(UiWindow dlg, int id, UINT msg, WPARAM wp, const char *utf8)
{
    std::wstring w = ui_widen(utf8);
    return static_cast<int>(send_item(dlg, id, msg, wp, reinterpret_cast<LPARAM>(w.c_str())));
}

std::string narrow_text(const wchar_t *w, int len)
{
    if (len <= 0) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w, len, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, len, s.data(), n, nullptr, nullptr);
    return s;
}

int copy_out(const std::string &s, char *buf, int cap)
{
    if (!buf || cap <= 0) return 0;
    int n = static_cast<int>(s.size()) < cap - 1 ? static_cast<int>(s.size()) : cap - 1;
    s.copy(buf, static_cast<size_t>(n));
    buf[n] = 0;
    return n;
}

// Text of item `index` of a list or combo box, by its length and text messages; -1 when
// there is no such item (LB_ERR and CB_ERR are both -1).
int item_text(UiWindow dlg, int id, UINT len_msg, UINT text_msg, int index, char *buf, int cap)
{
    LRESULT len = send_item(dlg, id, len_msg, static_cast<WPARAM>(index), 0);
    if (len == LB_ERR) return -1;
    std::wstring w(static_cast<size_t>(len) + 1, L'\0');
    LRESULT got = send_item(dlg, id, text_msg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(w.data()));
    if (got == LB_ERR) return -1;
    return copy_out(narrow_text(w.data(), static_cast<int>(got)), buf, cap);
}

INT_PTR CALLBACK dialog_proc(HWND h, UINT m, WPARAM wp, LPARAM lp)
{
    UiWindow dlg = reinterpret_cast<UiWindow>(h);
    if (m == WM_INITDIALOG) {
        SetWindowLongPtrW(h, DWLP_USER, lp);
        auto *hd = reinterpret_cast<const UiDialogHandlers *>(lp);
        HWND before = GetFocus();
        if (hd && hd->on_init) hd->on_init(dlg);
        return GetFocus() == before ? TRUE : FALSE;  // FALSE keeps a focus the logic set
    }
    auto *hd = reinterpret_cast<const UiDialogHandlers *>(GetWindowLongPtrW(h, DWLP_USER));
    if (!hd) return FALSE;
    switch (m) {
    case WM_COMMAND:
        if (LOWORD(wp) != IDCANCEL || lp != 0) {
            if (hd->on_command) hd->on_command(dlg, LOWORD(wp), HIWORD(wp));
            return TRUE;
        }
        [[fallthrough]];  // Esc: treat like the close box
    case WM_CLOSE:
        if (hd->on_close) hd->on_close(dlg);
        else EndDialog(h, UI_ID_CANCEL);
        return TRUE;
    case WM_TIMER:
        if (hd->on_timer) hd->on_timer(dlg, static_cast<int>(wp));
        return TRUE;
    case WM_VSCROLL:
    case WM_HSCROLL: {
        // Scroll bar controls only (lp = the bar); line steps become seam notifications,
        // every other scroll action (thumb, page) is left to the bar itself.
        int code = LOWORD(wp);
        if (lp == 0 || (code != SB_LINEUP && code != SB_LINEDOWN)) return FALSE;
        if (hd->on_command)
            hd->on_command(dlg, GetDlgCtrlID(reinterpret_cast<HWND>(lp)),
                           code == SB_LINEUP ? UI_SCROLL_LINE_UP : UI_SCROLL_LINE_DOWN);
        return TRUE;
    }
    default:
        return FALSE;
    }
}
}  // namespace

std::wstring ui_widen(const char *utf8)
{
    if (!utf8 || !*utf8) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    w.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    return w;
}

std::string ui_narrow(const wchar_t *w) { return w ? narrow_text(w, lstrlenW(w)) : std::string(); }

void ui_set_window_title(UiWindow w, const char *utf8) { SetWindowTextW(hw(w), ui_widen(utf8).c_str()); }

void ui_menu_enable(UiWindow w, int item_id, int enabled)
{
    EnableMenuItem(GetMenu(hw(w)), static_cast<UINT>(item_id),
                   MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void ui_menu_redraw(UiWindow w) { DrawMenuBar(hw(w)); }

int ui_message_box(UiWindow owner, const char *text, const char *caption, int flags)
{
    return MessageBoxW(hw(owner), ui_widen(text).c_str(), ui_widen(caption).c_str(),
                       static_cast<UINT>(flags));
}

void ui_beep(int kind) { MessageBeep(static_cast<UINT>(kind)); }

void ui_wait_cursor(int on) { SetCursor(LoadCursorW(nullptr, on ? IDC_WAIT : IDC_ARROW)); }

int ui_screen_width(void) { return GetSystemMetrics(SM_CXSCREEN); }

void ui_get_window_rect(UiWindow w, UiRect *r)
{
    RECT rc;
    GetWindowRect(hw(w), &rc);
    *r = UiRect{rc.left, rc.top, rc.right, rc.bottom};
}

void ui_get_client_rect(UiWindow w, UiRect *r)
{
    RECT rc;
    GetClientRect(hw(w), &rc);
    *r = UiRect{rc.left, rc.top, rc.right, rc.bottom};
}

void ui_move_window(UiWindow w, const UiRect *r)
{
    MoveWindow(hw(w), r->left, r->top, r->right - r->left, r->bottom - r->top, TRUE);
}

void ui_invalidate(UiWindow w) { InvalidateRect(hw(w), nullptr, TRUE); }
void ui_update_now(UiWindow w) { UpdateWindow(hw(w)); }
void ui_post_command(UiWindow w, int command_id) { PostMessageW(hw(w), WM_COMMAND, static_cast<WPARAM>(command_id), 0); }
void ui_send_close(UiWindow w) { SendMessageW(hw(w), WM_CLOSE, 0, 0); }
void ui_post_quit(int code) { PostQuitMessage(code); }

int ui_current_directory(char *buf, int cap)
{
    wchar_t dir[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, dir);
    if (n == 0 || n > MAX_PATH) return 0;
    return copy_out(narrow_text(dir, static_cast<int>(n)), buf, cap);
}

void ui_limit_text(UiWindow dlg, int id, int max_chars)
{
    SendDlgItemMessageW(hw(dlg), id, EM_LIMITTEXT, static_cast<WPARAM>(max_chars), 0);
}

void ui_set_text(UiWindow dlg, int id, const char *utf8) { SetDlgItemTextW(hw(dlg), id, ui_widen(utf8).c_str()); }

int ui_get_text(UiWindow dlg, int id, char *buf, int cap)
{
    HWND c = item(dlg, id);
    int len = c ? GetWindowTextLengthW(c) : 0;
    std::wstring w(static_cast<size_t>(len) + 1, L'\0');
    int got = len > 0 ? GetWindowTextW(c, w.data(), len + 1) : 0;
    return copy_out(narrow_text(w.data(), got), buf, cap);
}

void ui_set_uint(UiWindow dlg, int id, unsigned value) { SetDlgItemInt(hw(dlg), id, value, FALSE); }

unsigned ui_get_uint(UiWindow dlg, int id, int *ok)
{
    BOOL good = FALSE;
    UINT v = GetDlgItemInt(hw(dlg), id, &good, FALSE);
    if (ok) *ok = good ? 1 : 0;
    return v;
}

void ui_enable(UiWindow dlg, int id, int enabled) { EnableWindow(item(dlg, id), enabled ? TRUE : FALSE); }
void ui_show(UiWindow dlg, int id, int shown) { ShowWindow(item(dlg, id), shown ? SW_SHOW : SW_HIDE); }
void ui_check(UiWindow dlg, int id, int checked) { CheckDlgButton(hw(dlg), id, checked ? BST_CHECKED : BST_UNCHECKED); }
int ui_is_checked(UiWindow dlg, int id) { return IsDlgButtonChecked(hw(dlg), id) == BST_CHECKED ? 1 : 0; }
void ui_focus(UiWindow dlg, int id) { SetFocus(item(dlg, id)); }

int ui_list_add(UiWindow dlg, int id, const char *utf8) { return send_text(dlg, id, LB_ADDSTRING, 0, utf8); }
int ui_list_insert(UiWindow dlg, int id, int index, const char *utf8)
{
    return send_text(dlg, id, LB_INSERTSTRING, static_cast<WPARAM>(index), utf8);
}

void ui_list_delete(UiWindow dlg, int id, int index) { send_item(dlg, id, LB_DELETESTRING, static_cast<WPARAM>(index), 0); }
void ui_list_reset(UiWindow dlg, int id) { send_item(dlg, id, LB_RESETCONTENT, 0, 0); }
int ui_list_count(UiWindow dlg, int id) { return static_cast<int>(send_item(dlg, id, LB_GETCOUNT, 0, 0)); }

int ui_list_text(UiWindow dlg, int id, int index, char *buf, int cap)
{
    return item_text(dlg, id, LB_GETTEXTLEN, LB_GETTEXT, index, buf, cap);
}

void ui_list_set_sel(UiWindow dlg, int id, int index) { send_item(dlg, id, LB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int ui_list_get_sel(UiWindow dlg, int id) { return static_cast<int>(send_item(dlg, id, LB_GETCURSEL, 0, 0)); }
void ui_list_select(UiWindow dlg, int id, int index, int selected) { send_item(dlg, id, LB_SETSEL, selected ? TRUE : FALSE, index); }
int ui_list_is_selected(UiWindow dlg, int id, int index) { return send_item(dlg, id, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0 ? 1 : 0; }
void ui_list_set_top(UiWindow dlg, int id, int index) { send_item(dlg, id, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0); }
int ui_list_get_top(UiWindow dlg, int id) { return static_cast<int>(send_item(dlg, id, LB_GETTOPINDEX, 0, 0)); }

int ui_combo_add(UiWindow dlg, int id, const char *utf8) { return send_text(dlg, id, CB_ADDSTRING, 0, utf8); }
void ui_combo_reset(UiWindow dlg, int id) { send_item(dlg, id, CB_RESETCONTENT, 0, 0); }
int ui_combo_count(UiWindow dlg, int id) { return static_cast<int>(send_item(dlg, id, CB_GETCOUNT, 0, 0)); }
void ui_combo_set_sel(UiWindow dlg, int id, int index) { send_item(dlg, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int ui_combo_get_sel(UiWindow dlg, int id) { return static_cast<int>(send_item(dlg, id, CB_GETCURSEL, 0, 0)); }

int ui_combo_text(UiWindow dlg, int id, int index, char *buf, int cap)
{
    return item_text(dlg, id, CB_GETLBTEXTLEN, CB_GETLBTEXT, index, buf, cap);
}

void ui_create_button(UiWindow parent, int id, const char *utf8, int x, int y, int width, int height)
{
    HWND b = CreateWindowExW(0, L"BUTTON", ui_widen(utf8).c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                             x, y, width, height, hw(parent), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             GetModuleHandleW(nullptr), nullptr);
    // The dialogs' font rather than the system font, which has no Chinese glyphs on every system.
    if (b) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void ui_destroy_control(UiWindow parent, int id)
{
    HWND c = item(parent, id);
    if (c) DestroyWindow(c);
}

void ui_set_timer(UiWindow w, int timer_id, int period_ms) { SetTimer(hw(w), static_cast<UINT_PTR>(timer_id), static_cast<UINT>(period_ms), nullptr); }
void ui_kill_timer(UiWindow w, int timer_id) { KillTimer(hw(w), static_cast<UINT_PTR>(timer_id)); }

int ui_dialog_run(UiWindow owner, int resource_id, const UiDialogHandlers *handlers)
{
    INT_PTR r = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_id), hw(owner),
                                dialog_proc, reinterpret_cast<LPARAM>(handlers));
    return static_cast<int>(r);
}

void ui_end_dialog(UiWindow dlg, int result) { EndDialog(hw(dlg), result); }
