// Sensor numbering through the data display on virtual time against the in-process bus:
// manual numbers and their refusals, the download (frames, lengths, echo offset, questions,
// failures, the reset it asks for), the automatic sort while units warm or cool in turn,
// and the sort parameter dialog's range checks.
#include <algorithm>
#include <string>
#include <vector>

#include "display/data_display.h"
#include "display/numbering.h"
#include "display/search.h"
#include "display/sort_params.h"
#include "maintenance/reset.h"
#include "sim/warm.h"
#include "tests/ui/ui_fixture.h"

namespace {

const char *const AskDownload = "确定要下载新编码？";
const char *const AskUnchanged = "是否要下载未作该修改的编码?";
const char *const Downloaded = "下载成功!,新编码须复位后才可生效!";
const char *const DownloadFailed = "下载失败!,请重新下载!";
const char *const InputError = " 字符输入错误!";

class Numbering : public UiFixture {
protected:
    std::vector<int> echo_at_write;  // link_state.echo_len as each sort write left

    void SetUp() override
    {
        UiFixture::SetUp();
        echo_at_write.clear();
        data_display_reset();
        data_display_hooks = DataDisplayHooks{};
        numbering_install();
        main_window_features.data_display = &data_display_handlers;
        auto keep = bus.on_traffic;
        bus.on_traffic = [this, keep](int64_t t, bool request, const std::vector<uint8_t> &b) {
            keep(t, request, b);
            if (request && !b.empty() && (b[0] == '/' || b[0] == '^')) echo_at_write.push_back(link_state.echo_len);
        };
    }

    // A 1-Wire module at 0x01 with `n` units on channel 0 at `celsius`, sort numbers 0..n-1.
    sim::Module &sensors(int n, double celsius = 20.0, int model = 4301, uint8_t type = 0x80)
    {
        sim::Module &m = add_module(0x01, model, type);
        for (int i = 0; i < n; ++i) {
            sim::Unit u = sim::make_sensor(0x28, static_cast<uint32_t>(100 + i), celsius);
            u.sort = static_cast<uint8_t>(i);
            m.channels[0].units.push_back(u);
        }
        return m;
    }

    // COM1 at 9600 baud, the modules found and the first one selected, logs cleared.
    void connect()
    {
        open_serial(0, 2);
        find_modules();
    }

    void find_modules()
    {
        module_table.count = 0;
        for (const auto &m : bus.modules) probe_address(m.address);
        for (int i = 0; i < module_table.count; ++i) ASSERT_EQ(read_module_parameters(i), 0);
        module_table.ready = 1;
        module_table.current = 0;
        requests.clear();
        fake::clear_serial_log("COM1");
    }

    UiWindow open(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_DATA_DISPLAY, std::move(session));
        main_window_on_command(window, IDM_DATA);
        return headless::last_dialog();
    }

    // Runs the commands the dialog posted to itself, as its message loop would.
    static void pump(UiWindow d)
    {
        auto &w = win(d);
        while (!w.posted.empty() && !w.ended) {
            const int id = w.posted.front();
            w.posted.pop_front();
            w.handlers->on_command(d, id, UI_CLICKED);
        }
    }

    // Lets the refresh run tick by tick until it stops; returns the ticks.
    static int refresh_until_stopped(UiWindow d, int max_ticks)
    {
        int ticks = 0;
        while (ticks < max_ticks && data_display.refreshing == 1) {
            ticks += headless::run_timers(d, 1);
            pump(d);
        }
        return ticks;
    }

    static void select_unit(UiWindow d, int i)
    {
        win(d).ctl(IDC_DD_ID_LIST).sel = i;
        win(d).handlers->on_command(d, IDC_DD_ID_LIST, UI_SELCHANGE);
    }

    static void set_number(UiWindow d, int i, const std::string &typed)
    {
        select_unit(d, i);
        headless::type_text(d, IDC_DD_NEW_NUMBER, typed);
        headless::click(d, IDC_DD_SET_NUMBER);
    }

    static std::string id_line(UiWindow d, int i) { return win(d).ctl(IDC_DD_ID_LIST).items.at(static_cast<size_t>(i)); }

    std::vector<std::string> box_texts() const
    {
        std::vector<std::string> out;
        for (const auto &b : headless::boxes()) out.push_back(b.text);
        return out;
    }

    std::vector<std::string> sort_writes() const
    {
        std::vector<std::string> out;
        for (const auto &r : requests)
            if (r[0] == '/' || r[0] == '^') out.push_back(r);
        return out;
    }

    int read_size_after(const std::string &frame) const
    {
        bool sent = false;
        for (const auto &e : fake::serial_log("COM1")) {
            if (e.kind == fake::SerialEvent::Write) sent = std::string(e.bytes.begin(), e.bytes.end()) == frame + "\r";
            if (sent && e.kind == fake::SerialEvent::Read) return e.value;
        }
        return -1;
    }

    static bool reset_posted() { return std::count(win(main_window.hwnd).posted.begin(), win(main_window.hwnd).posted.end(), IDM_RESET) > 0; }

    static void answer_download(int second)
    {
        headless::answer_next(UI_ID_OK);
        headless::answer_next(second);
        headless::answer_next(UI_ID_OK);
    }
};

std::string write_frame(char lead, const char *addr_ch, int position, int number)
{
    return std::string(1, lead) + addr_ch + char(position + 0x10) + char(number + 0x10);
}

// ---- Manual numbers -------------------------------------------------------------------------

TEST_F(Numbering, ManualNumberAcceptsZeroToSixtyFourAndRefusesTheRest)
{
    sensors(4);
    connect();
    struct Case {
        const char *typed;
        const char *message;  // null: accepted
        const char *field_after;
    };
    const Case cases[] = {
        {"64", nullptr, "64"},
        {"65", " 字符输入超范围(0~64)! ", "64"},
        {"300", " 字符输入超范围(0~64)! ", "64"},
        {"ab", InputError, "64"},
        {"", InputError, "64"},
        {"-1", InputError, "64"},
        {"0", nullptr, "0"},
    };
    open([&](UiWindow d) {
        const std::string stored = numbering.line_store[1];
        ASSERT_EQ(stored.substr(0, 8), "01(01)->");
        EXPECT_EQ(id_line(d, 1), stored);
        for (const Case &c : cases) {
            headless::boxes().clear();
            headless::beeps().clear();
            set_number(d, 1, c.typed);
            if (c.message) {
                ASSERT_EQ(box_texts(), std::vector<std::string>{c.message}) << c.typed;
                EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
                EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK);
                EXPECT_TRUE(headless::beeps().empty());
            } else {
                EXPECT_TRUE(headless::boxes().empty()) << c.typed;
                EXPECT_EQ(headless::beeps(), std::vector<int>{UI_BEEP_SIMPLE});
                EXPECT_EQ(win(d).ctl(IDC_DD_NEW_NUMBER).text, c.typed);
            }
            // A refused entry leaves the unit's number as it was and shows it again.
            const int number = std::stoi(c.field_after);
            EXPECT_EQ(numbering.new_number[1], number) << c.typed;
            EXPECT_EQ(id_line(d, 1), stored + "--" + (number < 10 ? "0" : "") + std::to_string(number)) << c.typed;
            if (c.message) {
                EXPECT_EQ(win(d).ctl(IDC_DD_NEW_NUMBER).text, number < 10 ? "0" + std::to_string(number) : std::to_string(number));
            }
            EXPECT_EQ(win(d).ctl(IDC_DD_ID_LIST).sel, 1);
            EXPECT_EQ(numbering.changed[1], 1);
        }
        // Other units keep their lines; the list keeps its length.
        EXPECT_EQ(win(d).ctl(IDC_DD_ID_LIST).items.size(), 4u);
        EXPECT_EQ(id_line(d, 2), numbering.line_store[2]);

        // Cancel brings back the stored line and the old number, with the question sound.
        headless::beeps().clear();
        headless::click(d, IDC_DD_CANCEL_NUMBER);
        EXPECT_EQ(id_line(d, 1), stored);
        EXPECT_EQ(numbering.changed[1], 0);
        EXPECT_EQ(numbering.new_number[1], 1);
        EXPECT_EQ(win(d).ctl(IDC_DD_NEW_NUMBER).text, "01");
        EXPECT_EQ(headless::beeps(), std::vector<int>{UI_BEEP_QUESTION});
    });
    EXPECT_TRUE(sort_writes().empty());
}

// ---- Download ---------------------------------------------------------------------------------

TEST_F(Numbering, DownloadWritesChangedUnitsAndUnchangedOnesOnlyWhenAskedTo)
{
    struct Case {
        int second_answer;
        std::vector<std::string> writes;
    };
    const Case cases[] = {
        // Unit 1 got 7 (a change); unit 2 got 2 again (set, but equal to the number it had).
        {UI_ID_YES, {write_frame('/', "010", 1, 7), write_frame('/', "010", 2, 2)}},
        {UI_ID_NO, {write_frame('/', "010", 1, 7)}},
    };
    for (const Case &c : cases) {
        SetUp();
        sensors(4);
        connect();
        UiWindow d = open([&](UiWindow dlg) {
            set_number(dlg, 1, "7");
            set_number(dlg, 2, "2");
            requests.clear();
            headless::boxes().clear();
            answer_download(c.second_answer);
            headless::click(dlg, IDC_DD_DOWNLOAD);
        });
        EXPECT_EQ(sort_writes(), c.writes);
        EXPECT_EQ(requests.size(), c.writes.size());
        EXPECT_EQ(data_display.download_unchanged, c.second_answer == UI_ID_YES ? 1 : 0);
        EXPECT_EQ(box_texts(), (std::vector<std::string>{AskDownload, AskUnchanged, Downloaded}));
        const auto &b = headless::boxes();
        EXPECT_EQ(b[0].flags, UI_MB_OKCANCEL);
        EXPECT_EQ(b[1].flags, UI_MB_YESNO | UI_ICON_WARNING);
        EXPECT_EQ(b[2].flags, UI_MB_OKCANCEL);
        // Success closes the dialog and hands the module reset to the main window.
        EXPECT_TRUE(win(d).ended);
        EXPECT_EQ(win(d).result, IDC_DD_DOWNLOAD);
        EXPECT_TRUE(reset_posted());
        EXPECT_FALSE(headless::cursor_is_wait());
        // The module holds the numbers until its reset.
        EXPECT_EQ(bus.modules[0].channels[0].units[1].pending_sort, 7);
        EXPECT_EQ(bus.modules[0].channels[0].units[1].sort, 1);
    }
}

TEST_F(Numbering, DownloadFrameCarriesRawPositionAndNumberWithTheModelsLead)
{
    struct Case {
        int model;
        uint8_t type;
        char lead;
    };
    for (const Case &c : {Case{4301, 0x80, '/'}, Case{4563, 0x40, '^'}, Case{4562, 0x40, '^'}}) {
        SetUp();
        sim::Module &m = sensors(4, 20.0, c.model, c.type);
        m.kind_mask_a = 0x01;
        connect();
        open([&](UiWindow d) {
            ASSERT_TRUE(win(d).ctl(IDC_DD_SET_NUMBER).enabled) << c.model;
            set_number(d, 3, "12");
            requests.clear();
            answer_download(UI_ID_NO);
            headless::click(d, IDC_DD_DOWNLOAD);
        });
        const std::string frame = write_frame(c.lead, "010", 3, 12);
        EXPECT_EQ(frame, std::string(1, c.lead) + "010\x13\x1C");
        EXPECT_EQ(sort_writes(), std::vector<std::string>{frame}) << c.model;
        EXPECT_EQ(read_size_after(frame), 4 + 1) << c.model;  // no echo: the 4-byte reply
        EXPECT_TRUE(reset_posted());
    }
}

TEST_F(Numbering, EchoOffsetIsSevenDuringTheDownloadAndFiveAfterItHoweverItEnds)
{
    for (bool fail : {false, true}) {
        SetUp();
        sensors(4);
        conv->echo = true;
        open_serial(0, 2);
        probe_echo();
        ASSERT_EQ(link_state.echo_on, 1);
        ASSERT_EQ(link_state.echo_len, 5);
        find_modules();
        echo_at_write.clear();
        UiWindow d = open([&](UiWindow dlg) {
            set_number(dlg, 0, "9");
            set_number(dlg, 3, "12");
            if (fail) bus.modules[0].channels[0].units.pop_back();  // position 3 is refused
            answer_download(UI_ID_NO);
            headless::click(dlg, IDC_DD_DOWNLOAD);
        });
        const std::string last = write_frame('/', "010", 3, 12);
        EXPECT_EQ(link_state.echo_len, 5) << fail;
        ASSERT_FALSE(echo_at_write.empty());
        for (int e : echo_at_write) EXPECT_EQ(e, 7) << fail;
        // 7 bytes of echo and the 4-byte acknowledgement (the read asks for one more).
        EXPECT_EQ(read_size_after(last), 7 + 4 + 1);
        if (fail) {
            // A refused position is sent again, a bounded number of times, then reported.
            EXPECT_EQ(count_requests(last), SORT_WRITE_TRIES);
            EXPECT_EQ(box_texts().back(), DownloadFailed);
            EXPECT_NE(win(d).result, IDC_DD_DOWNLOAD);  // closed afterwards by its frame
            EXPECT_FALSE(reset_posted());
        } else {
            EXPECT_EQ(count_requests(last), 1);
            EXPECT_EQ(box_texts().back(), Downloaded);
        }
    }
}

TEST_F(Numbering, DownloadFailuresAndRefusals)
{
    // A module that stops answering: the positions before it are written, then the message.
    sensors(4);
    connect();
    UiWindow d = open([&](UiWindow dlg) {
        set_number(dlg, 0, "5");
        set_number(dlg, 2, "6");
        requests.clear();
        bus.on_traffic = [this](int64_t, bool request, const std::vector<uint8_t> &b) {
            if (!request) return;
            requests.emplace_back(b.begin(), b.end() - 1);
            if (requests.size() == 2) bus.modules[0].faults.silent = true;
        };
        answer_download(UI_ID_NO);
        headless::click(dlg, IDC_DD_DOWNLOAD);
    });
    EXPECT_EQ(bus.modules[0].channels[0].units[0].pending_sort, 5);
    EXPECT_EQ(bus.modules[0].channels[0].units[2].pending_sort, -1);
    EXPECT_EQ(box_texts().back(), DownloadFailed);
    EXPECT_NE(win(d).result, IDC_DD_DOWNLOAD);  // closed afterwards by its frame
    EXPECT_FALSE(reset_posted());
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST_F(Numbering, DownloadWithoutChangesOrCancelledOrOnAnItuChannel)
{
    sensors(4);
    sim::Module &mixed = add_module(0x02, 4562, 0x40);
    mixed.kind_mask_b = 0x01;
    mixed.channels[0].units = {sim::make_itu(1, 1, 2, 20.0), sim::make_itu(1, 2, 2, 20.0)};
    connect();

    // Cancel at the first question: nothing sent, the dialog stays.
    UiWindow d = open([&](UiWindow dlg) {
        set_number(dlg, 1, "7");
        requests.clear();
        headless::click(dlg, IDC_DD_DOWNLOAD);
    });
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(box_texts(), std::vector<std::string>{AskDownload});
    EXPECT_NE(win(d).result, IDC_DD_DOWNLOAD);  // closed afterwards by its frame

    // Nothing changed: no request at all, and success.
    headless::boxes().clear();
    d = open([&](UiWindow dlg) {
        requests.clear();
        answer_download(UI_ID_YES);
        headless::click(dlg, IDC_DD_DOWNLOAD);
    });
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(box_texts().back(), Downloaded);
    EXPECT_TRUE(reset_posted());

    // An ITU channel of model 4562: the refusal, and nothing on the bus.
    module_table.current = 1;
    headless::boxes().clear();
    d = open([&](UiWindow dlg) {
        EXPECT_FALSE(win(dlg).ctl(IDC_DD_DOWNLOAD).enabled);
        numbering.changed[0] = 1;
        numbering.new_number[0] = 9;
        requests.clear();
        answer_download(UI_ID_YES);
        numbering_download(dlg);
    });
    EXPECT_TRUE(sort_writes().empty());
    EXPECT_EQ(box_texts().back(), "此版本软件暂不支持 VOK4562/3 ITU通道下载功能!");
    EXPECT_NE(win(d).result, IDC_DD_DOWNLOAD);  // closed afterwards by its frame
}

TEST_F(Numbering, DownloadStopsTheRefreshAndLeavesTheDialogUsable)
{
    sensors(2);
    connect();
    open([&](UiWindow d) {
        headless::click(d, IDC_DD_START);
        headless::run_timers(d, 1);
        headless::click(d, IDC_DD_DOWNLOAD);  // cancelled at the first question
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_TRUE(win(d).timers.empty());
        EXPECT_TRUE(win(d).ctl(IDC_DD_P15).enabled);
        EXPECT_TRUE(win(d).ctl(IDC_DD_P30).enabled);
        EXPECT_FALSE(win(d).ctl(IDC_DD_P05).enabled);
        EXPECT_TRUE(win(d).ctl(IDC_DD_START).enabled);
    });
}

// Numbers downloaded, the reset the download asks for run by the main window, the bus
// searched again: the ID list shows them.
TEST_F(Numbering, DownloadedNumbersShowAfterTheResetAndANewSearch)
{
    sensors(4);
    bus.restart_scale = 0.001;
    connect();
    main_window_features.reset_module = reset_module;
    main_window_features.reset_countdown = &reset_countdown_handlers;
    open([&](UiWindow d) {
        set_number(d, 0, "9");
        set_number(d, 3, "12");
        answer_download(UI_ID_NO);
        headless::click(d, IDC_DD_DOWNLOAD);
    });
    auto &mw = win(main_window.hwnd);
    ASSERT_EQ(std::vector<int>(mw.posted.begin(), mw.posted.end()), std::vector<int>{IDM_RESET});
    mw.posted.clear();
    requests.clear();
    headless::on_dialog(IDD_RESET_COUNTDOWN, [](UiWindow c) { headless::run_timers(c); });
    main_window_on_command(main_window.hwnd, IDM_RESET);
    EXPECT_EQ(requests, std::vector<std::string>{"&019"});
    EXPECT_EQ(std::vector<int>(mw.posted.begin(), mw.posted.end()), std::vector<int>{IDM_SEARCH});
    find_modules();
    UiWindow d = open([](UiWindow) {});
    EXPECT_EQ(id_line(d, 0).substr(0, 8), "00(09)->");
    EXPECT_EQ(id_line(d, 1).substr(0, 8), "01(01)->");
    EXPECT_EQ(id_line(d, 3).substr(0, 8), "03(12)->");
}

// ---- Automatic sort ---------------------------------------------------------------------------

class AutoSortScenario : public Numbering {
protected:
    void sort_params(int rising, int start, int end)
    {
        auto_sort.rising = rising;
        auto_sort.critical_temp = 32.0f;
        auto_sort.enabled = 1;
        auto_sort.start_index = static_cast<uint8_t>(start);
        auto_sort.end_index = static_cast<uint8_t>(end);
    }

    // Starts the refresh at 1.5 s and lets it run until it stops by itself.
    int run(UiWindow d)
    {
        headless::click(d, IDC_DD_START);
        return refresh_until_stopped(d, 200);
    }

    static std::vector<int> marked(UiWindow d)
    {
        const auto &s = win(d).ctl(IDC_DD_READINGS).multi;
        return {s.begin(), s.end()};
    }
};

// Rising, the refresh stops once the number past the end was given: four units get 0-3.
// Falling, it stops on reaching the end number: three units get 0-2 and the fourth, crossing
// last, keeps its number.
TEST_F(AutoSortScenario, UnitsAreNumberedInTheOrderTheyWarmOrCool)
{
    struct Case {
        int rising;
        double from, to;
        int min_ticks, max_ticks;
        std::vector<int> numbers;  // per unit 0-3; -1: not numbered
        std::vector<int> marked;
        const char *field;
    };
    const Case cases[] = {
        // Unit 1 crosses last, at about 16.6 s; the refresh ends with that readout.
        {1, 20.0, 40.0, 7, 13, {1, 3, 0, 2}, {0, 1, 2, 3}, "03"},
        // Unit 3 crosses third, at about 12.6 s.
        {0, 40.0, 20.0, 5, 10, {1, -1, 0, 2}, {0, 2, 3}, "02"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rising ? "rising" : "falling");
        SetUp();
        sim::Module &m = sensors(5, c.from);
        // Unit 4 sits at exactly the critical temperature: it never triggers.
        m.channels[0].units[4].temp = sim::Reading::constant(32.0);
        ASSERT_TRUE(sim::warm_in_turn(m, 0, {2, 0, 3, 1}, c.from, c.to, 4.0, 4.0));
        connect();
        sort_params(c.rising, 0, 3);
        open([&](UiWindow d) {
            const int ticks = run(d);
            EXPECT_GE(ticks, c.min_ticks);
            EXPECT_LE(ticks, c.max_ticks);
            EXPECT_EQ(data_display.refreshing, 0);
            EXPECT_TRUE(win(d).timers.empty());
            EXPECT_TRUE(win(d).ctl(IDC_DD_START).enabled);
            int given = 0;
            for (int i = 0; i < 4; ++i) {
                const int want = c.numbers[static_cast<size_t>(i)];
                EXPECT_EQ(numbering.changed[i], want >= 0 ? 1 : 0) << "unit " << i;
                if (want < 0) {
                    EXPECT_EQ(id_line(d, i), numbering.line_store[i]);
                    continue;
                }
                ++given;
                EXPECT_EQ(numbering.new_number[i], want) << "unit " << i;
                EXPECT_EQ(id_line(d, i), std::string(numbering.line_store[i]) + "--0" + std::to_string(want));
            }
            EXPECT_EQ(numbering.changed[4], 0);
            EXPECT_EQ(id_line(d, 4), numbering.line_store[4]);
            EXPECT_EQ(marked(d), c.marked);
            // The last unit marked is the selected one; the field shows the last number.
            EXPECT_EQ(data_display.selected, 3);
            EXPECT_EQ(win(d).ctl(IDC_DD_ID_LIST).sel, 3);
            EXPECT_EQ(win(d).ctl(IDC_DD_NEW_NUMBER).text, c.field);
            EXPECT_EQ(data_display.next_number, given);
        });
    }
}

TEST_F(AutoSortScenario, UnitsBelowTheStartAreMarkedButNotNumbered)
{
    sim::Module &m = sensors(4);
    ASSERT_TRUE(sim::warm_in_turn(m, 0, {0, 3, 1, 2}, 20.0, 40.0, 4.0, 4.0));
    connect();
    sort_params(1, 2, 3);
    open([&](UiWindow d) {
        run(d);
        EXPECT_EQ(numbering.changed[0] + numbering.changed[1], 0);
        EXPECT_EQ(numbering.new_number[3], 2);
        EXPECT_EQ(numbering.new_number[2], 3);
        EXPECT_EQ(numbering.new_number[0], 0);  // its old number
        EXPECT_EQ(marked(d), (std::vector<int>{0, 1, 2, 3}));
    });
}

TEST_F(AutoSortScenario, UnitsTriggeringInTheStoppingReadoutStillGetNumbers)
{
    sensors(3);
    connect();
    sort_params(1, 0, 1);
    open([&](UiWindow d) {
        headless::click(d, IDC_DD_START);
        headless::run_timers(d, 1);
        EXPECT_EQ(numbering.changed[0] + numbering.changed[1] + numbering.changed[2], 0);
        // All three warm at once: one readout numbers them all, past the end number.
        for (auto &u : bus.modules[0].channels[0].units) u.temp = sim::Reading::constant(33.0);
        headless::run_timers(d, 1);
        EXPECT_EQ(std::count(win(d).posted.begin(), win(d).posted.end(), IDC_DD_STOP), 2);
        pump(d);
        EXPECT_EQ(data_display.refreshing, 0);
        EXPECT_EQ(numbering.new_number[0], 0);
        EXPECT_EQ(numbering.new_number[1], 1);
        EXPECT_EQ(numbering.new_number[2], 2);
        // Every readout marks the warm units again; the lists keep the last one on top.
        EXPECT_EQ(data_display.keep_top, 1);
        EXPECT_EQ(data_display.top_index, 2);
    });
}

TEST_F(AutoSortScenario, DisabledOrOnAChannelItDoesNotServeNothingIsMarked)
{
    sim::Module &m = sensors(2, 40.0);
    (void)m;
    sim::Module &itu = add_module(0x02, 4103);
    itu.channels[0].units = {sim::make_sensor(0x28, 7, 20.0)};
    itu.channels[1].units = {sim::make_itu(0x89, 1, 0, 40.0)};
    connect();
    sort_params(1, 0, 3);
    auto_sort.enabled = 0;
    open([&](UiWindow d) {
        headless::click(d, IDC_DD_START);
        headless::run_timers(d, 2);
        EXPECT_TRUE(marked(d).empty());
        EXPECT_EQ(numbering.changed[0], 0);
    });
    EXPECT_FALSE(auto_sort_serves(&module_table.module[1], 1));
    EXPECT_TRUE(auto_sort_serves(&module_table.module[0], 0));
}

// ---- Sort parameter dialog --------------------------------------------------------------------

TEST_F(Numbering, SortParametersAreCheckedAgainstTheChannel)
{
    sensors(8);
    connect();
    struct Case {
        const char *start, *end;
        int stored_end;
        int result;
        const char *message;
        int start_after, end_after;
    };
    const Case cases[] = {
        {"2", "5", 7, SORT_PARAMS_OK, nullptr, 2, 5},
        {" 3", " 3", 7, SORT_PARAMS_OK, nullptr, 3, 3},
        {"x", "5", 7, SORT_PARAMS_NOT_A_NUMBER, InputError, 0, 7},
        {"8", "5", 7, SORT_PARAMS_START_RANGE, " 起始序号输入超范围!", 0, 7},
        // The start is checked against the stored end, not the one typed beside it.
        {"5", "6", 3, SORT_PARAMS_START_RANGE, " 起始序号输入超范围!", 0, 3},
        {"2", "8", 7, SORT_PARAMS_END_RANGE, " 终止序号输入超范围!,系统将设定其为: 终止序号!", 2, 7},
        {"2", "40", 5, SORT_PARAMS_END_RANGE, " 终止序号输入超范围!,系统将设定其为: 终止序号!", 2, 7},
        {"4", "3", 7, SORT_PARAMS_END_BELOW_START, " 终止序号输入 < 起始序号!", 4, 7},
        {"2", "", 7, SORT_PARAMS_NOT_A_NUMBER, InputError, 2, 7},
    };
    for (const Case &c : cases) {
        auto_sort = AutoSort{1, 32.0f, 0, 0, static_cast<uint8_t>(c.stored_end)};
        headless::boxes().clear();
        UiWindow sp = nullptr;
        headless::on_dialog(IDD_SORT_PARAMS, [&](UiWindow s) {
            sp = s;
            win(s).ctl(IDC_SP_RISING).checked = false;
            win(s).ctl(IDC_SP_FALLING).checked = true;
            win(s).ctl(IDC_SP_ENABLED).checked = true;
            headless::type_text(s, IDC_SP_START, c.start);
            headless::type_text(s, IDC_SP_END, c.end);
            EXPECT_EQ(apply_sort_params(s), c.result) << c.start << "/" << c.end;
            headless::click(s, IDC_SP_EXIT);
        });
        open([](UiWindow d) { headless::click(d, IDC_DD_SORT_PARAMS); });
        ASSERT_NE(sp, nullptr);
        // Direction and switch are stored whatever the range check says.
        EXPECT_EQ(auto_sort.rising, 0);
        EXPECT_EQ(auto_sort.enabled, 1);
        EXPECT_EQ(auto_sort.start_index, c.start_after) << c.start << "/" << c.end;
        EXPECT_EQ(auto_sort.end_index, c.end_after) << c.start << "/" << c.end;
        if (c.message) {
            ASSERT_EQ(box_texts(), std::vector<std::string>{c.message}) << c.start << "/" << c.end;
            EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
            EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK);
        } else {
            EXPECT_TRUE(headless::boxes().empty());
        }
        if (c.result == SORT_PARAMS_END_RANGE) {
            EXPECT_EQ(win(sp).ctl(IDC_SP_END).text, " 7");
        }
    }
}

TEST_F(Numbering, SortParameterDialogShowsAndStepsTheCriticalTemperature)
{
    sensors(8);
    connect();
    auto_sort.end_index = 7;
    std::vector<std::string> shown;
    UiWindow sp = nullptr;
    headless::on_dialog(IDD_SORT_PARAMS, [&](UiWindow s) {
        sp = s;
        auto &w = win(s);
        EXPECT_TRUE(w.ctl(IDC_SP_RISING).checked);
        EXPECT_FALSE(w.ctl(IDC_SP_FALLING).checked);
        EXPECT_FALSE(w.ctl(IDC_SP_ENABLED).checked);
        EXPECT_EQ(w.ctl(IDC_SP_START).text, " 0");
        EXPECT_EQ(w.ctl(IDC_SP_END).text, " 7");
        shown.push_back(w.ctl(IDC_SP_CRITICAL).text);
        auto_sort.critical_temp = 59.0f;
        headless::scroll(s, IDC_SP_SCROLL, UI_SCROLL_LINE_UP);
        shown.push_back(w.ctl(IDC_SP_CRITICAL).text);
        headless::scroll(s, IDC_SP_SCROLL, UI_SCROLL_LINE_UP);
        shown.push_back(w.ctl(IDC_SP_CRITICAL).text);
        auto_sort.critical_temp = -29.0f;
        headless::scroll(s, IDC_SP_SCROLL, UI_SCROLL_LINE_DOWN);
        headless::scroll(s, IDC_SP_SCROLL, UI_SCROLL_LINE_DOWN);
        shown.push_back(w.ctl(IDC_SP_CRITICAL).text);
        auto_sort.critical_temp = 4.0f;
        headless::scroll(s, IDC_SP_SCROLL, UI_SCROLL_LINE_UP);
        shown.push_back(w.ctl(IDC_SP_CRITICAL).text);
        // Exit does not read the fields, but the step stays.
        headless::type_text(s, IDC_SP_START, "x");
        headless::click(s, IDC_SP_EXIT);
    });
    open([](UiWindow d) { headless::click(d, IDC_DD_SORT_PARAMS); });
    EXPECT_EQ(shown, (std::vector<std::string>{"+32.0℃", "+60.0℃", "+60.0℃", "-30.0℃", "+5.0℃"}));
    EXPECT_FLOAT_EQ(auto_sort.critical_temp, 5.0f);
    EXPECT_EQ(auto_sort.start_index, 0);
    EXPECT_TRUE(headless::boxes().empty());
    ASSERT_NE(sp, nullptr);
    EXPECT_EQ(win(sp).result, IDC_SP_EXIT);

    // Confirm closes the dialog only once the fields pass.
    headless::on_dialog(IDD_SORT_PARAMS, [&](UiWindow s) {
        headless::type_text(s, IDC_SP_START, "9");
        headless::click(s, IDC_SP_OK);
        EXPECT_FALSE(win(s).ended);
        headless::type_text(s, IDC_SP_START, "1");
        headless::click(s, IDC_SP_OK);
        EXPECT_TRUE(win(s).ended);
        EXPECT_EQ(win(s).result, IDC_SP_OK);
    });
    open([](UiWindow d) { headless::click(d, IDC_DD_SORT_PARAMS); });
    EXPECT_EQ(auto_sort.start_index, 1);
    EXPECT_EQ(box_texts(), std::vector<std::string>{" 起始序号输入超范围!"});
}

}  // namespace
