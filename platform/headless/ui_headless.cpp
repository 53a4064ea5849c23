// Headless ui backend: records titles, menu states and calls per window.
#include "platform/headless/ui_headless.h"

#include <memory>

namespace headless {
namespace {
std::vector<std::unique_ptr<Window>> g_windows;
}

UiWindow new_window()
{
    g_windows.push_back(std::make_unique<Window>());
    return reinterpret_cast<UiWindow>(g_windows.back().get());
}

Window &window(UiWindow w) { return *reinterpret_cast<Window *>(w); }

void reset() { g_windows.clear(); }

}  // namespace headless

void ui_set_window_title(UiWindow w, const char *utf8)
{
    auto &win = headless::window(w);
    win.title = utf8 ? utf8 : "";
    win.calls.push_back("title:" + win.title);
}

void ui_menu_enable(UiWindow w, int item_id, int enabled)
{
    auto &win = headless::window(w);
    win.menu_enabled[item_id] = enabled != 0;
    win.calls.push_back("menu:" + std::to_string(item_id) + "=" + (enabled ? "1" : "0"));
}

void ui_menu_redraw(UiWindow w)
{
    auto &win = headless::window(w);
    win.menu_redraws++;
    win.calls.push_back("menu-redraw");
}
