// Headless ui backend for tests: every window is a recorded node; tests read it back.
#ifndef VOK_PLATFORM_UI_HEADLESS_H
#define VOK_PLATFORM_UI_HEADLESS_H

#include <map>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace headless {

struct Window {
    std::string title;
    std::map<int, bool> menu_enabled;  // item id -> enabled
    int menu_redraws = 0;
    std::vector<std::string> calls;    // every call, in order, as text
};

UiWindow new_window();            // a fresh recorded window
Window &window(UiWindow w);       // its record
void reset();                     // forget every window

}  // namespace headless

#endif
