// ITU settings dialog on virtual time: offset positions and codes, the address and offset
// commands byte for byte with their pauses, what the ITU holds after the module's reset,
// every path of the confirm button, failures, the echo, and the data display's double click.
#include <algorithm>

#include "display/data_display.h"
#include "maintenance/itu_setup.h"
#include "platform/clock.h"
#include "tests/maintenance/found_modules.h"

namespace {

TEST(ItuOffset, PositionsCodesAndTypedAddresses)
{
    struct Pos { uint8_t raw; int pos; };
    for (const Pos &r : {Pos{0, 15}, Pos{16, 15}, Pos{1, 16}, Pos{15, 30}, Pos{17, 14}, Pos{0x13, 12}, Pos{31, 0},
                         Pos{40, -9}})
        EXPECT_EQ(itu_offset_position(r.raw), r.pos) << int(r.raw);
    struct Code { int pos; uint8_t code; };
    for (const Code &r : {Code{15, 0xA0}, Code{17, 0xA2}, Code{30, 0xAF}, Code{14, 0xF1}, Code{12, 0xF3}, Code{0, 0xFF}})
        EXPECT_EQ(itu_offset_code(r.pos), r.code) << r.pos;
    // Every raw byte of the ID maps back onto itself through position and code.
    for (int raw = 0; raw < 32; ++raw) {
        const uint8_t code = itu_offset_code(itu_offset_position(static_cast<uint8_t>(raw)));
        const int back = code >= 0xF1 ? 16 + (code - 0xF0) : code - 0xA0;
        EXPECT_EQ(back, raw == 16 ? 0 : raw) << raw;
    }
    EXPECT_EQ(itu_typed_address("12"), 12);
    EXPECT_EQ(itu_typed_address("09"), 9);
    EXPECT_EQ(itu_typed_address("A0"), 100);  // letters count 10 and more
    EXPECT_EQ(itu_typed_address("Z9"), static_cast<uint8_t>(359));
}

class ItuSetupDialog : public FoundModules {
protected:
    sim::Module *m = nullptr;

    void SetUp() override
    {
        FoundModules::SetUp();
        data_display_reset();
        data_display_hooks = DataDisplayHooks{};
        itu_set = ItuSet{};
        m = &add_module(0x06, 4560);
        // Channel 1: a temperature-humidity ITU at address 81 with offset -3 (raw 0x13), an
        // 8-output ITU at address 49.
        m->channels[1].units = {sim::make_itu(1, 0x51, 0x13, 21.5), sim::make_itu(5, 0x31, 0, 0)};
    }

    // What the data display leaves for a double click on line i of channel 1.
    void clicked(int i)
    {
        channel_kind.current_channel = 1;
        const auto &u = m->channels[1].units[static_cast<size_t>(i)];
        ItuTypeTable[1][i] = u.id[0];
        module_table.module[0].itu_id1[1][i] = u.id[1];
        module_table.module[0].itu_id2[1][i] = u.id[2];
        data_display.clicked_type = u.id[0];
        data_display.clicked_index = static_cast<uint8_t>(i);
    }

    void run(int i, std::function<void(UiWindow)> session)
    {
        clicked(i);
        headless::on_dialog(IDD_ITU_SETTINGS, std::move(session));
        ui_dialog_run(window, IDD_ITU_SETTINGS, &itu_setup_handlers);
    }

    static void scroll(UiWindow d, int notify, int times)
    {
        for (int k = 0; k < times; ++k) headless::scroll(d, IDC_ITUS_SCROLL, notify);
    }
};

const char *const AddressDone = "下载成功! \r\n需复位模块,ITU才可以新地址工作!";
const char *const OffsetDone = "下载成功! \r\n需复位模块,ITU偏移量才可显示正常!";
const char *const Failed = "下载失败,请重试一次!";

TEST_F(ItuSetupDialog, OpensOnTheItuWithItsOffsetForTheTemperatureHumidityKind)
{
    open();
    run(0, [&](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_ITUS_CHANNEL).text, "1");
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OLD).text, "81");
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OFFSET).text, "-3");
        EXPECT_TRUE(win(d).ctl(IDC_ITUS_OFFSET).enabled);
        EXPECT_TRUE(win(d).ctl(IDC_ITUS_SCROLL).enabled);
        EXPECT_EQ(win(d).focus, IDC_ITUS_OK);
        scroll(d, UI_SCROLL_LINE_UP, 40);
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OFFSET).text, "+15");
        scroll(d, UI_SCROLL_LINE_DOWN, 40);
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OFFSET).text, "-15");
        headless::click(d, IDC_ITUS_EXIT);
    });
    run(1, [&](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OLD).text, "49");
        EXPECT_FALSE(win(d).ctl(IDC_ITUS_OFFSET).enabled);
        EXPECT_FALSE(win(d).ctl(IDC_ITUS_SCROLL).enabled);
        headless::click(d, IDC_ITUS_OK);  // nothing typed, no offset: nothing to send
    });
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_TRUE(win(headless::last_dialog()).ended);
}

TEST_F(ItuSetupDialog, MovedOffsetIsSentAndHeldAfterTheReset)
{
    open();
    fake::clear_sleep_log();
    run(0, [&](UiWindow d) {
        scroll(d, UI_SCROLL_LINE_UP, 5);
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OFFSET).text, "+2");
        headless::click(d, IDC_ITUS_OK);
    });
    EXPECT_EQ(requests, std::vector<std::string>{"@061812A2"});
    EXPECT_EQ(box_texts(), std::vector<std::string>{OffsetDone});
    EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
    EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK);
    const auto &sl = fake::sleep_log();
    EXPECT_EQ(sl.front(), 100);
    EXPECT_EQ(sl.back(), 200);
    EXPECT_EQ(itu_set.offset_pos_saved, 17);
    EXPECT_EQ(m->channels[1].units[0].id[2], 0x13);  // not before the module's reset
    bus.power_cycle(0x06, fake::now_us());
    EXPECT_EQ(m->channels[1].units[0].id[2], 2);

    // To the bottom: -15 goes out as FF.
    requests.clear();
    run(0, [&](UiWindow d) {
        scroll(d, UI_SCROLL_LINE_DOWN, 20);
        headless::click(d, IDC_ITUS_OK);
    });
    fake::advance_us(60'000'000);
    EXPECT_EQ(distinct_requests(), std::vector<std::string>{"@061812FF"});
}

TEST_F(ItuSetupDialog, NewAddressOfAnItuAndThenItsOffsetUnderTheNewAddress)
{
    open();
    // An output ITU: the address command alone, then a pause of a second.
    fake::clear_sleep_log();
    run(1, [&](UiWindow d) {
        headless::type_text(d, IDC_ITUS_NEW, "90");
        headless::click(d, IDC_ITUS_OK);
    });
    EXPECT_EQ(requests, std::vector<std::string>{"@06149190"});
    EXPECT_EQ(box_texts(), std::vector<std::string>{AddressDone});
    const auto &sl = fake::sleep_log();
    EXPECT_NE(std::find(sl.begin(), sl.end(), 1000), sl.end());
    EXPECT_EQ(itu_set.old_addr, 90);

    // A temperature-humidity ITU: its unchanged offset follows, sent to the new address.
    requests.clear();
    headless::boxes().clear();
    run(0, [&](UiWindow d) {
        headless::type_text(d, IDC_ITUS_NEW, "85");
        headless::click(d, IDC_ITUS_OK);
    });
    EXPECT_EQ(requests, (std::vector<std::string>{"@06181185", "@061852F3"}));
    EXPECT_EQ(box_texts(), std::vector<std::string>{AddressDone});

    // After the reset the module reports the new addresses; the offset is as it was.
    bus.power_cycle(0x06, fake::now_us());
    fake::advance_us(60'000'000);
    EXPECT_EQ(m->channels[1].units[0].sort, 85);
    EXPECT_EQ(m->channels[1].units[1].sort, 90);
    EXPECT_EQ(m->channels[1].units[0].id[2], 0x13);
    ASSERT_EQ(read_sort_numbers(0, 8), 0);
    EXPECT_EQ(module_table.module[0].sort_no[1][0], 85);
    EXPECT_EQ(module_table.module[0].sort_no[1][1], 90);
}

TEST_F(ItuSetupDialog, ConfirmPathsByWhatWasTyped)
{
    open();
    struct Case { const char *name; int item; const char *typed; int up; std::vector<std::string> sent, texts; };
    const Case cases[] = {
        {"one character is no address", 0, "5", 0, {}, {}},
        {"one character, offset moved", 0, "5", 1, {"@061812F2"}, {OffsetDone}},
        {"same address on type 1: the offset only", 0, "81", 0, {"@061812F3"}, {AddressDone}},
        {"same address, other kind: nothing", 1, "49", 0, {}, {AddressDone}},
        {"letters make an address past 99", 1, "Z9", 0, {}, {Failed}},
        {"the field takes two characters", 1, "493", 0, {}, {AddressDone}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        requests.clear();
        headless::boxes().clear();
        run(c.item, [&](UiWindow d) {
            headless::type_text(d, IDC_ITUS_NEW, c.typed);
            EXPECT_LE(win(d).ctl(IDC_ITUS_NEW).text.size(), 2u);
            scroll(d, UI_SCROLL_LINE_UP, c.up);
            headless::click(d, IDC_ITUS_OK);
            EXPECT_TRUE(win(d).ended);
        });
        EXPECT_EQ(distinct_requests(), c.sent);
        EXPECT_EQ(box_texts(), c.texts);
    }
    // An old address field that holds no number sends nothing either.
    requests.clear();
    headless::boxes().clear();
    run(1, [&](UiWindow d) {
        headless::type_text(d, IDC_ITUS_OLD, "x");
        headless::type_text(d, IDC_ITUS_NEW, "50");
        headless::click(d, IDC_ITUS_OK);
    });
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(box_texts(), std::vector<std::string>{Failed});
}

TEST_F(ItuSetupDialog, SilenceAndRefusalReportTheFailureOnce)
{
    open();
    struct Case { const char *name; std::function<void()> fault; const char *typed; int up; };
    const Case cases[] = {
        {"silent, address", [this] { m->faults.silent = true; }, "90", 0},
        {"silent, offset", [this] { m->faults.silent = true; }, "", 2},
        {"refused, address", [this] { m->faults.wrong_lead = true; }, "90", 0},
        {"unknown ITU, offset", [this] { module_table.module[0].sort_no[1][0] = 33; }, "", 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        find_modules(bus, 0, requests);
        c.fault();
        headless::boxes().clear();
        run(0, [&](UiWindow d) {
            headless::type_text(d, IDC_ITUS_NEW, c.typed);
            scroll(d, UI_SCROLL_LINE_UP, c.up);
            headless::click(d, IDC_ITUS_OK);
        });
        EXPECT_EQ(box_texts(), std::vector<std::string>{Failed});
        EXPECT_EQ(distinct_requests().size(), 1u);  // nothing after a failed address command
        m->faults = sim::Faults{};
    }
}

TEST_F(ItuSetupDialog, EchoOfTenByteCommandsIsSkippedAndPutBack)
{
    open(1);
    ASSERT_EQ(link_state.echo_on, 1);
    run(0, [&](UiWindow d) {
        headless::type_text(d, IDC_ITUS_NEW, "85");
        headless::click(d, IDC_ITUS_OK);
    });
    EXPECT_EQ(box_texts(), std::vector<std::string>{AddressDone});
    EXPECT_EQ(link_state.echo_len, 5);
    EXPECT_EQ(read_module_parameters(0), 0);
}

TEST_F(ItuSetupDialog, OpensFromTheDataDisplayDoubleClick)
{
    data_display_hooks.itu_settings = &itu_setup_handlers;
    main_window_features.data_display = &data_display_handlers;
    // The data display offers the settings of a temperature-humidity ITU on the ITU channels
    // of models 4562 and 4563, whose ID bytes it keeps.
    m->name = "VOK4562";
    m->kind_mask_b = 0x02;
    open();
    headless::on_dialog(IDD_ITU_SETTINGS, [](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OLD).text, "81");
        EXPECT_EQ(win(d).ctl(IDC_ITUS_OFFSET).text, "-3");
        headless::scroll(d, IDC_ITUS_SCROLL, UI_SCROLL_LINE_DOWN);
        headless::click(d, IDC_ITUS_OK);
    });
    headless::on_dialog(IDD_DATA_DISPLAY, [](UiWindow d) {
        headless::click(d, IDC_DD_CH0 + 1);
        win(d).ctl(IDC_DD_ID_LIST).sel = 0;
        win(d).handlers->on_command(d, IDC_DD_ID_LIST, UI_DBLCLK);
    });
    main_window_on_command(window, IDM_DATA);
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_DATA_DISPLAY, IDD_ITU_SETTINGS}));
    EXPECT_EQ(count_requests("@061812F4"), 1);
    EXPECT_EQ(box_texts(), std::vector<std::string>{OffsetDone});
}

}  // namespace
