// Data display on virtual time against the in-process bus, grouped by reader (1-Wire
// channels, ITU channels, mixed 4562/4563 channels, fixed 4500 readings) and by dialog
// state (opening, idle, refreshing): requests, expected lengths, list lines, buttons, the
// refresh period, failures and the hooks other parts of the program fill.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "display/data_display.h"
#include "display/search.h"
#include "tests/ui/ui_fixture.h"

namespace {

sim::Unit sensor(uint32_t serial, double celsius, uint8_t sort, uint8_t family = 0x28)
{
    sim::Unit u = sim::make_sensor(family, serial, celsius);
    u.sort = sort;
    return u;
}

class DataDisplayScenario : public UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        data_display_reset();
        data_display_hooks = DataDisplayHooks{};
        main_window_features.data_display = &data_display_handlers;
    }

    // Finds the modules as the search does and selects the first.
    void find_modules()
    {
        for (const auto &m : bus.modules) probe_address(m.address);
        for (int i = 0; i < module_table.count; ++i) ASSERT_EQ(read_module_parameters(i), 0);
        module_table.ready = 1;
        module_table.current = 0;
        requests.clear();
        fake::clear_serial_log("COM1");
    }

    // Opens the data display from the menu; `session` drives it, then it is closed.
    UiWindow open(std::function<void(UiWindow)> session = nullptr)
    {
        headless::on_dialog(IDD_DATA_DISPLAY, [session](UiWindow d) {
            if (session) session(d);
        });
        main_window_on_command(window, IDM_DATA);
        return headless::last_dialog();
    }

    // Runs the commands the dialog posted to itself, as its message loop would.
    static void pump(UiWindow d)
    {
        auto &w = win(d);
        while (!w.posted.empty()) {
            int id = w.posted.front();
            w.posted.pop_front();
            w.handlers->on_command(d, id, UI_CLICKED);
        }
    }

    static void notify_list(UiWindow d, int list, int line, int code)
    {
        win(d).ctl(list).sel = line;
        win(d).handlers->on_command(d, list, code);
    }

    // Model 4301 (type 128) with two 1-Wire units on CH0, found on COM1.
    void two_sensors_found()
    {
        add_module(0x01, 4301, 0x80).channels[0].units = {sensor(1, 20.0, 0), sensor(2, 21.0, 1)};
        open_serial(0, 2);
        find_modules();
    }

    // Idle: no timer, Start can be pressed, Stop not.
    static void expect_idle(UiWindow d)
    {
        auto &w = win(d);
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_TRUE(w.timers.empty());
        EXPECT_TRUE(w.ctl(IDC_DD_START).enabled);
        EXPECT_FALSE(w.ctl(IDC_DD_STOP).enabled);
    }

    static std::vector<std::string> lines(UiWindow d, int id) { return win(d).ctl(id).items; }

    int boxes_saying(const std::string &text) const
    {
        int n = 0;
        for (const auto &b : headless::boxes()) n += b.text == text;
        return n;
    }

    // The read size asked for after the request `frame`: the expected reply length + 1.
    int read_size_after(const std::string &frame) const
    {
        const auto &log = fake::serial_log("COM1");
        bool sent = false;
        for (const auto &e : log) {
            if (e.kind == fake::SerialEvent::Write) sent = std::string(e.bytes.begin(), e.bytes.end()) == frame + "\r";
            if (sent && e.kind == fake::SerialEvent::Read) return e.value;
        }
        return -1;
    }
};

const char *const NoSensor = "无传感器!";
const char *const NoReply = "模块未应答或刷新周期太短,\r\n请重试一次或增大刷新周期!";

// ---- 1-Wire channels ----------------------------------------------------------------------

using SensorChannel = DataDisplayScenario;

TEST_F(SensorChannel, OpeningReadsTheFirstChannelWithUnitsIdsThenReadings)
{
    sim::Module &m = add_module(0x01, 4301, 0x80);
    m.channels[2].units = {sensor(1, 20.0, 1), sensor(2, 21.5, 2), sensor(3, -10.125, 3), sensor(4, 25.0, 4)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open();
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"&012", "#012"}));
    // Expected lengths without echo: 4 IDs, 5 + 32 + 1 = 38; 4 records, 5 + 16 + 1 = 22.
    // The read asks for one byte of slack beyond them.
    EXPECT_EQ(read_size_after("&012"), 39);
    EXPECT_EQ(read_size_after("#012"), 23);

    const auto ids = lines(d, IDC_DD_ID_LIST);
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(ids[0].substr(0, 11), "00(01)->28 ");
    EXPECT_EQ(ids[3].substr(0, 11), "03(04)->28 ");
    EXPECT_EQ(lines(d, IDC_DD_READINGS),
              (std::vector<std::string>{"00->(--B20--)(+20.000)℃", "01->(--B20--)(+21.500)℃",
                                        "02->(--B20--)(-10.125)℃", "03->(--B20--)(+25.000)℃"}));
    auto &w = win(d);
    EXPECT_EQ(channel_kind.current_channel, 2);
    for (int c = 0; c <= 8; ++c) EXPECT_EQ(w.ctl(IDC_DD_CH0 + c).checked, c == 2) << c;
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(w.ctl(IDC_DD_MARK0 + c).shown, c == 2) << c;
        EXPECT_FALSE(w.ctl(IDC_DD_ITU_MARK0 + c).shown) << c;
    }
    EXPECT_EQ(w.ctl(IDC_DD_INDEX).text, "00");
    EXPECT_EQ(w.ctl(IDC_DD_NEW_NUMBER).text, "00");
    EXPECT_TRUE(w.ctl(IDC_DD_SET_NUMBER).enabled);
    EXPECT_FALSE(w.ctl(IDC_DD_P05).enabled);
    EXPECT_TRUE(w.ctl(IDC_DD_P15).checked);
    EXPECT_EQ(w.focus, IDC_DD_EXIT);
    EXPECT_EQ(headless::boxes().size(), 0u);
}

TEST_F(SensorChannel, EchoingConverterPutsTheRequestInFrontOfEachReply)
{
    add_module(0x01, 4301, 0x80).channels[1].units = {sensor(1, 20.0, 1), sensor(2, 21.5, 2)};
    conv->echo = true;
    open_serial(0, 2);
    probe_echo();
    ASSERT_EQ(link_state.echo_len, 5);
    find_modules();

    UiWindow d = open();
    // 2 IDs: 5 + 22 + 1 + the echo; 2 records: 5 + 14 + 1 + the echo.
    EXPECT_EQ(read_size_after("&011"), 5 + 22 + 1);
    EXPECT_EQ(read_size_after("#011"), 5 + 14 + 1);
    EXPECT_EQ(lines(d, IDC_DD_ID_LIST)[1].substr(0, 11), "01(02)->28 ");
    EXPECT_EQ(lines(d, IDC_DD_READINGS),
              (std::vector<std::string>{"00->(--B20--)(+20.000)℃", "01->(--B20--)(+21.500)℃"}));
}

TEST_F(SensorChannel, RefreshRewritesLinesInPlaceWithThePeriodBetweenReadouts)
{
    two_sensors_found();

    open([&](UiWindow d) {
        auto &w = win(d);
        headless::click(d, IDC_DD_START);
        EXPECT_EQ(data_display.refreshing, 1);
        EXPECT_FALSE(w.ctl(IDC_DD_START).enabled);
        EXPECT_TRUE(w.ctl(IDC_DD_STOP).enabled);
        EXPECT_FALSE(w.ctl(IDC_DD_P15).enabled);
        EXPECT_FALSE(w.ctl(IDC_DD_P30).enabled);
        fake::clear_serial_log("COM1");
        w.calls.clear();

        bus.modules[0].channels[0].units[1].temp = sim::Reading::constant(30.5);
        EXPECT_EQ(headless::run_timers(d, 3), 3);
        EXPECT_EQ(lines(d, IDC_DD_READINGS),
                  (std::vector<std::string>{"00->(--B20--)(+20.000)℃", "01->(--B20--)(+30.500)℃"}));
        // Lines are replaced, never appended or reset, while refreshing.
        EXPECT_EQ(std::count(w.calls.begin(), w.calls.end(), "reset:1021=0"), 0);

        // The period runs from the end of one readout to the start of the next: the next
        // request leaves 1500 ms + the 10 ms settling pause after the last reply was read.
        std::vector<int64_t> writes, reads;
        for (const auto &e : fake::serial_log("COM1")) {
            if (e.kind == fake::SerialEvent::Write) writes.push_back(e.t_us);
            if (e.kind == fake::SerialEvent::Read) reads.push_back(e.t_us);
        }
        ASSERT_EQ(writes.size(), 3u);
        ASSERT_EQ(reads.size(), 3u);
        EXPECT_EQ(writes[1] - reads[0], 1510000);
        EXPECT_EQ(writes[2] - reads[1], 1510000);

        headless::click(d, IDC_DD_STOP);
        expect_idle(d);
        EXPECT_TRUE(w.ctl(IDC_DD_P15).enabled);
        // A channel button ends a running refresh the same way.
        headless::click(d, IDC_DD_START);
        headless::click(d, IDC_DD_CH0);
        expect_idle(d);
    });
}

TEST_F(SensorChannel, FailedOrCutShortReadoutWhileRefreshingShowsOneMessageAndLeavesIdle)
{
    two_sensors_found();
    // A reply cut short is no reply: the records that never came must not be decoded from
    // what the receive buffer held before.
    const std::function<void(sim::Faults &)> faults[] = {
        [](sim::Faults &f) { f.silent = true; },
        [](sim::Faults &f) { f.short_by = 3; },
    };
    int boxes = 0;
    for (const auto &fault : faults) {
        bus.modules[0].faults = sim::Faults{};
        open([&](UiWindow d) {
            headless::click(d, IDC_DD_START);
            headless::run_timers(d, 1);
            fault(bus.modules[0].faults);
            headless::run_timers(d, 5);
            // The failed readout ended the refresh: its tick does not start the timer again.
            EXPECT_TRUE(win(d).timers.empty());
            pump(d);
            headless::run_timers(d, 5);
            EXPECT_EQ(boxes_saying(NoReply), ++boxes);
            expect_idle(d);
            // The lines of the last good readout stay.
            EXPECT_EQ(lines(d, IDC_DD_READINGS).size(), 2u);
        });
    }
}

// A reply whose lead is wrong is a module that does not know the command: its line, and the
// refresh goes on whatever the reply's length. Model 4103's lead is not tested at all.
TEST_F(SensorChannel, WrongLeadGetsItsLineAndTheRefreshGoesOn)
{
    const char *const WrongReply = "应答错误或不支持此命令!";
    struct Case {
        int model;
        int short_by;
        int wrong_lines;
    } cases[] = {{4301, 0, 3}, {4301, 3, 3}, {4301, 9, 3}, {4103, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.model << " short by " << c.short_by);
        SetUp();
        add_module(0x01, c.model, 0x80).channels[0].units = {sensor(1, 20.0, 0), sensor(2, 21.0, 1)};
        open_serial(0, 2);
        find_modules();
        open([&](UiWindow d) {
            headless::click(d, IDC_DD_START);
            bus.modules[0].faults.wrong_lead = true;
            bus.modules[0].faults.short_by = c.short_by;
            EXPECT_EQ(headless::run_timers(d, 3), 3);
            pump(d);
            const auto got = lines(d, IDC_DD_READINGS);
            EXPECT_EQ(std::count(got.begin(), got.end(), WrongReply), c.wrong_lines);
            EXPECT_TRUE(headless::boxes().empty());
            EXPECT_EQ(data_display.refreshing, 1);
            EXPECT_FALSE(win(d).timers.empty());
            headless::click(d, IDC_DD_STOP);
        });
        TearDown();
    }
}

TEST_F(SensorChannel, PeriodIsKeptBetweenOpeningsAndHalfASecondOnlyForFastModels)
{
    add_module(0x01, 4301, 0x80).channels[0].units = {sensor(1, 20.0, 0)};
    sim::Module &fast = add_module(0x02, 4563, 0x40);
    fast.kind_mask_a = 0x01;
    fast.channels[0].units = {sensor(2, 20.0, 0)};
    open_serial(0, 2);
    find_modules();

    data_display.period_index = 0;
    open([](UiWindow d) {
        EXPECT_FALSE(win(d).ctl(IDC_DD_P05).enabled);
        headless::click(d, IDC_DD_P30);
    });
    EXPECT_EQ(data_display.period_index, 2);
    UiWindow again = open([](UiWindow d) { headless::click(d, IDC_DD_START); });
    // "1.5 s" shows checked at every opening; the stored 3.0 s is what the refresh uses.
    EXPECT_TRUE(win(again).ctl(IDC_DD_P15).checked);
    EXPECT_FALSE(win(again).ctl(IDC_DD_P30).checked);
    EXPECT_NE(std::find(win(again).calls.begin(), win(again).calls.end(), "set-timer:2=3000"), win(again).calls.end());

    module_table.current = 1;
    data_display.period_index = 0;
    UiWindow f = open([](UiWindow d) {
        EXPECT_TRUE(win(d).ctl(IDC_DD_P05).enabled);
        headless::click(d, IDC_DD_START);
        EXPECT_FALSE(win(d).ctl(IDC_DD_P05).enabled);
    });
    EXPECT_NE(std::find(win(f).calls.begin(), win(f).calls.end(), "set-timer:2=500"), win(f).calls.end());
}

TEST_F(SensorChannel, ModelOfNoRowOpensEmptyAndItsRefreshReadsChannelZero)
{
    add_module(0x04, 4300, 0x40).channels[0].units = {sensor(1, 20.0, 0)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open([&](UiWindow dlg) {
        EXPECT_TRUE(requests.empty());
        EXPECT_TRUE(lines(dlg, IDC_DD_ID_LIST).empty());
        EXPECT_TRUE(lines(dlg, IDC_DD_READINGS).empty());
        headless::click(dlg, IDC_DD_CH0 + 3);  // only the button changes
        headless::click(dlg, IDC_DD_START);
        headless::run_timers(dlg, 2);
    });
    EXPECT_EQ(requests, (std::vector<std::string>{"#040", "#040"}));
    // No ID read types the unit for this model: its line is the prefix alone.
    EXPECT_EQ(lines(d, IDC_DD_READINGS), std::vector<std::string>{"00->"});
}

TEST_F(SensorChannel, Model4103ChannelFiveSendsNothing)
{
    sim::Module &m = add_module(0x03, 4103);
    m.channels[0].units = {sensor(1, 20.0, 0)};
    m.channels[2].units = {sim::make_itu(0x89, 1, 0, 22.0)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open([&](UiWindow dlg) {
        requests.clear();
        headless::beeps().clear();
        headless::click(dlg, IDC_DD_CH0 + 5);
    });
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(lines(d, IDC_DD_READINGS), std::vector<std::string>{NoSensor});
    EXPECT_EQ(lines(d, IDC_DD_ID_LIST), std::vector<std::string>{NoSensor});
    EXPECT_FALSE(headless::beeps().empty());
    EXPECT_TRUE(win(d).ctl(IDC_DD_CH0 + 5).checked);
}

TEST_F(SensorChannel, CalibrationOutOfToleranceStopsTheRefresh)
{
    sim::Module &m = add_module(0x05, 4563, 0x40);
    m.firmware = "V2.31";
    m.kind_mask_a = 0x01;
    m.channels[0].units = {sensor(1, 20.0, 0), sensor(2, 21.0, 1)};
    open_serial(0, 2);
    find_modules();

    open([&](UiWindow d) {
        headless::click(d, IDC_DD_START);
        headless::run_timers(d, 1);
        EXPECT_TRUE(headless::boxes().empty());
        // -4 and +3, then -4 and -4: three offsets out of tolerance in one readout.
        bus.modules[0].channels[0].units[0].calibration = 0xC3;
        bus.modules[0].channels[0].units[1].calibration = 0xCC;
        headless::run_timers(d, 3);
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, "此CH存在校准参数超差传感器! 超差次数：3");
        EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_TRUE(win(d).timers.empty());
        pump(d);
        expect_idle(d);
    });
}

// ---- ITU channels, mixed channels, fixed readings -----------------------------------------

using ItuChannel = DataDisplayScenario;

TEST_F(ItuChannel, ListsItusWithTheirTypesAndKeepsTheOutputBytes)
{
    sim::Module &m = add_module(0x07, 4560);
    sim::Unit out8 = sim::make_itu(5, 0x31, 0x00, 0.0);
    out8.outputs = 0xA5;
    m.channels[1].units = {sim::make_itu(1, 0x51, 0x02, 21.5), out8, sim::make_itu(8, 0x40, 0x01, 300.0),
                           sim::make_itu(0x0C, 0x41, 0x02, 7.0)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open();
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"&071", "#071"}));
    EXPECT_EQ(lines(d, IDC_DD_ID_LIST),
              (std::vector<std::string>{"00(81)->4701温湿度ITU---51-02 ", "01(49)->4705-8输出ITU---31-00 ",
                                        "02(64)->5808-TVOC ITU---40-01 ", "03(65)->(0C ]未知ITU---41-02 "}));
    const auto r = lines(d, IDC_DD_READINGS);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1], "01->(8O)1010--0101");
    EXPECT_EQ(r[2].substr(0, 4), "02->");
    EXPECT_EQ(ItuStateByte[1], 0xA5);
    EXPECT_EQ(ItuTypeTable[1][3], 0x0C);
}

TEST_F(ItuChannel, AllOnAModuleWithoutUnitsRefusesStart)
{
    add_module(0x07, 4560);
    open_serial(0, 2);
    find_modules();

    UiWindow d = open([](UiWindow dlg) {
        headless::click(dlg, IDC_DD_ALL);
        headless::click(dlg, IDC_DD_START);
    });
    EXPECT_EQ(boxes_saying("此通道无传感器!"), 1);
    EXPECT_EQ(data_display.refreshing, 0);
    EXPECT_EQ(std::count(win(d).calls.begin(), win(d).calls.end(), "set-timer:2=1500"), 0);
}

TEST_F(ItuChannel, DoubleClickOpensTheItuDialogsByTypeAndAddress)
{
    static const UiDialogHandlers settings{}, output{};
    data_display_hooks.itu_settings = &settings;
    data_display_hooks.itu_output = &output;
    sim::Module &m = add_module(0x09, 4562);
    m.kind_mask_b = 0x02;
    m.channels[1].units = {sim::make_itu(1, 0x50, 0, 20.0), sim::make_itu(1, 0x51, 0, 20.0),
                           sim::make_itu(6, 0x10, 0, 0.0)};
    open_serial(0, 2);
    find_modules();

    open([&](UiWindow d) {
        EXPECT_TRUE(win(d).ctl(IDC_DD_ITU_MARK0 + 1).shown);
        EXPECT_FALSE(win(d).ctl(IDC_DD_MARK0 + 1).shown);  // not a 1-Wire channel
        headless::click(d, IDC_DD_START);
        notify_list(d, IDC_DD_ID_LIST, 0, UI_DBLCLK);  // below the type's first address
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_EQ(data_display.clicked_type, 1);
        EXPECT_TRUE(headless::dialogs_run().size() == 1);
        notify_list(d, IDC_DD_ID_LIST, 1, UI_DBLCLK);
        EXPECT_EQ(headless::dialogs_run().back(), IDD_ITU_SETTINGS);
        EXPECT_EQ(data_display.clicked_index, 1);
        fake::clear_sleep_log();
        requests.clear();
        notify_list(d, IDC_DD_ID_LIST, 2, UI_DBLCLK);
        EXPECT_EQ(headless::dialogs_run().back(), IDD_ITU_OUTPUT);
        EXPECT_EQ(data_display.clicked_type, 6);
        // Two readouts around the pause that lets the module pass the outputs on.
        EXPECT_EQ(count_requests("#091"), 2);
        const auto &sl = fake::sleep_log();
        EXPECT_NE(std::find(sl.begin(), sl.end(), (3 + 40) * 30), sl.end());
    });
}

TEST_F(ItuChannel, MixedModuleShowsEachChannelByItsKindAndAllTogether)
{
    sim::Module &m = add_module(0x0A, 4563);
    m.kind_mask_a = 0x01;
    m.kind_mask_b = 0x04;
    m.channels[0].units = {sensor(1, 20.0, 0)};
    m.channels[2].units = {sim::make_itu(3, 0x22, 0, 19.0)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open([&](UiWindow dlg) {
        EXPECT_EQ(lines(dlg, IDC_DD_READINGS), std::vector<std::string>{"00->(--B20--)(+20.000)℃"});
        headless::click(dlg, IDC_DD_CH0 + 5);  // neither kind
        EXPECT_EQ(lines(dlg, IDC_DD_ID_LIST), std::vector<std::string>{NoSensor});
        EXPECT_EQ(lines(dlg, IDC_DD_READINGS), std::vector<std::string>{NoSensor});
        headless::click(dlg, IDC_DD_ALL);
    });
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"&0A0", "#0A0", "&0A8", "#0A8"}));
    const auto ids = lines(d, IDC_DD_ID_LIST);
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(ids[1], "01(--)->4703-8温度ITU---22-00 ");
    EXPECT_EQ(ItuTypeTableAll[0], 0xA8);
    EXPECT_FALSE(win(d).ctl(IDC_DD_SET_NUMBER).enabled);  // never for "ALL"
}

TEST_F(ItuChannel, Model4500ShowsItsTwoFixedReadings)
{
    sim::Module &m = add_module(0x0B, 4500);
    m.analog = {sim::Reading::constant(55.0), sim::Reading::constant(62.5)};
    open_serial(0, 2);
    find_modules();

    UiWindow d = open();
    EXPECT_EQ(distinct_requests(), std::vector<std::string>{"#0B3"});
    EXPECT_EQ(lines(d, IDC_DD_READINGS),
              (std::vector<std::string>{"00->(--B20--)(+55.000)℃", "01->(--B20--)(+62.500)℃"}));
    for (int c = 0; c < 8; ++c) EXPECT_FALSE(win(d).ctl(IDC_DD_MARK0 + c).shown);
}

// ---- Hooks and the ways in --------------------------------------------------------------

using DataDisplayHooksTest = DataDisplayScenario;

int g_hook_calls[4];
void count_set(UiWindow) { g_hook_calls[0]++; }
void count_cancel(UiWindow) { g_hook_calls[1]++; }
void count_download(UiWindow) { g_hook_calls[2]++; }
void count_params(UiWindow) { g_hook_calls[3]++; }

TEST_F(DataDisplayHooksTest, NumberingButtonsReachTheirHooksOnlyWithUnits)
{
    std::fill(std::begin(g_hook_calls), std::end(g_hook_calls), 0);
    data_display_hooks.set_number = count_set;
    data_display_hooks.cancel_number = count_cancel;
    data_display_hooks.download = count_download;
    data_display_hooks.sort_params = count_params;
    add_module(0x01, 4301, 0x80).channels[1].units = {sensor(1, 20.0, 0)};
    open_serial(0, 2);
    find_modules();

    open([](UiWindow d) {
        for (int id : {IDC_DD_SET_NUMBER, IDC_DD_CANCEL_NUMBER, IDC_DD_DOWNLOAD, IDC_DD_SORT_PARAMS})
            headless::click(d, id);
        headless::click(d, IDC_DD_CH0 + 4);  // empty channel
        headless::click(d, IDC_DD_SET_NUMBER);
    });
    EXPECT_EQ(std::vector<int>(std::begin(g_hook_calls), std::end(g_hook_calls)), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(boxes_saying("此通道无传感器!"), 1);
}

TEST_F(DataDisplayHooksTest, SelectionShowsIndexAndNewNumberAndDoubleClickOnTheGridOpens)
{
    add_module(0x01, 4301, 0x80).channels[0].units = {sensor(1, 20.0, 5), sensor(2, 21.0, 9)};
    open_serial(0, 2);
    find_modules();

    headless::on_dialog(IDD_DATA_DISPLAY, [](UiWindow d) {
        notify_list(d, IDC_DD_READINGS, 1, UI_SELCHANGE);
        EXPECT_EQ(win(d).ctl(IDC_DD_INDEX).text, "01");
        EXPECT_EQ(win(d).ctl(IDC_DD_NEW_NUMBER).text, "09");
        headless::click(d, IDC_DD_EXIT);
    });
    main_window_on_dblclk(window, 20 + 16, 20 + 16);
    ASSERT_EQ(headless::dialogs_run(), std::vector<int>{IDD_DATA_DISPLAY});
    EXPECT_EQ(win(headless::last_dialog()).result, IDC_DD_EXIT);
}

TEST_F(DataDisplayHooksTest, SaveWritesTheSensorListOnlyForNumberedFamilies)
{
    namespace fs = std::filesystem;
    const fs::path old_dir = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("vok_dd_save_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    add_module(0x1A, 4301, 0x82).channels[0].units = {sensor(1, 20.0, 3)};
    add_module(0x1B, 4560).channels[0].units = {sim::make_itu(1, 0x51, 0, 20.0)};
    open_serial(0, 2);
    find_modules();

    open([](UiWindow d) { headless::click(d, IDC_DD_SAVE); });
    module_table.current = 1;
    open([](UiWindow d) { headless::click(d, IDC_DD_SAVE); });
    std::ifstream in("model26.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool other_written = fs::exists("model27.txt");
    fs::current_path(old_dir);
    fs::remove_all(dir);
    // Type code 130 writes CH0 only.
    const std::string head = "\r\n Model addr:26H, ch:0, num:1\r\n --------------------------------------\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.find("ch:1"), std::string::npos);
    EXPECT_FALSE(other_written);
    EXPECT_FALSE(headless::cursor_is_wait());
}

}  // namespace
