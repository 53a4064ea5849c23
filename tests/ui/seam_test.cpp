// The headless ui/gfx backend that every dialog scenario stands on: timers on virtual time,
// scripted dialogs and boxes, and the raster's drawing rules.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"

namespace {

struct Seam : ::testing::Test {
    void SetUp() override
    {
        fake::reset();
        headless::reset();
    }
};

std::vector<std::pair<int, int64_t>> g_ticks;  // (timer id, virtual ms)

void tick_handler(UiWindow dlg, int id)
{
    g_ticks.push_back({id, fake::now_us() / 1000});
    if (g_ticks.size() == 3) ui_kill_timer(dlg, 7);
    if (g_ticks.size() == 5) ui_end_dialog(dlg, 42);
}

TEST_F(Seam, TimersFireInDueOrderOnVirtualTimeUntilTheDialogEnds)
{
    g_ticks.clear();
    static const UiDialogHandlers h = {
        [](UiWindow d) { ui_set_timer(d, 7, 30); ui_set_timer(d, 9, 50); }, nullptr, tick_handler, nullptr};
    headless::on_dialog(500, [](UiWindow d) { headless::run_timers(d); });
    EXPECT_EQ(ui_dialog_run(nullptr, 500, &h), 42);
    // 7 at 30 and 60, 9 at 50; 7 is killed at the third tick; 9 goes on at 100 and 150.
    std::vector<std::pair<int, int64_t>> want = {{7, 30}, {9, 50}, {7, 60}, {9, 100}, {9, 150}};
    EXPECT_EQ(g_ticks, want);
}

TEST_F(Seam, DialogWithoutSessionClosesByItsFrameAndBoxesTakeScriptedAnswers)
{
    static int closes = 0;
    static const UiDialogHandlers h = {nullptr, nullptr, nullptr, [](UiWindow d) { closes++; ui_end_dialog(d, 3); }};
    EXPECT_EQ(ui_dialog_run(nullptr, 501, &h), 3);
    EXPECT_EQ(closes, 1);

    headless::answer_next(UI_ID_YES);
    EXPECT_EQ(ui_message_box(nullptr, "a", "b", UI_MB_YESNO), UI_ID_YES);
    EXPECT_EQ(ui_message_box(nullptr, "a", "b", UI_MB_YESNO), UI_ID_NO);  // default
    EXPECT_EQ(ui_message_box(nullptr, "a", "b", UI_MB_OK), UI_ID_OK);
    ASSERT_EQ(headless::boxes().size(), 3u);
}

TEST_F(Seam, ListBoxesKeepSelectionAcrossInsertAndDelete)
{
    UiWindow d = headless::new_window();
    ui_list_add(d, 1, "a");
    ui_list_add(d, 1, "c");
    EXPECT_EQ(ui_list_insert(d, 1, 1, "b"), 1);
    ui_list_set_sel(d, 1, 2);
    ui_list_delete(d, 1, 0);
    EXPECT_EQ(ui_list_get_sel(d, 1), 1);
    char buf[8];
    EXPECT_EQ(ui_list_text(d, 1, 1, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "c");
    EXPECT_EQ(ui_list_text(d, 1, 5, buf, sizeof buf), -1);
    ui_list_select(d, 1, -1, 1);
    EXPECT_TRUE(ui_list_is_selected(d, 1, 0) && ui_list_is_selected(d, 1, 1));

    ui_create_button(d, 1200, "启 动", 10, 20, 100, 30);
    EXPECT_EQ(headless::window(d).ctl(1200).rect.right, 110);
    ui_destroy_control(d, 1200);
    EXPECT_EQ(headless::window(d).controls.count(1200), 0u);

    int ok = 1;
    headless::window(d).ctl(2).text = "12x";
    ui_get_uint(d, 2, &ok);
    EXPECT_EQ(ok, 0);
    headless::window(d).ctl(2).text = "20000";
    EXPECT_EQ(ui_get_uint(d, 2, &ok), 20000u);
    EXPECT_EQ(ok, 1);
}

TEST_F(Seam, RasterDrawsLinesWithoutEndPointAndRectanglesWithPenAndBrush)
{
    UiWindow w = headless::new_window();
    GfxCanvas c = gfx_get_canvas(w);
    GfxPen red = gfx_create_pen(1, GFX_RGB(255, 0, 0));
    GfxBrush blue = gfx_create_brush(GFX_RGB(0, 0, 255));
    gfx_select_pen(c, red);
    gfx_line(c, 10, 10, 20, 10);
    EXPECT_EQ(gfx_get_pixel(c, 10, 10), GFX_RGB(255, 0, 0));
    EXPECT_EQ(gfx_get_pixel(c, 19, 10), GFX_RGB(255, 0, 0));
    EXPECT_EQ(gfx_get_pixel(c, 20, 10), GFX_RGB(255, 255, 255));
    gfx_select_brush(c, blue);
    gfx_rectangle(c, 100, 100, 110, 110);
    EXPECT_EQ(gfx_get_pixel(c, 100, 105), GFX_RGB(255, 0, 0));  // outline
    EXPECT_EQ(gfx_get_pixel(c, 105, 105), GFX_RGB(0, 0, 255));  // inside
    EXPECT_EQ(gfx_get_pixel(c, 110, 105), GFX_RGB(255, 255, 255));  // right edge exclusive
    gfx_text_color(c, GFX_RGB(0, 0, 128));
    gfx_transparent(c, 1);
    gfx_text(c, 5, 6, "通道:1");
    auto &t = headless::window(w).canvas.texts.at(0);
    EXPECT_EQ(t.text, "通道:1");
    EXPECT_EQ(t.color, GFX_RGB(0, 0, 128));
    EXPECT_TRUE(t.transparent);
    EXPECT_EQ(headless::live_pens(), 1);
    gfx_delete_pen(red);
    gfx_delete_brush(blue);
    gfx_delete_brush(gfx_white_brush());  // stock object: ignored
    EXPECT_EQ(headless::live_pens(), 0);
    EXPECT_EQ(headless::live_brushes(), 0);
}

// ---- Modal loops: what Windows runs while a box or a dialog waits for the user ----------

// Records every command and tick, and answers 9 with a box after posting 5 to itself.
std::vector<std::string> g_events;

void loop_command(UiWindow d, int id, int)
{
    g_events.push_back("cmd:" + std::to_string(id));
    if (id == 9) {
        ui_post_command(d, 5);
        ui_message_box(d, "box", "c", UI_MB_OK);
        g_events.push_back("box-answered");
    }
}

void loop_tick(UiWindow, int id) { g_events.push_back("tick:" + std::to_string(id) + "@" + std::to_string(fake::now_us() / 1000)); }

const UiDialogHandlers LoopHandlers = {nullptr, loop_command, loop_tick, nullptr};

TEST_F(Seam, MessageBoxRunsWhatWasPostedAndWhatCameDueBeforeItIsAnswered)
{
    struct Case {
        int dwell_ms;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        // The commands posted before the box run inside it, in the order they were posted
        // to the thread; the timer is not yet due.
        {0, {"cmd:9", "main:77", "cmd:5", "box-answered"}},
        // A user reading the box for 250 ms: the 100 ms timer ticks twice meanwhile.
        {250, {"cmd:9", "main:77", "cmd:5", "tick:3@100", "tick:3@200", "box-answered"}},
    };
    for (const Case &c : cases) {
        SetUp();
        g_events.clear();
        UiWindow main = headless::new_window();
        UiWindow quiet = headless::new_window();  // nobody dispatches for it: its post stays
        headless::window(main).on_command = [](int id) { g_events.push_back("main:" + std::to_string(id)); };
        headless::set_box_dwell_ms(c.dwell_ms);
        headless::on_dialog(600, [&](UiWindow d) {
            ui_set_timer(d, 3, 100);
            ui_post_command(main, 77);
            ui_post_command(quiet, 78);
            // Straight to the handler, as if the loop had just taken the message.
            LoopHandlers.on_command(d, 9, UI_CLICKED);
            EXPECT_EQ(g_events, c.want) << c.dwell_ms;
            EXPECT_EQ(fake::now_us() / 1000, c.dwell_ms);
            EXPECT_TRUE(headless::window(d).posted.empty());
            EXPECT_EQ(headless::window(quiet).posted, std::deque<int>{78});
            ui_end_dialog(d, 1);
        });
        EXPECT_EQ(ui_dialog_run(main, 600, &LoopHandlers), 1);
    }
}

TEST_F(Seam, DialogLoopRunsPostsFromItsInitAndFromEachEventButNoneAfterItEnds)
{
    g_events.clear();
    static const UiDialogHandlers h = {
        [](UiWindow d) { ui_post_command(d, 1); }, loop_command, loop_tick, nullptr};
    headless::on_dialog(601, [](UiWindow d) {
        EXPECT_EQ(g_events, std::vector<std::string>{"cmd:1"});  // before the session's first event
        ui_post_command(d, 2);
        headless::click(d, 4);
        EXPECT_EQ(g_events, (std::vector<std::string>{"cmd:1", "cmd:4", "cmd:2"}));
        ui_end_dialog(d, 0);
        ui_post_command(d, 6);  // to a dialog that has ended: never runs
        headless::run_pending();
    });
    ui_dialog_run(nullptr, 601, &h);
    EXPECT_EQ(g_events.size(), 3u);
}

TEST_F(Seam, RegisteredSessionsArePendingUntilTheirDialogRuns)
{
    static const UiDialogHandlers h = {};
    headless::on_dialog(602, [](UiWindow) {});
    headless::on_dialog(603, [](UiWindow) {});
    headless::on_dialog(604, [](UiWindow) {});
    headless::on_dialog(604, nullptr);  // withdrawn
    EXPECT_EQ(headless::pending_sessions(), (std::vector<int>{602, 603}));
    ui_dialog_run(nullptr, 602, &h);
    EXPECT_EQ(headless::pending_sessions(), std::vector<int>{603});
    // A dialog its own init ended never ran the session either.
    static const UiDialogHandlers ends_at_once = {[](UiWindow d) { ui_end_dialog(d, 0); }, nullptr, nullptr, nullptr};
    ui_dialog_run(nullptr, 603, &ends_at_once);
    EXPECT_EQ(headless::pending_sessions(), std::vector<int>{603});
    headless::on_dialog(603, nullptr);
}

// Must fail: ctest runs it alone and expects the failure (ui_seam_unrun_session_fails).
TEST_F(Seam, DISABLED_SessionWhoseDialogNeverOpensFailsTheTest)
{
    headless::on_dialog(605, [](UiWindow) {});
}

}  // namespace
