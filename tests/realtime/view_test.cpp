// Curve view on virtual time against the in-process bus: the frame and its labels, sweeps
// of each reader drawn pixel by pixel, glitch and error samples, the failed exchange, the
// sample cadence and the view's buttons.
#include <cstdio>

#include "tests/realtime/curve_fixture.h"

namespace {

const uint32_t Red = GFX_RGB(255, 0, 0), Yellow = GFX_RGB(255, 255, 0);
const uint32_t Black = GFX_RGB(0, 0, 0), White = GFX_RGB(255, 255, 255);
const uint32_t Silver = GFX_RGB(192, 192, 192), DarkGreen = GFX_RGB(0, 128, 0);

sim::Reading ramp(std::vector<std::pair<double, double>> points)
{
    sim::Reading r;
    r.kind = sim::Reading::Script;
    r.points = std::move(points);
    return r;
}

using CurveView = CurveFixture;

TEST_F(CurveView, FrameLabelsLegendAndButtons)
{
    add_module(0x3A, 4101).channels[0].units = {sim::make_sensor(0x28, 1, 20.0)};
    view_on(0x3A, false);
    real_time.curve_itu[2] = 5;
    paint();
    const CurvePlot &p = curve_plot;
    ASSERT_EQ(p.left, 80);
    ASSERT_EQ(p.bottom, 450);
    // Time labels at the default 1.5 s period: 000, 045, ... 450.
    for (int j = 0; j <= 10; ++j) {
        char want[8];
        snprintf(want, sizeof want, "%03d", 45 * j);
        EXPECT_EQ(text_at(p.left + 60 * j - 10, p.bottom + 5), want) << j;
    }
    EXPECT_EQ(text_at(p.right + 10, p.bottom - 20), "秒");
    EXPECT_EQ(text_at(p.right + 10, p.top), "模块:3AH");
    EXPECT_EQ(text_at(p.right + 10, p.top + 20), "通道:0");
    EXPECT_EQ(text_at(p.left - 30, p.top - 30), "℃");
    EXPECT_EQ(text_at(p.left - 60, p.bottom - 10), "+15.00");
    EXPECT_EQ(text_at(p.left - 60, p.bottom - 210), "+25.00");
    EXPECT_EQ(text_at(p.left - 60, p.bottom - 410), "+35.00");
    // Legend: used slots only, in their colours.
    EXPECT_EQ(text_at(p.right + 45, p.top + 40), "ID:00");
    EXPECT_EQ(text_at(p.right + 45, p.top + 60), "");
    EXPECT_EQ(text_at(p.right + 45, p.top + 80), "ID:05");
    EXPECT_EQ(canvas().at(p.right + 20, p.top + 52), Red);
    EXPECT_EQ(canvas().at(p.right + 20, p.top + 92), GFX_RGB(0, 255, 0));
    EXPECT_EQ(canvas().at(p.right + 20, p.top + 72), Silver);

    // Pixels of the frame: double border black above and left, white below and right, the
    // silver outline of the plot, dark green inside, black grid lines.
    EXPECT_EQ(canvas().at(p.left - 1, p.top + 100), Black);
    EXPECT_EQ(canvas().at(p.left - 2, p.top + 100), Black);
    EXPECT_EQ(canvas().at(p.left + 100, p.top - 2), Black);
    EXPECT_EQ(canvas().at(p.right + 1, p.top + 100), White);
    EXPECT_EQ(canvas().at(p.right + 2, p.top + 100), White);
    EXPECT_EQ(canvas().at(p.left + 100, p.bottom + 2), White);
    EXPECT_EQ(canvas().at(p.right, p.top + 100), Silver);  // right edge exclusive
    EXPECT_EQ(canvas().at(p.left, p.top + 100), Silver);
    EXPECT_EQ(canvas().at(p.left + 31, p.top + 41), DarkGreen);
    EXPECT_EQ(canvas().at(p.left + 30, p.top + 5), Black);
    EXPECT_EQ(canvas().at(p.left + 570, p.top + 5), Black);
    EXPECT_EQ(canvas().at(p.left + 5, p.top + 360), Black);
    EXPECT_EQ(canvas().at(p.left + 5, p.top + 20), DarkGreen);

    // The four buttons under the plot, start focused.
    struct {
        int id;
        const char *text;
        int left;
    } buttons[] = {{IDC_RT_START, "启 动", 100}, {IDC_RT_PARAMS, "参 数", 250},
                   {IDC_RT_SAVE, "曲线存盘", 400}, {IDC_RT_EXIT, "退 出", 550}};
    for (auto &b : buttons) {
        headless::Control &c = win(window).ctl(b.id);
        EXPECT_EQ(c.text, b.text);
        EXPECT_EQ(c.rect.left, b.left);
        EXPECT_EQ(c.rect.top, 490);
        EXPECT_EQ(c.rect.right - c.rect.left, 100);
        EXPECT_EQ(c.rect.bottom - c.rect.top, 30);
    }
    EXPECT_EQ(win(window).focus, IDC_RT_START);
    EXPECT_EQ(real_time.buttons_shown, 1);

    // At 60 s the labels are multiples of 1800 and the last has five digits.
    real_time.period_index = 6;
    canvas().clear_records();
    paint();
    EXPECT_EQ(text_at(p.left - 10, p.bottom + 5), "000");
    EXPECT_EQ(text_at(p.left + 50, p.bottom + 5), "1800");
    EXPECT_EQ(text_at(p.left + 590, p.bottom + 5), "18000");
}

TEST_F(CurveView, ModuleChangeClearsSlotsAnd4500GetsItsTwoOnTheHumidityAxis)
{
    sim::Module &m = add_module(0x05, 4500);
    m.analog = {sim::Reading::constant(55.0), sim::Reading::constant(62.5)};
    find_module(0x05);
    real_time.module = 7;
    real_time.restart = 0;
    real_time.curve_itu[3] = 2;
    enter_view();
    paint();
    EXPECT_EQ(real_time.restart, 1);
    EXPECT_EQ(real_time.channel, 0);
    EXPECT_EQ((std::vector<int>(real_time.curve_itu, real_time.curve_itu + 4)), (std::vector<int>{0, 1, -1, -1}));
    const CurvePlot &p = curve_plot;
    EXPECT_EQ(text_at(p.left - 30, p.top - 30), "%RH");
    EXPECT_EQ(text_at(p.left - 60, p.bottom - 10), "005.0");
    EXPECT_EQ(text_at(p.left - 60, p.bottom - 410), "095.0");
    EXPECT_EQ(text_at(p.right + 45, p.top + 40), "通道:0");
    EXPECT_EQ(text_at(p.right + 45, p.top + 60), "通道:1");
    EXPECT_EQ(canvas().at(p.right + 20, p.top + 70), Yellow);

    // Reader B: "#052", both readings as humidities in their boxes and curves.
    EXPECT_EQ(sweep(3), 3);
    EXPECT_EQ(request_times("#052").size(), 3u);
    EXPECT_EQ(text_at(p.right + 15, p.top + 150), "55.0%RH");
    EXPECT_EQ(text_at(p.right + 15, p.top + 180), "62.5%RH");
    int y1 = p.bottom - static_cast<int>((62.5f - 5) * 400 / 90);
    EXPECT_EQ(canvas().at(p.left + 2, y1), Yellow);
    EXPECT_EQ(real_time.points, 3);
}

TEST_F(CurveView, RampSweepDrawsEverySegmentAndStopsAtTheRightEdge)
{
    sim::Module &m = add_module(0x01, 4101);
    m.channels[0].units = {sim::make_sensor(0x28, 1, 0), sim::make_sensor(0x28, 2, 20.0)};
    m.channels[0].units[0].temp = ramp({{0, 14.0}, {500, 36.0}});
    m.channels[0].units[1].absent = true;  // every record all 0xFF: error samples
    view_on(0x01, true, {0, 1});
    paint();

    EXPECT_EQ(sweep(), 300);
    for (auto &b : headless::boxes()) ADD_FAILURE() << b.text;
    EXPECT_EQ(real_time.points, 0);
    EXPECT_TRUE(win(window).timers.empty());
    auto replies = data_replies();
    ASSERT_EQ(replies.size(), 300u);

    // Each segment starts at (L + 2p, row of the previous sample); rows from the wire bytes.
    const CurvePlot &p = curve_plot;
    std::vector<int> rows;
    for (const auto &r : replies) {
        ASSERT_EQ(r.size(), 14u);  // head 5, two records, CR
        float v = static_cast<float>(static_cast<int16_t>(r[5] | r[6] << 8)) / 16;
        v = v < 15 ? 15 : v > 35 ? 35 : v;
        rows.push_back(p.bottom - static_cast<int>((v - 15) * 400 / 20));
    }
    EXPECT_EQ(rows.front(), p.bottom);  // 14 degrees: on the bottom edge
    EXPECT_EQ(rows.back(), p.top);      // 36 degrees: on the top edge
    for (int k = 0; k < 300; ++k)
        ASSERT_EQ(canvas().at(p.left + 2 * k, rows[static_cast<size_t>(k ? k - 1 : 0)]), Red) << "segment " << k;
    // The 300th segment covers L + 598 and L + 599 and ends at x = R, which it does not paint.
    EXPECT_EQ(canvas().at(p.right - 2, rows[298]), Red);
    for (int y = p.top; y <= p.bottom; ++y) ASSERT_NE(canvas().at(p.right, y), Red);

    // The absent unit's curve draws nothing and shows dashes; the ramp's box the last value.
    EXPECT_EQ(plot_pixels(Yellow), 0);
    EXPECT_EQ(text_at(p.right + 15, p.top + 180), "------℃");
    EXPECT_EQ(text_at(p.right + 15, p.top + 150), "+36.000℃");
}

TEST_F(CurveView, SamplesComeOnePeriodAfterThePreviousExchangeEnded)
{
    add_module(0x01, 4101).channels[0].units = {sim::make_sensor(0x28, 1, 20.0)};
    find_module(0x01);
    enter_view();
    sweep(20);
    auto times = request_times("#010");
    ASSERT_EQ(times.size(), 20u);
    int64_t step = times[1] - times[0];
    EXPECT_GT(step, 1500000);
    EXPECT_LT(step, 1800000);  // the period and one paced exchange
    for (size_t k = 2; k < times.size(); ++k) EXPECT_EQ(times[k] - times[k - 1], step) << k;
    // The tick kills its timer before the read and sets it after.
    const auto &calls = win(window).calls;
    int kills = 0, sets = 0;
    for (const auto &c : calls) {
        kills += c == "kill-timer:100";
        sets += c == "set-timer:100=1500";
    }
    EXPECT_EQ(kills, 20);     // every tick
    EXPECT_EQ(sets, 1 + 20);  // the start button, then every tick
}

TEST_F(CurveView, NegativeGlitchReadingRepeatsTheHeldValueExceptOnASweepsFirstSample)
{
    for (uint8_t family : {0x22, 0x28}) {
        SetUp();
        sim::Module &m = add_module(0x01, 4101);
        m.channels[0].units = {sim::make_sensor(family, 1, 0)};
        // 21.5 for the first three samples, then -0.0625, which the sensor sends as FF FF.
        m.channels[0].units[0].temp = ramp({{0, 21.5}, {5.0, 21.5}, {5.0001, -0.0625}});
        view_on(0x01, true);
        sweep(6);
        const CurvePlot &p = curve_plot;
        std::vector<std::string> boxes;
        for (const auto &t : canvas().texts)
            if (t.x == p.right + 15 && t.y == p.top + 150) boxes.push_back(t.text);
        EXPECT_EQ(boxes, std::vector<std::string>(6, "+21.500℃")) << int(family);
        EXPECT_EQ(data_replies().back()[5], 0xFF);
        EXPECT_EQ(data_replies().back()[6], 0xFF);

        // A new sweep: the first sample is the formula's -0.0625, then its plotted value
        // (clamped to the scale) is what a glitch repeats.
        canvas().clear_records();
        sweep(2);
        boxes.clear();
        for (const auto &t : canvas().texts)
            if (t.x == p.right + 15 && t.y == p.top + 150) boxes.push_back(t.text);
        EXPECT_EQ(boxes, (std::vector<std::string>{"-0.062℃", "+15.000℃"})) << int(family);
        TearDown();
    }
}

TEST_F(CurveView, FailedExchangeStopsTheSweepWithOneMessage)
{
    struct Case {
        int model;
        std::vector<std::string> texts;
    } cases[] = {
        {4101, {"模块忙或刷新周期太短,请增大刷新周期!"}},
        {4500, {"模块未应答，请重试一次!", "模块忙或刷新周期太短,请增大刷新周期!"}},
    };
    for (const Case &c : cases) {
        SetUp();
        add_module(0x01, c.model).channels[0].units = {sim::make_sensor(0x28, 1, 20.0)};
        find_module(0x01);
        enter_view();
        bus.modules[0].faults.silent = true;
        EXPECT_EQ(sweep(), 1) << c.model;
        ASSERT_EQ(headless::boxes().size(), c.texts.size()) << c.model;
        for (size_t k = 0; k < c.texts.size(); ++k) {
            EXPECT_EQ(headless::boxes()[k].text, c.texts[k]);
            EXPECT_EQ(headless::boxes()[k].caption, "系统提示");
            EXPECT_EQ(headless::boxes()[k].flags, UI_MB_OK | UI_ICON_WARNING);
        }
        EXPECT_EQ(real_time.points, 0);
        EXPECT_TRUE(win(window).timers.empty());
        TearDown();
    }
}

TEST_F(CurveView, ThChannelReadsTemperatureOrHumidityPerSlot)
{
    sim::Module &m = add_module(0x22, 4560);
    m.channels[0].units = {sim::make_itu(1, 1, 2, 21.5), sim::make_itu(0, 3, 4, 0)};
    m.channels[0].units[0].hum = sim::Reading::constant(45.0);
    m.channels[0].units[1].hum = sim::Reading::constant(60.0);
    view_on(0x22, true, {0, 1});  // unit 1 a humidity-only ITU: nothing to draw in temperature mode
    sweep(2);
    const CurvePlot &p = curve_plot;
    EXPECT_EQ(request_times("#220").size(), 2u);
    EXPECT_EQ(text_at(p.right + 15, p.top + 150), "+21.500℃");
    EXPECT_EQ(text_at(p.right + 15, p.top + 180), "------℃");
    EXPECT_EQ(plot_pixels(Yellow), 0);
    EXPECT_GT(plot_pixels(Red), 0);

    real_time.show_temperature = 0;
    canvas().clear_records();
    sweep(2);
    EXPECT_EQ(text_at(p.left - 30, p.top - 30), "%RH");
    EXPECT_EQ(text_at(p.right + 15, p.top + 150), "45.0%RH");
    EXPECT_EQ(text_at(p.right + 15, p.top + 180), "60.0%RH");
    EXPECT_EQ(canvas().at(p.left + 2, p.bottom - static_cast<int>((60.0f - 5) * 400 / 90)), Yellow);
}

TEST_F(CurveView, EmptySlotsStillSampleAndAdvance)
{
    add_module(0x01, 4101).channels[0].units = {sim::make_sensor(0x28, 1, 20.0)};
    find_module(0x01);
    enter_view();
    paint();  // restart: every slot empty
    sweep(4);
    EXPECT_EQ(request_times("#010").size(), 4u);
    EXPECT_EQ(real_time.points, 4);
    for (uint32_t c : CurveSlotColors) EXPECT_EQ(plot_pixels(c), 0);
}

TEST_F(CurveView, ButtonsParametersAndExit)
{
    int dialogs_before = 0;
    struct Case {
        int model;
        int dialog;  // 0: none
    } cases[] = {{4560, IDD_CURVE_PARAMS}, {4500, IDD_HUMIDITY_DISPLAY}, {3901, 0}};
    for (const Case &c : cases) {
        SetUp();
        add_module(0x01, c.model);
        find_module(0x01);
        enter_view();
        paint();
        main_window_on_command(window, IDC_RT_START);
        real_time.points = 17;
        dialogs_before = static_cast<int>(headless::dialogs_run().size());
        main_window_on_command(window, IDC_RT_PARAMS);
        EXPECT_EQ(real_time.points, 0);
        EXPECT_TRUE(win(window).timers.empty());
        if (c.dialog) {
            ASSERT_EQ(headless::dialogs_run().size(), static_cast<size_t>(dialogs_before + 1)) << c.model;
            EXPECT_EQ(headless::dialogs_run().back(), c.dialog);
        } else {
            EXPECT_EQ(headless::dialogs_run().size(), static_cast<size_t>(dialogs_before)) << c.model;
        }
        EXPECT_EQ(win(window).calls.back(), "invalidate");
        TearDown();
    }

    main_window_on_command(window, IDC_RT_START);
    main_window_on_command(window, IDC_RT_EXIT);
    EXPECT_EQ(real_time.active, 0);
    EXPECT_EQ(real_time.buttons_shown, 0);
    EXPECT_TRUE(win(window).timers.empty());
    for (int id : {IDM_COMM, IDM_SEARCH, IDM_PARAMS, IDM_DATA, IDM_REALTIME, IDM_TERMINAL, IDM_IO, IDM_RESET})
        EXPECT_TRUE(win(window).menu_enabled[id]) << id;
    for (int id : {IDC_RT_START, IDC_RT_PARAMS, IDC_RT_SAVE, IDC_RT_EXIT}) EXPECT_EQ(win(window).controls.count(id), 0u);
}

}  // namespace

// Behind a converter that echoes the request, the reply waited for and read is the echo plus
// the whole reply: the last unit of a channel and the 4500's second reading come out whole.
TEST_F(CurveView, EchoingConverterGivesEveryReadingOfTheSample)
{
    struct Case {
        int model;
        std::vector<std::string> boxes;
    } cases[] = {
        {4101, {"+21.500℃", "+23.250℃"}},
        {4500, {"55.0%RH", "62.5%RH"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        SetUp();
        sim::Module &m = add_module(0x01, c.model);
        m.channels[0].units = {sim::make_sensor(0x28, 1, 21.5), sim::make_sensor(0x28, 2, 23.25)};
        m.analog = {sim::Reading::constant(55.0), sim::Reading::constant(62.5)};
        conv->echo = true;
        open_serial(0, 2);
        probe_echo();
        ASSERT_EQ(link_state.echo_len, 5);
        ASSERT_EQ(probe_address(0x01), 1);
        ASSERT_EQ(read_module_parameters(0), 0);
        module_table.ready = 1;
        module_table.current = 0;
        type_units(0);
        enter_view();
        paint();
        real_time.restart = 0;
        real_time.curve_itu[0] = 0;
        real_time.curve_itu[1] = 1;
        EXPECT_EQ(sweep(2), 2);
        for (auto &b : headless::boxes()) ADD_FAILURE() << b.text;
        const CurvePlot &p = curve_plot;
        EXPECT_EQ(text_at(p.right + 15, p.top + 150), c.boxes[0]);
        EXPECT_EQ(text_at(p.right + 15, p.top + 180), c.boxes[1]);
        EXPECT_EQ(link_state.echo_len, 5);
        TearDown();
    }
}
