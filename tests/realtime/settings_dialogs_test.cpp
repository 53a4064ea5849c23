// Curve parameter (110) and humidity display (116) dialogs opened by the view's "参 数"
// button: candidate lists, slot defaults, mode and channel changes, scroll bar limits and
// what survives "退出".
#include "display/curve_params.h"
#include "tests/realtime/curve_fixture.h"

namespace {

struct CurveDialogs : CurveFixture {
    // Opens the parameters dialog from the view with `session` driving it.
    void open_params(std::function<void(UiWindow)> session, int dialog = IDD_CURVE_PARAMS)
    {
        headless::on_dialog(dialog, std::move(session));
        main_window_on_command(window, IDC_RT_PARAMS);
    }
    static std::vector<std::string> items(UiWindow d, int id) { return win(d).ctl(id).items; }
    std::vector<int> slots() const { return {real_time.curve_itu, real_time.curve_itu + 4}; }
};

TEST_F(CurveDialogs, SixUnitsOfferSixEntriesAndDefaultToTheFirstFour)
{
    sim::Module &m = add_module(0x01, 4101);
    for (uint32_t k = 0; k < 6; ++k) m.channels[0].units.push_back(sim::make_sensor(0x28, k + 1, 20.0));
    find_module(0x01);
    enter_view();
    open_params([](UiWindow d) {
        EXPECT_EQ(items(d, IDC_CP_CHANNEL).size(), 8u);
        EXPECT_EQ(items(d, IDC_CP_CHANNEL)[7], "CH7");
        EXPECT_FALSE(win(d).ctl(IDC_CP_SHOW_HUM).enabled);  // a 1-Wire temperature module
        EXPECT_TRUE(win(d).ctl(IDC_CP_SHOW_TEMP).checked);
        EXPECT_TRUE(win(d).ctl(IDC_CP_TEMP_LOW_BAR).enabled);
        EXPECT_FALSE(win(d).ctl(IDC_CP_HUM_LOW_BAR).enabled);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(items(d, IDC_CP_CURVE1 + i), (std::vector<std::string>{" 0", " 1", " 2", " 3", " 4", " 5"}));
            EXPECT_EQ(win(d).ctl(IDC_CP_CURVE1 + i).sel, i);
            EXPECT_TRUE(win(d).ctl(IDC_CP_CURVE1 + i).enabled);
        }
        EXPECT_EQ(win(d).focus, IDC_CP_CONFIRM);
        headless::select_combo(d, IDC_CP_CURVE1 + 2, 5);
        headless::click(d, IDC_CP_CONFIRM);
    });
    EXPECT_EQ(count_requests("&010"), 1);
    EXPECT_EQ(slots(), (std::vector<int>{0, 1, 5, 3}));
    EXPECT_EQ(real_time.restart, 0);
    EXPECT_EQ(win(window).calls.back(), "invalidate");
}

TEST_F(CurveDialogs, HumidityModeOffersOnlyHumidityCapableUnits)
{
    sim::Module &m = add_module(0x01, 4560);
    m.channels[0].units = {sim::make_itu(1, 1, 0, 20.0), sim::make_itu(4, 2, 0, 0), sim::make_itu(0, 3, 0, 0)};
    m.channels[2].units = {sim::make_itu(1, 4, 0, 20.0)};
    find_module(0x01);
    enter_view();
    open_params([](UiWindow d) {
        // Temperature mode on a TH channel: only the temperature-humidity ITU.
        EXPECT_EQ(items(d, IDC_CP_CURVE1), std::vector<std::string>{" 0"});
        EXPECT_FALSE(win(d).ctl(IDC_CP_CURVE1 + 1).enabled);
        headless::click(d, IDC_CP_SHOW_HUM);
        EXPECT_TRUE(win(d).ctl(IDC_CP_HUM_HIGH_BAR).enabled);
        EXPECT_FALSE(win(d).ctl(IDC_CP_TEMP_HIGH_BAR).enabled);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(items(d, IDC_CP_CURVE1 + i), (std::vector<std::string>{" 0", " 2"}));
            EXPECT_TRUE(win(d).ctl(IDC_CP_CURVE1 + i).enabled);
        }
        EXPECT_EQ(win(d).ctl(IDC_CP_CURVE1 + 1).sel, 1);
        for (int i = 2; i < 4; ++i) {
            EXPECT_TRUE(items(d, IDC_CP_CURVE1 + i).empty());
            EXPECT_FALSE(win(d).ctl(IDC_CP_CURVE1 + i).enabled);
        }
        headless::click(d, IDC_CP_CONFIRM);
    });
    EXPECT_EQ(real_time.show_temperature, 0);
    EXPECT_EQ(slots(), (std::vector<int>{0, 2, -1, -1}));

    // Another channel: the slots start afresh; "退出" leaves them empty and restart set.
    open_params([](UiWindow d) {
        headless::select_combo(d, IDC_CP_CHANNEL, 2);
        EXPECT_EQ(items(d, IDC_CP_CURVE1), std::vector<std::string>{" 0"});
        headless::click(d, IDC_CP_EXIT);
    });
    EXPECT_EQ(real_time.channel, 2);
    EXPECT_EQ(real_time.restart, 1);
    paint();
    EXPECT_EQ(slots(), (std::vector<int>{-1, -1, -1, -1}));
}

TEST_F(CurveDialogs, EmptyChannelOrNoAnswerEmptiesEveryList)
{
    add_module(0x01, 4101).channels[0].units = {sim::make_sensor(0x28, 1, 20.0)};
    view_on(0x01, false);
    bus.modules[0].faults.silent = true;
    open_params([](UiWindow d) {
        for (int i = 0; i < 4; ++i) EXPECT_FALSE(win(d).ctl(IDC_CP_CURVE1 + i).enabled);
        headless::click(d, IDC_CP_CONFIRM);
    });
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "模块未应答，请重试一次!");
    EXPECT_EQ(slots(), (std::vector<int>{-1, -1, -1, -1}));
}

TEST_F(CurveDialogs, ScalesAndStepMoveByTheirRulesAndOutliveExit)
{
    add_module(0x01, 4303, 0x81);
    find_module(0x01);
    enter_view();
    open_params([](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_CP_TEMP_LOW).text, "+15.0");
        EXPECT_EQ(win(d).ctl(IDC_CP_PERIOD).text, "1.5");
        headless::scroll(d, IDC_CP_TEMP_LOW_BAR, UI_SCROLL_LINE_UP);
        EXPECT_EQ(win(d).ctl(IDC_CP_TEMP_LOW).text, "+15.5");
        // Model 4303 may sample every 0.5 s, and no faster.
        headless::scroll(d, IDC_CP_PERIOD_BAR, UI_SCROLL_LINE_DOWN);
        headless::scroll(d, IDC_CP_PERIOD_BAR, UI_SCROLL_LINE_DOWN);
        EXPECT_EQ(win(d).ctl(IDC_CP_PERIOD).text, "0.5");
        headless::click(d, IDC_CP_EXIT);
    });
    EXPECT_FLOAT_EQ(real_time.temp_low, 15.5f);
    EXPECT_EQ(real_time.period_index, 0);

    // Another model brings the step back to 1.5 s and makes that the lower bound again.
    module_table.module[0].model = 4101;
    open_params([](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_CP_PERIOD).text, "1.5");
        headless::scroll(d, IDC_CP_PERIOD_BAR, UI_SCROLL_LINE_DOWN);
        EXPECT_EQ(win(d).ctl(IDC_CP_PERIOD).text, "1.5");
    });
    EXPECT_EQ(real_time.period_index, 1);
    EXPECT_EQ(real_time.min_period_index, 1);
}

TEST(CurveSettingStep, EveryBarStopsAtItsLimit)
{
    struct Case {
        int which, up;
        float low, high;  // the scale before the click (temperature or humidity)
        bool moves;
    } cases[] = {
        {SCALE_TEMP_LOW, 0, -54.5f, 35, true},  {SCALE_TEMP_LOW, 0, -55, 35, false},
        {SCALE_TEMP_LOW, 1, 34, 35, true},      {SCALE_TEMP_LOW, 1, 34.5f, 35, false},
        {SCALE_TEMP_HIGH, 1, 15, 124.5f, true}, {SCALE_TEMP_HIGH, 1, 15, 125, false},
        {SCALE_TEMP_HIGH, 0, 15, 16, true},     {SCALE_TEMP_HIGH, 0, 15, 15.5f, false},
        {SCALE_HUM_LOW, 0, 1, 95, true},        {SCALE_HUM_LOW, 0, 0, 95, false},
        {SCALE_HUM_LOW, 1, 93, 95, true},       {SCALE_HUM_LOW, 1, 94, 95, false},
        {SCALE_HUM_HIGH, 1, 5, 99, true},       {SCALE_HUM_HIGH, 1, 5, 100, false},
        {SCALE_HUM_HIGH, 0, 5, 7, true},        {SCALE_HUM_HIGH, 0, 5, 6, false},
    };
    for (const Case &c : cases) {
        state_reset();
        bool temp = c.which == SCALE_TEMP_LOW || c.which == SCALE_TEMP_HIGH;
        (temp ? real_time.temp_low : real_time.hum_low) = c.low;
        (temp ? real_time.temp_high : real_time.hum_high) = c.high;
        float step = (temp ? 0.5f : 1.0f) * (c.up ? 1 : -1);
        bool low_bar = c.which == SCALE_TEMP_LOW || c.which == SCALE_HUM_LOW;
        float want_low = c.low + (c.moves && low_bar ? step : 0);
        float want_high = c.high + (c.moves && !low_bar ? step : 0);
        EXPECT_EQ(curve_setting_step(c.which, c.up, 1), c.moves ? 1 : 0) << c.which << " " << c.low << " " << c.high;
        EXPECT_FLOAT_EQ(temp ? real_time.temp_low : real_time.hum_low, want_low);
        EXPECT_FLOAT_EQ(temp ? real_time.temp_high : real_time.hum_high, want_high);
    }
    state_reset();
    real_time.period_index = 6;
    EXPECT_EQ(curve_setting_step(SCALE_PERIOD, 1, 1), 0);
    real_time.period_index = 2;
    EXPECT_EQ(curve_setting_step(SCALE_PERIOD, 0, 2), 0);
}

TEST_F(CurveDialogs, HumidityDisplayResetsTheStepAndChoosesTheReadings)
{
    sim::Module &m = add_module(0x09, 4500);
    m.analog = {sim::Reading::constant(10.0), sim::Reading::constant(20.0)};
    find_module(0x09);
    enter_view();
    real_time.period_index = 4;
    open_params(
        [](UiWindow d) {
            EXPECT_EQ(win(d).ctl(IDC_HD_PERIOD).text, "1.5");
            EXPECT_EQ(win(d).ctl(IDC_HD_HUM_LOW).text, "+5.0");
            EXPECT_EQ(win(d).ctl(IDC_HD_HUM_HIGH).text, "+95.0");
            EXPECT_TRUE(win(d).ctl(IDC_HD_VALUE0).checked);
            EXPECT_TRUE(win(d).ctl(IDC_HD_VALUE1).checked);
            headless::scroll(d, IDC_HD_PERIOD_BAR, UI_SCROLL_LINE_DOWN);  // 1.5 s is the floor
            EXPECT_EQ(win(d).ctl(IDC_HD_PERIOD).text, "1.5");
            headless::scroll(d, IDC_HD_HUM_HIGH_BAR, UI_SCROLL_LINE_DOWN);
            EXPECT_EQ(win(d).ctl(IDC_HD_HUM_HIGH).text, "+94.0");
            ui_check(d, IDC_HD_VALUE1, 0);
            headless::click(d, IDC_HD_CONFIRM);
        },
        IDD_HUMIDITY_DISPLAY);
    EXPECT_EQ(real_time.period_index, 1);
    EXPECT_FLOAT_EQ(real_time.hum_high, 94.0f);
    EXPECT_EQ(slots(), (std::vector<int>{0, -1, -1, -1}));
    EXPECT_EQ(real_time.restart, 0);
    paint();  // the slots now outlive a repaint
    EXPECT_EQ(slots(), (std::vector<int>{0, -1, -1, -1}));

    open_params([](UiWindow d) { headless::click(d, IDC_HD_EXIT); }, IDD_HUMIDITY_DISPLAY);
    EXPECT_EQ(slots(), (std::vector<int>{0, -1, -1, -1}));
}

}  // namespace
