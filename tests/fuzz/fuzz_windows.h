// Headless windows the fuzz targets keep for the whole run: each carries a canvas that is
// costly to make, so they are made once and only their call records are emptied per input.
#ifndef VOK_TESTS_FUZZ_WINDOWS_H
#define VOK_TESTS_FUZZ_WINDOWS_H

#include "platform/headless/ui_headless.h"

namespace fuzz {

// Window k (0..3), made on first use; its call record and the message boxes emptied.
inline UiWindow window(int k)
{
    static UiWindow made[4] = {};
    if (made[k] == nullptr) made[k] = headless::new_window();
    headless::window(made[k]).calls.clear();
    headless::window(made[k]).controls.clear();
    headless::window(made[k]).timers.clear();
    headless::boxes().clear();
    return made[k];
}

}  // namespace fuzz

#endif
