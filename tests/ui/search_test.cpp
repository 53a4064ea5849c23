// Module search on virtual time against the in-process bus: the scan, the parameter reads
// per model layout, sort numbers, Stop, stale tables and the retry question.
#include <cstdio>

#include "display/search.h"
#include "tests/ui/ui_fixture.h"

namespace {

using Search = UiFixture;

// Runs the search dialog from the main window's menu with `session` driving it.
void run_search(UiWindow w, std::function<void(UiWindow)> session)
{
    headless::on_dialog(IDD_SEARCH, std::move(session));
    main_window_on_command(w, IDM_SEARCH);
}

void start_and_run(UiWindow d)
{
    headless::click(d, IDC_SEARCH_START);
    headless::run_timers(d);
}

TEST_F(Search, FindsModulesAtBothEndsInAscendingOrderAndFillsEveryField)
{
    sim::Module &high = add_module(0xFF, 4560, 0x40);
    high.firmware = "V1.07";
    high.fault_code = 0x12;
    high.error_mask = 0x04;
    high.warning_mask = 0x00;
    high.mode = '1';
    high.channels[0].units = {sim::make_itu(1, 1, 2, 21.5), sim::make_itu(1, 3, 4, 22.0)};
    high.channels[0].units[0].sort = 7;
    high.channels[0].units[1].sort = 9;
    high.channels[3].units = {sim::make_itu(1, 5, 6, 20.0)};
    sim::Module &low = add_module(0x00, 4301, 0x81);
    low.firmware = "V2.01";
    open_serial(0, 2);
    module_table.current = 1;

    run_search(window, start_and_run);

    ASSERT_EQ(module_table.count, 2);
    EXPECT_EQ(module_table.ready, 1);
    EXPECT_EQ(module_table.current, 0);
    EXPECT_EQ(module_table.scan_pos, 0);
    EXPECT_EQ(link_state.searching, 0);
    const Module &a = module_table.module[0], &b = module_table.module[1];
    EXPECT_EQ(a.address, 0x00);
    EXPECT_EQ(b.address, 0xFF);
    EXPECT_STREQ(a.name, "VOK4301");
    EXPECT_EQ(a.model, 4301);
    EXPECT_EQ(a.type_code, 0x81);
    EXPECT_STREQ(a.firmware, "V2.01");
    EXPECT_EQ(a.fault_state, 0);
    EXPECT_EQ(a.mode, 0);  // the simulator's modules start in search mode

    EXPECT_STREQ(b.name, "VOK4560");
    EXPECT_EQ(b.model, 4560);
    EXPECT_EQ(b.type_code, 0x40);
    EXPECT_STREQ(b.firmware, "V1.07");
    EXPECT_EQ(b.fault_state, 0x12);
    EXPECT_EQ(b.chan_error, 0x04);
    EXPECT_EQ(b.chan_warning, 0);
    EXPECT_EQ(b.mode, 1);
    EXPECT_EQ(b.chan_state, 0x09);
    EXPECT_EQ(b.itu_count[0], 2);
    EXPECT_EQ(b.itu_count[3], 1);
    EXPECT_EQ(b.itu_total, 3);
    // Model 4560 reads its sort numbers but does not keep them as valid.
    EXPECT_EQ(b.sort_no[0][0], 7);
    EXPECT_EQ(b.sort_no[0][1], 9);
    EXPECT_EQ(b.sort_valid, 0);

    // The last probe shown is FF with two modules; every address was probed once, 00 first.
    auto &d = win(headless::last_dialog());
    EXPECT_EQ(d.ctl(IDC_SEARCH_ADDRESS).text, " FF");
    EXPECT_EQ(d.ctl(IDC_SEARCH_FOUND).text, " 02");
    std::vector<std::string> heard = distinct_requests();
    ASSERT_GE(heard.size(), 256u);
    for (int a2 = 0; a2 < 256; ++a2) {
        char probe[8];
        snprintf(probe, sizeof probe, "$%02XM", a2);
        ASSERT_EQ(heard[static_cast<size_t>(a2)], probe);
    }
    // The grid now shows both modules, the first one selected.
    GfxCanvas c = gfx_get_canvas(window);
    main_window_on_paint(window, c);
    auto &canvas = win(window).canvas;
    ASSERT_EQ(canvas.icons.size(), 2u);
    EXPECT_EQ(canvas.icons[0].resource_id, IDI_4301_SEL);
    EXPECT_EQ(canvas.icons[1].resource_id, IDI_4560);
    EXPECT_EQ(canvas.texts[1].text, "FFH");
}

TEST_F(Search, StopRightAfterStartLeavesReadyAsItWas)
{
    add_module(0x10, 4560);
    open_serial(0, 2);
    for (int ready : {0, 1}) {
        SCOPED_TRACE(ready);
        module_table.ready = ready;
        run_search(window, [](UiWindow d) {
            headless::click(d, IDC_SEARCH_START);
            headless::click(d, IDC_SEARCH_STOP);
        });
        EXPECT_EQ(module_table.ready, ready);
        EXPECT_EQ(module_table.count, 0);
        EXPECT_EQ(link_state.searching, 0);
        EXPECT_TRUE(win(headless::last_dialog()).timers.empty());
    }
}

TEST_F(Search, StaleTableIsEmptiedWhenTheDialogClosesWithoutAScan)
{
    module_table.count = 3;
    module_table.ready = 1;
    module_table.stale = 1;
    run_search(window, [](UiWindow d) { headless::close(d); });
    EXPECT_EQ(module_table.count, 0);
    EXPECT_EQ(module_table.ready, 0);

    // Not stale: the table survives a dialog closed without a scan.
    module_table.count = 2;
    module_table.ready = 1;
    module_table.stale = 0;
    run_search(window, [](UiWindow d) { headless::click(d, IDC_SEARCH_STOP); });
    EXPECT_EQ(module_table.count, 2);
    EXPECT_EQ(module_table.ready, 1);
}

TEST_F(Search, StoppedScanClearsStaleAndReadsWhatItFound)
{
    add_module(0x02, 4560);
    open_serial(0, 2);
    module_table.stale = 1;
    run_search(window, [](UiWindow d) {
        headless::click(d, IDC_SEARCH_START);
        headless::run_timers(d, 5);  // addresses 00..04
        headless::click(d, IDC_SEARCH_STOP);
    });
    EXPECT_EQ(module_table.stale, 0);
    ASSERT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.ready, 1);
    EXPECT_EQ(module_table.module[0].model, 4560);
    EXPECT_EQ(headless::cursor_waits(), 1);
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST_F(Search, SecondGenerationModel4101IsReadWithItsSecondCounts)
{
    for (const char *fw : {"x2.00", "x1.00"}) {
        SCOPED_TRACE(fw);
        SetUp();
        sim::Module &m = add_module(0x05, 4101, 0x80);
        m.firmware = fw;
        m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0)};
        open_serial(0, 2);
        module_table.count = 1;
        module_table.module[0].address = 0x05;
        EXPECT_EQ(read_module_parameters(0), 0);
        const Module &r = module_table.module[0];
        EXPECT_EQ(r.model, 4101);
        if (fw[1] == '2') {
            EXPECT_EQ(count_requests("$058"), 1);
            EXPECT_EQ(r.itu_count2[0], 1);
            EXPECT_EQ(r.itu_total, 1);  // sum of the second counts
        } else {
            EXPECT_EQ(count_requests("$058"), 0);
            EXPECT_EQ(r.itu_count[0], 1);
            EXPECT_EQ(r.itu_total, 1);  // count 0 only: counts 1..7 are alarm settings
        }
        for (int k = 1; k < 8; ++k) EXPECT_EQ(r.itu_count[k], 0);
        port_close();
    }
}

// With an echoing converter the read covers the echo as well as the whole reply; before,
// the tail of each reply (model digits, counts) was cut off.
TEST_F(Search, EchoingConverterStillDeliversWholeReplies)
{
    sim::Module &m = add_module(0x21, 4562);
    m.channels[2].units = {sim::make_itu(1, 1, 1, 20.0)};
    m.kind_mask_a = 0x05;
    m.kind_mask_b = 0x02;
    conv->echo = true;
    open_serial(0, 2);
    probe_echo();
    ASSERT_EQ(link_state.echo_len, 5);
    link_state.searching = 1;
    EXPECT_EQ(probe_address(0x21), 1);
    EXPECT_EQ(probe_address(0x22), 0);
    link_state.searching = 0;
    ASSERT_EQ(read_module_parameters(0), 0);
    const Module &r = module_table.module[0];
    EXPECT_STREQ(r.name, "VOK4562");
    EXPECT_EQ(r.model, 4562);
    EXPECT_EQ(r.itu_count[2], 1);
    EXPECT_EQ(r.itu_total, 1);
    EXPECT_EQ(r.chan_mask_a, 0x05);
    EXPECT_EQ(r.chan_mask_b, 0x02);
    EXPECT_EQ(r.sort_valid, 1);
    port_close();
}

TEST_F(Search, ModelNumbersOutsideTheFamilyBecome3900)
{
    const struct { int sim_model, kept; } rows[] = {{4900, 3900}, {3900, 3900}, {4103, 4103}, {4899, 4899}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.sim_model);
        SetUp();
        add_module(0x01, row.sim_model, 0x80);
        open_serial(0, 2);
        module_table.count = 1;
        module_table.module[0].address = 0x01;
        read_module_parameters(0);
        EXPECT_EQ(module_table.module[0].model, row.kept);
        port_close();
    }
}

TEST_F(Search, EmptyChannelGetsZeroSortNumbersWithoutARequest)
{
    sim::Module &m = add_module(0x03, 4301, 0x80);
    m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0), sim::make_itu(1, 2, 2, 20.0)};
    m.channels[0].units[0].sort = 4;
    m.channels[0].units[1].sort = 5;
    open_serial(0, 2);
    module_table.count = 1;
    Module &r = module_table.module[0];
    r.address = 0x03;
    memset(r.sort_no, 0xAA, sizeof r.sort_no);
    ASSERT_EQ(read_module_parameters(0), 0);
    EXPECT_EQ(count_requests("*030"), 1);
    for (int c = 1; c < 8; ++c) {
        char frame[8];
        snprintf(frame, sizeof frame, "*03%d", c);
        EXPECT_EQ(count_requests(frame), 0) << frame;
        for (int k = 0; k < 64; ++k) ASSERT_EQ(r.sort_no[c][k], 0);
    }
    EXPECT_EQ(r.sort_no[0][0], 4);
    EXPECT_EQ(r.sort_no[0][1], 5);
    EXPECT_EQ(r.sort_no[0][2], 0xAA);  // beyond the channel's count: untouched
    EXPECT_EQ(r.sort_valid, 1);
}

// Reads entry 0 of the table, set to `address`, and returns read_module_parameters' result.
int read_entry0(uint8_t address)
{
    module_table.count = 1;
    module_table.module[0].address = address;
    return read_module_parameters(0);
}

// The $AA6 counts by model, the alarm settings they carry, the requests in their order and
// the replies that carry no information.
TEST_F(Search, ParameterReadFollowsEachModelsLayout)
{
    {
        SCOPED_TRACE("4501: raw counts and a second row");
        sim::Module &m = add_module(0x31, 4501);
        m.channels[1].units = {sim::make_itu(1, 1, 1, 20.0), sim::make_itu(1, 2, 2, 20.0)};
        m.channels[2].digital = {sim::make_itu(4, 3, 3, 0.0), sim::make_itu(4, 4, 4, 0.0),
                                 sim::make_itu(4, 5, 5, 0.0)};
        open_serial(0, 2);
        ASSERT_EQ(read_entry0(0x31), 0);
        const Module &r = module_table.module[0];
        EXPECT_EQ(r.chan_state, 0x06);
        EXPECT_EQ(r.itu_count[1], 2);
        EXPECT_EQ(r.itu_count_b[2], 3);
        EXPECT_EQ(r.itu_total, 2);
        EXPECT_EQ(r.itu_total_b, 3);
        EXPECT_EQ(count_requests("*311"), 1);  // sort numbers of every channel with units
        port_close();
    }
    {
        SCOPED_TRACE("4103: three raw counts, then the alarm settings");
        SetUp();
        sim::Module &m = add_module(0x32, 4103);
        m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0)};
        m.channels[2].units = {sim::make_itu(1, 2, 2, 20.0), sim::make_itu(1, 3, 3, 20.0)};
        m.alarm = {45, -5, 3, 85, 15, 6, {1, 2, 3, 4}, {5, 6}};
        open_serial(0, 2);
        ASSERT_EQ(read_entry0(0x32), 0);
        const Module &r = module_table.module[0];
        EXPECT_EQ(r.itu_count[0], 1);
        EXPECT_EQ(r.itu_count[2], 2);
        EXPECT_EQ(r.itu_total, 3);
        const AlarmSettings &a = alarm_settings;
        EXPECT_EQ(a.temp_high, 45);
        EXPECT_EQ(a.temp_low, -5);
        EXPECT_EQ(a.temp_hysteresis, 3);
        EXPECT_EQ(a.humidity_high, 85);
        EXPECT_EQ(a.humidity_low, 15);
        EXPECT_EQ(a.humidity_hysteresis, 6);
        EXPECT_EQ(a.temp_enable[0], 1);
        EXPECT_EQ(a.temp_enable[3], 4);
        EXPECT_EQ(a.humidity_enable[0], 5);
        EXPECT_EQ(a.humidity_enable[1], 6);
        port_close();
    }
    {
        SCOPED_TRACE("4102: counts 1..7 are the temperature alarm settings");
        SetUp();
        sim::Module &m = add_module(0x33, 4102);
        m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0), sim::make_itu(1, 2, 2, 20.0)};
        m.alarm.temp_high = 70;
        m.alarm.temp_low = -20;
        m.alarm.temp_hysteresis = 4;
        m.alarm.temp_enable = {0x0F, 0x00, 0x80, 0x01};
        alarm_settings.humidity_high = 9;
        alarm_settings.humidity_enable[1] = 9;
        open_serial(0, 2);
        ASSERT_EQ(read_entry0(0x33), 0);
        const Module &r = module_table.module[0];
        EXPECT_EQ(r.itu_count[0], 2);
        EXPECT_EQ(r.itu_total, 2);
        const AlarmSettings &a = alarm_settings;
        EXPECT_EQ(a.temp_high, 70);
        EXPECT_EQ(a.temp_low, -20);
        EXPECT_EQ(a.temp_hysteresis, 4);
        EXPECT_EQ(a.temp_enable[0], 0x0F);
        EXPECT_EQ(a.temp_enable[2], 0x80);
        EXPECT_EQ(a.humidity_high, 0);
        EXPECT_EQ(a.humidity_enable[1], 0);
        port_close();
    }
    {
        SCOPED_TRACE("4500: no state mask, counts from position 3");
        SetUp();
        sim::Module &m = add_module(0x34, 4500);
        m.digital_in = 0x12;
        m.digital_out = 0x34;
        open_serial(0, 2);
        ASSERT_EQ(read_entry0(0x34), 0);
        EXPECT_EQ(module_table.module[0].itu_count[0], 0x12);
        EXPECT_EQ(module_table.module[0].itu_count[1], 0x34);
        port_close();
    }
    {
        SCOPED_TRACE("type 0x82: sort numbers of CH0 only");
        SetUp();
        sim::Module &m = add_module(0x35, 4301, 0x82);
        m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0)};
        m.channels[1].units = {sim::make_itu(1, 2, 2, 20.0)};
        open_serial(0, 2);
        ASSERT_EQ(read_entry0(0x35), 0);
        EXPECT_EQ(count_requests("*350"), 1);
        EXPECT_EQ(count_requests("*351"), 0);
        port_close();
    }
    {
        SCOPED_TRACE("4563: request order; replies without their lead carry no information");
        SetUp();
        sim::Module &m = add_module(0x36, 4563);
        m.channels[0].units = {sim::make_itu(1, 1, 1, 20.0)};
        m.fault_code = 0x11;
        m.kind_mask_a = 0x01;
        m.mode = '1';
        m.faults.wrong_lead = true;
        open_serial(0, 2);
        Module &r = module_table.module[0];
        r.sort_no[0][0] = 0x77;
        ASSERT_EQ(read_entry0(0x36), 0);  // no information is no failure
        const std::vector<std::string> order = {"$362", "$36M", "$36F", "$36E", "$366", "$36T", "$36R", "*360"};
        EXPECT_EQ(distinct_requests(), order);
        EXPECT_STREQ(r.name, "VOK4563");  // the lead of the name reply is not tested
        EXPECT_EQ(r.fault_state, 0x80);
        EXPECT_EQ(r.chan_error, 0);
        EXPECT_EQ(r.chan_mask_a, 0);
        EXPECT_EQ(r.mode, 238);
        EXPECT_EQ(r.sort_no[0][0], 0x77);
        EXPECT_EQ(r.sort_valid, 0);
        port_close();
    }
}

// Sort number replies: what is taken, what is left, the pause between channels and failure.
TEST_F(Search, SortNumberRepliesByStatusAndCount)
{
    sim::Module &m = add_module(0x41, 4301, 0x80);
    for (int c = 0; c < 3; ++c) m.channels[c].units = {sim::make_itu(1, 1, 1, 20.0), sim::make_itu(1, 2, 2, 20.0)};
    open_serial(0, 2);
    ASSERT_EQ(read_entry0(0x41), 0);
    Module &r = module_table.module[0];

    // Status other than 0: every channel keeps its numbers and none counts as read.
    memset(r.sort_no, 0x55, sizeof r.sort_no);
    bus.find(0x41)->faults.data_status = 1;
    fake::clear_sleep_log();
    EXPECT_EQ(read_sort_numbers(0, 3), 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(r.sort_no[c][0], 0x55);
    EXPECT_EQ(r.sort_valid, 0);
    int pauses = 0;
    for (int s : fake::sleep_log()) pauses += s == 10;
    EXPECT_EQ(pauses, 3);  // one after each channel read
    bus.find(0x41)->faults.data_status = 0;

    // A reply whose count byte is 0 clears the channel; one above 64 fills exactly the row.
    // (The module's leading bytes stand in for the head of such a reply.)
    bus.find(0x41)->faults.garbage = {'>', '4', '1', 0x00, 0x00};
    EXPECT_EQ(read_sort_numbers(0, 1), 0);
    for (int k = 0; k < 64; ++k) ASSERT_EQ(r.sort_no[0][k], 0);
    EXPECT_EQ(r.sort_valid, 1);
    bus.find(0x41)->faults.garbage = {'>', '4', '1', 0x00, 200};
    memset(r.sort_no, 0x55, sizeof r.sort_no);
    EXPECT_EQ(read_sort_numbers(0, 1), 0);
    EXPECT_EQ(r.sort_no[0][0], '>');  // the real reply follows the crafted head
    EXPECT_EQ(r.sort_no[1][0], 0x55);
    bus.find(0x41)->faults.garbage.clear();

    // A channel that does not answer fails the read.
    bus.find(0x41)->faults.silent = true;
    EXPECT_EQ(read_sort_numbers(0, 2), 1);
}

TEST_F(Search, FailedParameterReadAfterStopAsksAndRetriesOnYes)
{
    sim::Module &m = add_module(0x12, 4560);
    open_serial(0, 2);
    run_search(window, [&](UiWindow d) {
        headless::click(d, IDC_SEARCH_START);
        headless::run_timers(d, 0x14);
        bus.find(0x12)->faults.silent = true;  // the module stops answering
        headless::on_box([&](const headless::MessageBox &) { bus.find(0x12)->faults.silent = false; });
        headless::answer_next(UI_ID_YES);
        headless::click(d, IDC_SEARCH_STOP);
    });
    (void)m;
    ASSERT_EQ(headless::boxes().size(), 1u);
    const auto &box = headless::boxes()[0];
    EXPECT_EQ(box.text, "18 号模块参数未读取完毕,是否再试一次?");
    EXPECT_EQ(box.caption, "系统提示");
    EXPECT_EQ(box.flags, UI_MB_YESNO | UI_ICON_WARNING);
    EXPECT_EQ(module_table.module[0].model, 4560);  // read on the second try
    EXPECT_EQ(module_table.ready, 1);

    // Answered No: the module stays with what was read, and nothing is asked again.
    headless::reset();
    window = headless::new_window();
    main_window.hwnd = window;
    module_table.module[0].model = 0;
    run_search(window, [&](UiWindow d) {
        headless::click(d, IDC_SEARCH_START);
        headless::run_timers(d, 0x14);
        bus.find(0x12)->faults.silent = true;
        headless::click(d, IDC_SEARCH_STOP);
    });
    EXPECT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(module_table.module[0].model, 0);
}

TEST_F(Search, FailureAfterAFullScanIsNotOffered)
{
    add_module(0x01, 4560).faults.silent = false;
    open_serial(0, 2);
    run_search(window, [&](UiWindow d) {
        headless::click(d, IDC_SEARCH_START);
        headless::run_timers(d, 2);  // 00, 01 found
        bus.find(0x01)->faults.silent = true;
        headless::run_timers(d);
    });
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.ready, 1);
}

// Virtual time of the whole 256-address search with one module at 9600 baud: the scan
// schedule per silent address, and the total the log reports.
TEST_F(Search, FullSearchScheduleByConverterType)
{
    const struct {
        int type;
        sim::ConverterKind kind;
        std::vector<int> silent;  // sleeps of the probe of a silent address
    } rows[] = {
        {0, sim::ConverterKind::Rs232, {70, 10, 70}},
        {2, sim::ConverterKind::Rs485, {90, 10, 90}},
        {4, sim::ConverterKind::Rs232, {80}},
        {7, sim::ConverterKind::UserWait, std::vector<int>(2 * 7, 10)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.type);
        SetUp();
        add_module(0x80, 4560);
        if (row.type == 4) open_net(2);
        else open_serial(row.type, 2, row.kind);
        int64_t t0 = fake::now_us();
        int64_t scan_end = 0;
        std::vector<int> probe_sleeps;
        run_search(window, [&](UiWindow d) {
            headless::click(d, IDC_SEARCH_START);
            headless::run_timers(d, 1);  // address 00 (silent), timer wait included
            fake::clear_sleep_log();
            headless::run_timers(d, 1);  // address 01
            probe_sleeps = fake::sleep_log();
            headless::run_timers(d, 253);  // up to FE
            scan_end = fake::now_us();
            headless::run_timers(d);
        });
        ASSERT_EQ(module_table.count, 1);
        // The tick's own 10 ms comes first, then the probe's waits.
        std::vector<int> want = {10};
        want.insert(want.end(), row.silent.begin(), row.silent.end());
        EXPECT_EQ(probe_sleeps, want);
        std::printf("[ search ] type %d at 9600: 00..FE %.3f s, whole search %.3f s\n", row.type,
                    static_cast<double>(scan_end - t0) / 1e6, static_cast<double>(fake::now_us() - t0) / 1e6);
        if (row.type == 4) net_close();
        else port_close();
    }
}

}  // namespace
