// Automation helper for vokmon under Wine: finds its main window, dialogs and message
// boxes, sends commands, clicks and texts, and reads titles, fields and list boxes.
// Usage: vokctl.exe STEP... where each STEP is one argument "verb arg...", run in order;
// every result goes to stdout as one line. Exit code 0 when all steps succeeded, else the
// 1-based number of the failing step.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const wchar_t *const MainClass = L"VOK3900 WIN9x/XP  V2.95  2016.11.25";
HWND g_main = nullptr;
HWND g_dialog = nullptr;  // the dialog the control steps address

std::string utf8(const std::wstring &w)
{
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string &s)
{
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::wstring text_of(HWND h)
{
    wchar_t buf[2048];
    LRESULT n = SendMessageW(h, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf));
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring class_of(HWND h)
{
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

// Escapes CR and LF so that each result stays on one line.
std::string one_line(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

struct Found {
    int want_id;      // dialog: a control id it must have; 0: a message box
    HWND result;
};

bool is_message_box(HWND h)
{
    // A box has an OK, Yes or No button but none of vokmon's dialog controls.
    return (GetDlgItem(h, IDOK) || GetDlgItem(h, IDYES)) && !GetDlgItem(h, 214) && !GetDlgItem(h, 300);
}

BOOL CALLBACK find_top(HWND h, LPARAM lp)
{
    auto *f = reinterpret_cast<Found *>(lp);
    if (!IsWindowVisible(h) || class_of(h) != L"#32770") return TRUE;
    if (f->want_id ? GetDlgItem(h, f->want_id) != nullptr : is_message_box(h)) {
        f->result = h;
        return FALSE;
    }
    return TRUE;
}

HWND wait_for(int want_id, int timeout_ms)
{
    for (int t = 0; t <= timeout_ms; t += 100) {
        Found f{want_id, nullptr};
        EnumWindows(find_top, reinterpret_cast<LPARAM>(&f));
        if (f.result) return f.result;
        Sleep(100);
    }
    return nullptr;
}

BOOL CALLBACK collect_static(HWND h, LPARAM lp)
{
    auto *best = reinterpret_cast<std::wstring *>(lp);
    if (class_of(h) == L"Static") {
        std::wstring t = text_of(h);
        if (t.size() > best->size()) *best = t;
    }
    return TRUE;
}

std::vector<std::string> split(const std::string &s)
{
    std::vector<std::string> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        if (i >= s.size()) break;
        size_t j = s.find(' ', i);
        if (j == std::string::npos) j = s.size();
        out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

// The rest of the step after `skip` words (texts may hold blanks).
std::string rest(const std::string &s, int skip)
{
    size_t i = 0;
    for (int k = 0; k < skip; ++k) {
        while (i < s.size() && s[i] == ' ') ++i;
        while (i < s.size() && s[i] != ' ') ++i;
    }
    if (i < s.size()) ++i;
    return i < s.size() ? s.substr(i) : std::string();
}

int num(const std::vector<std::string> &a, size_t k, int dflt)
{
    return a.size() > k ? std::atoi(a[k].c_str()) : dflt;
}

// Topmost visible dialog or message box (z-order), or null: the window a screenshot shows
// in front.
BOOL CALLBACK find_front(HWND h, LPARAM lp)
{
    if (!IsWindowVisible(h) || class_of(h) != L"#32770") return TRUE;
    *reinterpret_cast<HWND *>(lp) = h;
    return FALSE;
}

HWND front_dialog()
{
    HWND h = nullptr;
    EnumWindows(find_front, reinterpret_cast<LPARAM>(&h));
    return h;
}

// Polls `probe` every 100 ms until it holds or `timeout_ms` passed; the last probe decides.
template <class Probe> bool poll(int timeout_ms, Probe probe)
{
    for (int t = 0;; t += 100) {
        if (probe()) return true;
        if (t >= timeout_ms) return false;
        Sleep(100);
    }
}

// Whether the pixels x, y0..y1 of the main window's client area hold a pure red, yellow,
// green or blue: the pens of the curve view. One copy of the column per call, not one
// GetPixel per row.
bool column_has_curve(int x, int y0, int y1)
{
    int h = y1 - y0 + 1;
    if (!g_main || h <= 0) return false;
    HDC wdc = GetDC(g_main);
    HDC mdc = CreateCompatibleDC(wdc);
    HBITMAP bmp = CreateCompatibleBitmap(wdc, 1, h);
    HGDIOBJ old = SelectObject(mdc, bmp);
    BitBlt(mdc, 0, 0, 1, h, wdc, x, y0, SRCCOPY);
    SelectObject(mdc, old);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 1;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> px(static_cast<size_t>(h));
    int rows = GetDIBits(mdc, bmp, 0, static_cast<UINT>(h), px.data(), &bi, DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mdc);
    ReleaseDC(g_main, wdc);
    for (int k = 0; k < rows; ++k) {
        DWORD c = px[static_cast<size_t>(k)] & 0xFFFFFFu;  // 0x00RRGGBB
        if (c == 0xFF0000u || c == 0xFFFF00u || c == 0x00FF00u || c == 0x0000FFu) return true;
    }
    return false;
}

LRESULT list_count(int id)
{
    return SendDlgItemMessageW(g_dialog, id, LB_GETCOUNT, 0, 0);
}

bool step(const std::string &line)
{
    std::vector<std::string> a = split(line);
    if (a.empty()) return true;
    const std::string &verb = a[0];
    if (verb == "wait-main") {
        for (int t = 0; t <= num(a, 1, 20000) && !g_main; t += 100) {
            g_main = FindWindowW(MainClass, nullptr);
            if (!g_main) Sleep(100);
        }
        std::printf("main %s\n", g_main ? "found" : "missing");
        return g_main != nullptr;
    }
    if (verb == "sleep") {
        Sleep(static_cast<DWORD>(num(a, 1, 100)));
        return true;
    }
    if (verb == "title") {
        std::printf("title %s\n", utf8(text_of(g_main)).c_str());
        return g_main != nullptr;
    }
    if (verb == "command") {
        return PostMessageW(g_main, WM_COMMAND, static_cast<WPARAM>(num(a, 1, 0)), 0) != 0;
    }
    if (verb == "click-xy") {  // left click in the main window's client area
        LPARAM p = MAKELPARAM(num(a, 1, 0), num(a, 2, 0));
        PostMessageW(g_main, WM_LBUTTONDOWN, MK_LBUTTON, p);
        PostMessageW(g_main, WM_LBUTTONUP, 0, p);
        return true;
    }
    if (verb == "dblclick-xy") {  // left double click in the main window's client area
        LPARAM p = MAKELPARAM(num(a, 1, 0), num(a, 2, 0));
        PostMessageW(g_main, WM_LBUTTONDOWN, MK_LBUTTON, p);
        PostMessageW(g_main, WM_LBUTTONUP, 0, p);
        PostMessageW(g_main, WM_LBUTTONDBLCLK, MK_LBUTTON, p);
        PostMessageW(g_main, WM_LBUTTONUP, 0, p);
        return true;
    }
    if (verb == "checked") {  // check state of a button of the current dialog
        std::printf("checked %d %d\n", num(a, 1, 0),
                    IsDlgButtonChecked(g_dialog, num(a, 1, 0)) == BST_CHECKED ? 1 : 0);
        return g_dialog != nullptr;
    }
    if (verb == "list-top") {  // top line index of a list box
        std::printf("list-top %d %ld\n", num(a, 1, 0),
                    static_cast<long>(SendDlgItemMessageW(g_dialog, num(a, 1, 0), LB_GETTOPINDEX, 0, 0)));
        return g_dialog != nullptr;
    }
    if (verb == "rclick-xy") {  // right click in the main window's client area
        LPARAM p = MAKELPARAM(num(a, 1, 0), num(a, 2, 0));
        PostMessageW(g_main, WM_RBUTTONDOWN, MK_RBUTTON, p);
        PostMessageW(g_main, WM_RBUTTONUP, 0, p);
        return true;
    }
    if (verb == "shown") {  // whether a control of the current dialog is visible (1) or hidden (0)
        HWND c = GetDlgItem(g_dialog, num(a, 1, 0));
        std::printf("shown %d %d\n", num(a, 1, 0), c && IsWindowVisible(c) ? 1 : 0);
        return c != nullptr;
    }
    if (verb == "pixel") {  // colour at a client point of the main window, as RRGGBB
        HDC dc = GetDC(g_main);
        COLORREF c = GetPixel(dc, num(a, 1, 0), num(a, 2, 0));
        ReleaseDC(g_main, dc);
        std::printf("pixel %d %d %02X%02X%02X\n", num(a, 1, 0), num(a, 2, 0), GetRValue(c), GetGValue(c), GetBValue(c));
        return true;
    }
    if (verb == "box") {  // wait for a message box, print it, press its default answer
        HWND h = wait_for(0, num(a, 1, 10000));
        if (!h) {
            std::printf("box missing\n");
            return false;
        }
        std::wstring text;
        EnumChildWindows(h, collect_static, reinterpret_cast<LPARAM>(&text));
        std::printf("box [%s] %s\n", utf8(text_of(h)).c_str(), one_line(utf8(text)).c_str());
        int answer = a.size() > 2 && a[2] == "no" ? IDNO : (GetDlgItem(h, IDYES) ? IDYES : IDOK);
        PostMessageW(h, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, answer)));
        // Answered when the box is gone (5 s at most).
        for (int t = 0; t < 5000 && IsWindow(h); t += 20) Sleep(20);
        return !IsWindow(h);
    }
    if (verb == "no-box") {  // succeeds when no message box shows up within the time
        HWND h = wait_for(0, num(a, 1, 1000));
        if (h) {
            std::wstring text;
            EnumChildWindows(h, collect_static, reinterpret_cast<LPARAM>(&text));
            std::printf("unexpected box %s\n", one_line(utf8(text)).c_str());
        }
        return h == nullptr;
    }
    if (verb == "dialog") {  // wait for the dialog holding control id, make it current
        g_dialog = wait_for(num(a, 1, 0), num(a, 2, 10000));
        std::printf("dialog %d %s [%s]\n", num(a, 1, 0), g_dialog ? "found" : "missing",
                    g_dialog ? utf8(text_of(g_dialog)).c_str() : "");
        return g_dialog != nullptr;
    }
    if (verb == "gone") {  // wait until no dialog holds control id
        for (int t = 0; t <= num(a, 2, 10000); t += 100) {
            if (!wait_for(num(a, 1, 0), 0)) return true;
            Sleep(100);
        }
        std::printf("dialog %d still open\n", num(a, 1, 0));
        return false;
    }
    if (verb == "click") {
        int id = num(a, 1, 0);
        return PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, id))) != 0;
    }
    if (verb == "check") {  // radio button: set it, clear its group mates by the given range
        int id = num(a, 1, 0), first = num(a, 2, id), last = num(a, 3, id);
        for (int k = first; k <= last; ++k)
            SendDlgItemMessageW(g_dialog, k, BM_SETCHECK, k == id ? BST_CHECKED : BST_UNCHECKED, 0);
        return true;
    }
    if (verb == "set-text") {
        // An edit's change notice may open a message box inside vokmon, which would hold a
        // plain SendMessage until the box is answered: give up waiting after 2 s instead.
        std::wstring w = wide(rest(line, 2));
        DWORD_PTR result = 0;
        LRESULT ok = SendMessageTimeoutW(GetDlgItem(g_dialog, num(a, 1, 0)), WM_SETTEXT, 0,
                                         reinterpret_cast<LPARAM>(w.c_str()), SMTO_NORMAL, 2000, &result);
        return ok != 0 || GetLastError() == ERROR_TIMEOUT || GetLastError() == 0;
    }
    if (verb == "get-text") {
        std::printf("text %d %s\n", num(a, 1, 0), utf8(text_of(GetDlgItem(g_dialog, num(a, 1, 0)))).c_str());
        return true;
    }
    if (verb == "select") {  // combo box selection with its change notice
        int id = num(a, 1, 0);
        SendDlgItemMessageW(g_dialog, id, CB_SETCURSEL, static_cast<WPARAM>(num(a, 2, 0)), 0);
        return PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                            reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, id))) != 0;
    }
    if (verb == "list") {  // every line of a list box
        int id = num(a, 1, 0);
        LRESULT n = SendDlgItemMessageW(g_dialog, id, LB_GETCOUNT, 0, 0);
        std::printf("list %d count %ld\n", id, static_cast<long>(n));
        for (LRESULT k = 0; k < n; ++k) {
            wchar_t buf[1024];
            LRESULT len = SendDlgItemMessageW(g_dialog, id, LB_GETTEXT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(buf));
            std::printf("list %d [%ld] %s\n", id, static_cast<long>(k),
                        utf8(std::wstring(buf, static_cast<size_t>(len > 0 ? len : 0))).c_str());
        }
        return n >= 0;
    }
    if (verb == "list-select") {  // single-selection list: select a line, with its change notice
        int id = num(a, 1, 0);
        SendDlgItemMessageW(g_dialog, id, LB_SETCURSEL, static_cast<WPARAM>(num(a, 2, 0)), 0);
        return PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                            reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, id))) != 0;
    }
    if (verb == "list-dblclk") {  // list line selected and double-clicked (with both notices)
        int id = num(a, 1, 0);
        HWND c = GetDlgItem(g_dialog, id);
        SendDlgItemMessageW(g_dialog, id, LB_SETCURSEL, static_cast<WPARAM>(num(a, 2, 0)), 0);
        PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(c));
        return PostMessageW(g_dialog, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), reinterpret_cast<LPARAM>(c)) != 0;
    }
    if (verb == "list-marked") {  // multiple-selection list: the selected lines
        int id = num(a, 1, 0);
        LRESULT n = SendDlgItemMessageW(g_dialog, id, LB_GETCOUNT, 0, 0);
        std::string marked;
        for (LRESULT k = 0; k < n; ++k)
            if (SendDlgItemMessageW(g_dialog, id, LB_GETSEL, static_cast<WPARAM>(k), 0) > 0) marked += " " + std::to_string(k);
        std::printf("list-marked %d%s\n", id, marked.c_str());
        return n >= 0;
    }
    if (verb == "vscroll") {  // an arrow of a vertical scroll bar control: up or down
        int id = num(a, 1, 0);
        WPARAM code = a.size() > 2 && a[2] == "down" ? SB_LINEDOWN : SB_LINEUP;
        return PostMessageW(g_dialog, WM_VSCROLL, code, reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, id))) != 0;
    }
    if (verb == "click-ctl") {  // left click at a client point of a control (e.g. a scroll arrow)
        HWND c = GetDlgItem(g_dialog, num(a, 1, 0));
        LPARAM p = MAKELPARAM(num(a, 2, 0), num(a, 3, 0));
        PostMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, p);
        PostMessageW(c, WM_LBUTTONUP, 0, p);
        return c != nullptr;
    }
    if (verb == "click-wait") {  // press a button and wait until its handler has returned
        int id = num(a, 1, 0);
        DWORD_PTR res = 0;
        const LRESULT done = SendMessageTimeoutW(g_dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                                 reinterpret_cast<LPARAM>(GetDlgItem(g_dialog, id)), SMTO_NORMAL,
                                                 static_cast<UINT>(num(a, 2, 10000)), &res);
        if (!done) std::printf("click %d still running after %d ms\n", id, num(a, 2, 10000));
        return done != 0;
    }
    if (verb == "wait-enabled") {  // poll a control until it is enabled (1) or disabled (0)
        const int id = num(a, 1, 0), want = num(a, 2, 1), limit = num(a, 3, 10000);
        int state = -1;
        for (int t = 0; t <= limit; t += 50) {
            state = IsWindowEnabled(GetDlgItem(g_dialog, id)) ? 1 : 0;
            if (state == want) break;
            Sleep(50);
        }
        std::printf("enabled %d %d\n", id, state);
        return state == want;
    }
    if (verb == "enabled") {
        std::printf("enabled %d %d\n", num(a, 1, 0), IsWindowEnabled(GetDlgItem(g_dialog, num(a, 1, 0))) ? 1 : 0);
        return true;
    }
    if (verb == "menu") {  // state of a main menu item
        // Menus are per process under Wine: this works only where the system shares them.
        UINT st = GetMenuState(GetMenu(g_main), static_cast<UINT>(num(a, 1, 0)), MF_BYCOMMAND);
        std::printf("menu %d %s\n", num(a, 1, 0),
                    st == 0xFFFFFFFFu ? "unknown" : (st & (MF_GRAYED | MF_DISABLED)) ? "grey" : "enabled");
        return st != 0xFFFFFFFFu;
    }
    if (verb == "resize") {  // asks the main window to take another size, as a frame drag does
        return SetWindowPos(g_main, nullptr, 0, 0, num(a, 1, 0), num(a, 2, 0),
                            SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
    }
    if (verb == "rect") {  // the main window's rectangle on the screen
        RECT r{};
        GetWindowRect(g_main, &r);
        std::printf("rect %ld %ld %ld %ld\n", static_cast<long>(r.left), static_cast<long>(r.top),
                    static_cast<long>(r.right), static_cast<long>(r.bottom));
        return g_main != nullptr;
    }
    if (verb == "front") {  // what is in front: the topmost dialog's caption and rectangle, else the main window
        HWND h = front_dialog();
        HWND w = h ? h : g_main;
        RECT r{};
        GetWindowRect(w, &r);
        std::printf("front %s [%s] %ld %ld %ld %ld\n", h ? "dialog" : "main", utf8(text_of(w)).c_str(),
                    static_cast<long>(r.left), static_cast<long>(r.top), static_cast<long>(r.right),
                    static_cast<long>(r.bottom));
        return w != nullptr;
    }
    if (verb == "main-shown") {  // a child control of the main window is (or becomes) visible
        int id = num(a, 1, 0);
        auto shown = [&] {
            HWND c = GetDlgItem(g_main, id);
            return c && IsWindowVisible(c);
        };
        bool ok = poll(num(a, 2, 0), shown);
        std::printf("main-shown %d %d\n", id, ok ? 1 : 0);
        return ok;
    }
    if (verb == "wait-curve") {  // a curve colour appears in column X of the main window's client rows Y0..Y1
        int x = num(a, 1, 0), y0 = num(a, 2, 0), y1 = num(a, 3, 0);
        bool ok = poll(num(a, 4, 10000), [&] { return column_has_curve(x, y0, y1); });
        std::printf("wait-curve %d %s\n", x, ok ? "reached" : "not reached");
        return ok;
    }
    if (verb == "wait-list") {  // a list box of the current dialog holds at least N lines
        int id = num(a, 1, 0), want = num(a, 2, 1);
        bool ok = poll(num(a, 3, 10000), [&] { return list_count(id) >= want; });
        std::printf("wait-list %d %ld\n", id, static_cast<long>(list_count(id)));
        return ok;
    }
    if (verb == "wait-line") {  // line N of a list box holds the rest of the step
        int id = num(a, 1, 0), line_no = num(a, 2, 0);
        std::wstring want = wide(rest(line, 4));
        auto line_text = [&] {
            wchar_t buf[1024];
            LRESULT len = SendDlgItemMessageW(g_dialog, id, LB_GETTEXT, static_cast<WPARAM>(line_no),
                                              reinterpret_cast<LPARAM>(buf));
            return std::wstring(buf, static_cast<size_t>(len > 0 ? len : 0));
        };
        bool ok = poll(num(a, 3, 10000), [&] { return line_text().find(want) != std::wstring::npos; });
        std::printf("wait-line %d [%d] %s\n", id, line_no, utf8(line_text()).c_str());
        return ok;
    }
    if (verb == "wait-text") {  // a control of the current dialog shows a text holding the rest of the step
        int id = num(a, 1, 0);
        std::wstring want = wide(rest(line, 3));
        auto now = [&] { return text_of(GetDlgItem(g_dialog, id)); };
        bool ok = poll(num(a, 2, 10000), [&] { return now().find(want) != std::wstring::npos; });
        std::printf("text %d %s\n", id, utf8(now()).c_str());
        return ok;
    }
    if (verb == "wait-number") {  // a control of the current dialog shows a decimal number >= N
        int id = num(a, 1, 0), want = num(a, 2, 0);
        auto now = [&] { return std::atoi(utf8(text_of(GetDlgItem(g_dialog, id))).c_str()); };
        bool ok = poll(num(a, 3, 10000), [&] { return now() >= want; });
        std::printf("number %d %d\n", id, now());
        return ok;
    }
    if (verb == "wait-enabled") {  // a control of the current dialog becomes enabled (1) or disabled (0)
        int id = num(a, 1, 0), want = num(a, 2, 1);
        bool ok = poll(num(a, 3, 10000), [&] { return (IsWindowEnabled(GetDlgItem(g_dialog, id)) ? 1 : 0) == want; });
        std::printf("enabled %d %d\n", id, IsWindowEnabled(GetDlgItem(g_dialog, id)) ? 1 : 0);
        return ok;
    }
    if (verb == "close-main") {
        PostMessageW(g_main, WM_CLOSE, 0, 0);
        return true;
    }
    if (verb == "wait-exit") {  // the main window is gone
        for (int t = 0; t <= num(a, 1, 10000); t += 100) {
            if (!FindWindowW(MainClass, nullptr)) return true;
            Sleep(100);
        }
        std::printf("main still open\n");
        return false;
    }
    std::printf("unknown step %s\n", verb.c_str());
    return false;
}
}  // namespace

int wmain(int argc, wchar_t **argv)
{
    for (int k = 1; k < argc; ++k) {
        std::string line = utf8(argv[k]);
        bool ok = step(line);
        std::fflush(stdout);
        if (!ok) {
            std::printf("FAILED step %d: %s\n", k, line.c_str());
            return k;
        }
    }
    return 0;
}
