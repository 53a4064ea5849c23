// Title text and menu states by link state, and their application to a window.
#include <gtest/gtest.h>

#include <string>

#include "app/state.h"
#include "app/title_menu.h"
#include "platform/headless/ui_headless.h"

namespace {

std::string title() {
    char buf[TITLE_MAX];
    const int n = title_text(buf, sizeof buf);
    EXPECT_EQ(n, (int)strlen(buf));
    return buf;
}

TEST(TitleText, ClosedOpenSerialAndNetwork) {
    state_reset();
    EXPECT_EQ(title(), "VOK3900 WIN9x/XP  V2.95  2016.11.25");
    link_state.open = 1;
    link_settings.com_port = 3;
    link_settings.baud_index = 1;
    link_settings.converter_type = 6;
    EXPECT_EQ(title(), "VOK3900 WIN9x/XP  V2.95  2016.11.25  COM3,Baud4800 [VOK4492]");
    link_settings.converter_type = 4;
    link_settings.baud_index = 4;
    EXPECT_EQ(title(), "VOK3900 WIN9x/XP  V2.95  2016.11.25  NET-RW,Baud38400 [VOK4450NET]");
    // Indexes from a hand-edited file do not read past the tables.
    link_settings.converter_type = 9;
    link_settings.baud_index = 5;
    EXPECT_EQ(title(), "VOK3900 WIN9x/XP  V2.95  2016.11.25  COM3,Baud0 [VOK   0]");
    // A small buffer is cut, never overrun.
    char small[8];
    EXPECT_EQ(title_text(small, sizeof small), 7);
    EXPECT_STREQ(small, "VOK3900");
}

TEST(MenuStates, StatesFollowTheLink) {
    state_reset();
    headless::reset();
    UiWindow w = headless::new_window();
    main_window.hwnd = w;
    auto &rec = headless::window(w);

    update_menu(w);
    for (int id : {100, 108}) EXPECT_TRUE(rec.menu_enabled.at(id)) << id;
    for (int id : {101, 102, 103, 105, 106, 107, 109}) EXPECT_FALSE(rec.menu_enabled.at(id)) << id;
    EXPECT_EQ(rec.menu_redraws, 1);

    // Open: module commands enabled; 100 and 108 keep what they had.
    rec.menu_enabled[100] = false;
    link_state.open = 1;
    update_menu(w);
    for (int id : {101, 102, 103, 105, 106, 107, 109}) EXPECT_TRUE(rec.menu_enabled.at(id)) << id;
    EXPECT_FALSE(rec.menu_enabled.at(100));
    EXPECT_TRUE(rec.menu_enabled.at(108));
    EXPECT_EQ(rec.menu_redraws, 2);

    update_title();
    EXPECT_EQ(rec.title, "VOK3900 WIN9x/XP  V2.95  2016.11.25  COM1,Baud9600 [VOK4420]");
}

}  // namespace
