// Module reset on virtual time: the request, the countdown per module kind, the search that
// follows, and every failure reaching its one message.
#include "link/serial_port.h"
#include "maintenance/reset.h"
#include "platform/clock.h"
#include "tests/maintenance/found_modules.h"

namespace {

class Reset : public FoundModules {
protected:
    void SetUp() override
    {
        FoundModules::SetUp();
        main_window_features.reset_module = reset_module;
        main_window_features.reset_countdown = &reset_countdown_handlers;
    }
};

TEST(ResetWait, SecondsByTypeCodeModelAndItuCount)
{
    struct Row { int type, model, itus, seconds; };
    const Row rows[] = {
        {0x80, 4562, 100, 15},  // ceil(5.859375) + 9
        {0x82, 4562, 100, 8},
        {0x80, 4500, 100, 6},
        {0x83, 4301, 512, 36},  // 30 s of counting + 6
        {0x86, 4563, 1, 10},    // any ITU at all costs a whole second
        {0x80, 4301, 0, 6},
        {0x40, 4560, 300, 6},
        {0x81, 4562, 100, 6},
    };
    for (const Row &r : rows)
        EXPECT_EQ(reset_wait_seconds(r.type, r.model, r.itus), r.seconds) << r.type << " " << r.model << " " << r.itus;
}

TEST_F(Reset, CountsDownWhileTheModuleRestartsThenSearches)
{
    sim::Module &m = add_module(0x21, 4562, 0x80);
    for (int i = 0; i < 50; ++i) {
        m.channels[0].units.push_back(sim::make_itu(1, static_cast<uint8_t>(i), 0, 20.0));
        m.channels[1].units.push_back(sim::make_itu(1, static_cast<uint8_t>(i), 0, 20.0));
    }
    open();
    ASSERT_EQ(module_table.module[0].itu_total, 100);

    std::vector<std::string> shown;
    uint32_t opened = 0, closed = 0;
    headless::on_dialog(IDD_RESET_COUNTDOWN, [&](UiWindow d) {
        opened = now_ms();
        shown.push_back(win(d).ctl(IDC_RESET_SECONDS).text);
        // The module restarts meanwhile (5 s + 25 s x 100/512 in the simulator).
        EXPECT_GT(bus.modules[0].restart_until_us, fake::now_us() + 9'000'000);
        while (!win(d).ended) {
            headless::run_timers(d, 1);
            shown.push_back(win(d).ctl(IDC_RESET_SECONDS).text);
        }
        closed = now_ms();
    });
    headless::beeps().clear();
    main_window_on_command(window, IDM_RESET);

    EXPECT_EQ(requests.front(), "&219");
    EXPECT_TRUE(headless::boxes().empty());
    ASSERT_EQ(headless::dialogs_run(), std::vector<int>{IDD_RESET_COUNTDOWN});
    EXPECT_EQ(win(headless::last_dialog()).result, 1);
    EXPECT_TRUE(win(headless::last_dialog()).timers.empty());
    // 15, 14 ... 01 shown; the last tick ends the dialog without showing 00.
    ASSERT_EQ(shown.size(), 16u);
    EXPECT_EQ(shown.front(), "15");
    EXPECT_EQ(shown[14], "01");
    EXPECT_EQ(shown.back(), "01");
    EXPECT_GE(closed - opened, 15000u);
    EXPECT_LT(closed - opened, 15100u);
    // One beep when opening and one for each of the ticks 14 .. 1.
    EXPECT_EQ(headless::beeps(), std::vector<int>(15, UI_BEEP_DEFAULT));
    EXPECT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
    // By then the module answers again.
    EXPECT_EQ(probe_address(0x21), 1);
}

TEST_F(Reset, ClosingTheCountdownEndsItAtOnce)
{
    add_module(0x03, 3903, 0x82);
    open();
    headless::on_dialog(IDD_RESET_COUNTDOWN, [&](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_RESET_SECONDS).text, "08");
        headless::run_timers(d, 2);
        EXPECT_EQ(reset_countdown.seconds, 6);
        headless::close(d);
    });
    main_window_on_command(window, IDM_RESET);
    EXPECT_EQ(win(headless::last_dialog()).result, 1);
    EXPECT_TRUE(win(headless::last_dialog()).timers.empty());
    EXPECT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
}

TEST_F(Reset, WorksThroughAnEchoingConverterAndTheNetworkConverter)
{
    add_module(0x0B, 4301, 0x83);
    open(1);
    ASSERT_EQ(link_state.echo_on, 1);
    EXPECT_EQ(reset_module(), 0);
    EXPECT_EQ(requests, std::vector<std::string>{"&0B9"});
    port_close();

    fake::advance_us(60'000'000);  // the module is back
    requests.clear();
    open_net(2);
    EXPECT_EQ(reset_module(), 0);
    EXPECT_EQ(requests, std::vector<std::string>{"&0B9"});
}

TEST_F(Reset, EveryFailureShowsTheMessageOnceAndNoSearchFollows)
{
    struct Case { const char *name; void (*fault)(sim::Faults &); };
    const Case cases[] = {
        {"silent", [](sim::Faults &f) { f.silent = true; }},
        {"wrong lead", [](sim::Faults &f) { f.wrong_lead = true; }},
        {"wrong address", [](sim::Faults &f) { f.wrong_address = true; }},
        {"short", [](sim::Faults &f) { f.short_by = 2; }},
    };
    add_module(0x07, 4560);
    open();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        headless::boxes().clear();
        headless::dialogs_run().clear();
        win(window).posted.clear();
        bus.modules[0].faults = sim::Faults{};
        c.fault(bus.modules[0].faults);
        main_window_on_command(window, IDM_RESET);
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, "复位错误! 请重新操作!");
        EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK | UI_ICON_WARNING);
        EXPECT_TRUE(headless::dialogs_run().empty());
        EXPECT_TRUE(win(window).posted.empty());
        EXPECT_EQ(module_table.count, 1);
        fake::advance_us(60'000'000);  // a reset that did get through has run its course
    }
}

}  // namespace
