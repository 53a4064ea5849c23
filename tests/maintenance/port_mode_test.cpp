// Storage and search mode dialog and its countdown on virtual time: the requests, the
// countdown length and ticks, the new search that finds the module in its new mode.
#include <algorithm>
#include <numeric>

#include "display/search.h"
#include "maintenance/module_params.h"
#include "maintenance/port_mode.h"
#include "tests/maintenance/found_modules.h"

namespace {

class PortMode : public FoundModules {
protected:
    UiWindow params = nullptr, mode_dlg = nullptr, countdown = nullptr;
    bool params_open_after = false, mode_open_after = false;  // still open after the click

    void SetUp() override
    {
        FoundModules::SetUp();
        main_window_features.module_params = &module_params_handlers;
    }

    // Parameters dialog -> `opener` button -> dialog 169 -> `button`; the countdown runs out.
    // Opens the module parameters with `opener`, presses `button` in the port mode dialog;
    // the countdown, when one is to come, runs out.
    void switch_mode(int opener, int button, bool countdown_comes = true)
    {
        headless::on_dialog(IDD_MODE_COUNTDOWN, nullptr);
        if (countdown_comes)
            headless::on_dialog(IDD_MODE_COUNTDOWN, [this](UiWindow d) {
                countdown = d;
                headless::run_timers(d);
            });
        headless::on_dialog(IDD_PORT_MODE, [this, button](UiWindow d) {
            mode_dlg = d;
            headless::click(d, button);
            mode_open_after = !win(d).ended;
        });
        headless::on_dialog(IDD_MODULE_PARAMS, [this, opener](UiWindow d) {
            params = d;
            headless::click(d, opener);
            params_open_after = !win(d).ended;
        });
        main_window_on_command(window, IDM_PARAMS);
    }

    sim::Module &module_with_units(int model, char mode, int units)
    {
        sim::Module &m = add_module(0x01, model);
        m.mode = mode;
        for (int i = 0; i < units; ++i)
            m.channels[i / 60].units.push_back(sim::make_itu(1, static_cast<uint8_t>(i % 60 + 1), 0, 20.0));
        return m;
    }
};

TEST(ModeCountdown, SecondsFollowTheUnitCountInSinglePrecision)
{
    const struct {
        int units, to_search, seconds;
    } rows[] = {
        {0, 0, 8}, {0, 1, 8}, {1, 0, 9}, {1, 1, 9},
        {300, 0, 10}, {300, 1, 38}, {512, 1, 58}, {512, 0, 11},
        // 1600 x 0.07 x 0.0625 is 7.000000000000001 in double: single precision makes it 7.
        {1600, 0, 15},
    };
    for (const auto &r : rows)
        EXPECT_EQ(mode_countdown_seconds(r.units, r.to_search), r.seconds) << r.units << " " << r.to_search;
}

TEST_F(PortMode, StorageSwitchCountsDownThenTheSearchFindsTheModuleStoring)
{
    module_with_units(4560, '0', 300);
    open_serial(0, 2);
    search();
    requests.clear();
    fake::clear_sleep_log();
    headless::beeps().clear();

    switch_mode(IDC_MP_MORE, IDC_PM_STORAGE);
    EXPECT_EQ(distinct_requests(), std::vector<std::string>{"$01W"});
    ASSERT_NE(countdown, nullptr);
    EXPECT_EQ(win(countdown).owner, window);
    EXPECT_EQ(mode_switch.to_search, 0);
    EXPECT_EQ(mode_switch.seconds, 0);
    EXPECT_EQ(win(countdown).result, 1);
    EXPECT_EQ(win(countdown).ctl(IDC_PM_SECONDS).text, "01");
    // One beep on opening and one a tick while time is left: 10 s, 10 beeps.
    EXPECT_EQ(headless::beeps(), std::vector<int>(10, UI_BEEP_DEFAULT));
    const auto &sleeps = fake::sleep_log();
    EXPECT_EQ(std::accumulate(sleeps.end() - 10, sleeps.end(), 0), 10000);
    EXPECT_EQ(win(mode_dlg).result, 1);
    EXPECT_FALSE(params_open_after);  // the parameters dialog closes with it
    EXPECT_TRUE(headless::boxes().empty());
    ASSERT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});

    search();
    ASSERT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.module[0].mode, 1);
    port_close();
}

TEST_F(PortMode, SearchSwitchOfAnAlarmModelStartsFromTheStorageButton)
{
    module_with_units(4103, '1', 3);
    open_serial(0, 2);
    search();
    requests.clear();
    switch_mode(IDC_MP_STORAGE, IDC_PM_SEARCH);
    EXPECT_EQ(win(mode_dlg).ctl(IDC_PM_MODE).text, " 1");
    EXPECT_EQ(distinct_requests(), std::vector<std::string>{"$01N"});
    EXPECT_EQ(mode_switch.to_search, 1);
    EXPECT_EQ(headless::beeps().size(), 9u);  // 9 s for 3 units
    search();
    EXPECT_EQ(module_table.module[0].mode, 0);
    port_close();
}

TEST_F(PortMode, NoSwitchWithoutAnAcknowledge)
{
    sim::Module &sm = module_with_units(4560, '1', 2);
    open_serial(0, 2);
    search();
    const struct {
        int button;
        bool silent, refused;
        const char *text;
        size_t frames;
    } rows[] = {
        {IDC_PM_STORAGE, false, false, "模块当前即为存储模式!", 0},
        {IDC_PM_SEARCH, true, false, "模块应答错误，请重试一次!", 1},
        {IDC_PM_SEARCH, false, true, "模块应答错误，请重试一次!", 1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        headless::boxes().clear();
        requests.clear();
        countdown = nullptr;
        sm.faults.silent = r.silent;
        sm.faults.refuse_writes = r.refused;
        headless::dialogs_run().clear();
        switch_mode(IDC_MP_MORE, r.button, false);
        EXPECT_EQ(std::count(headless::dialogs_run().begin(), headless::dialogs_run().end(), IDD_MODE_COUNTDOWN), 0);
        EXPECT_TRUE(mode_open_after);
        EXPECT_TRUE(params_open_after);
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, r.text);
        EXPECT_EQ(distinct_requests().size(), r.frames);
        EXPECT_EQ(win(mode_dlg).result, 0);
        EXPECT_TRUE(win(window).posted.empty());
    }
    port_close();
}

TEST_F(PortMode, CountdownClosedByItsFrameStopsTheTimer)
{
    module_table.count = 1;
    module_table.module[0].itu_total = 0;
    headless::on_dialog(IDD_MODE_COUNTDOWN, [](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_PM_SECONDS).text, "08");
        EXPECT_EQ(win(d).timers.at(TIMER_MODE_COUNTDOWN).period, 1000);
        headless::run_timers(d, 3);
        EXPECT_EQ(win(d).ctl(IDC_PM_SECONDS).text, "05");
        headless::close(d);
        EXPECT_TRUE(win(d).timers.empty());
    });
    EXPECT_EQ(ui_dialog_run(window, IDD_MODE_COUNTDOWN, &mode_countdown_handlers), 1);
}

}  // namespace
