// IO test dialog of model 4501 on virtual time: ID and state lines, empty channels, switching
// an output by its list index, refusals and silence, and the echo put back after the switch.
#include "maintenance/io_test.h"
#include "platform/clock.h"
#include "tests/maintenance/found_modules.h"

namespace {

class IoTestDialog : public FoundModules {
protected:
    sim::Module *m = nullptr;

    void SetUp() override
    {
        FoundModules::SetUp();
        main_window_features.io_test = &io_test_handlers;
        m = &add_module(0x05, 4501);
        // Channel 0: four digital ITUs; channel 2: twelve; the others none.
        for (int i = 0; i < 4; ++i) {
            sim::Unit u = sim::make_itu(4, static_cast<uint8_t>(0x10 + i), 0, 0);
            u.inputs = static_cast<uint8_t>(i & 1);
            u.outputs = 1;
            m->channels[0].digital.push_back(u);
        }
        m->channels[0].digital[3].id = {0x28, 0x6A, 0x1F, 0x5B, 0x03, 0x00, 0x00, 0xC4};
        m->channels[0].digital[3].outputs = 0;
        for (int i = 0; i < 12; ++i) m->channels[2].digital.push_back(sim::make_itu(6, static_cast<uint8_t>(i), 0, 0));
    }

    void open(int echo = 0)
    {
        FoundModules::open(echo);
        ASSERT_EQ(module_table.module[0].itu_count_b[0], 4);
    }

    void run(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_IO_TEST, std::move(session));
        main_window_on_command(window, IDM_IO);
    }

    static std::vector<std::string> list(UiWindow d) { return win(d).ctl(IDC_IOT_LIST).items; }
};

TEST_F(IoTestDialog, OpensOnChannelZeroWithIdAndStateLines)
{
    open();
    Module &mod = module_table.module[0];
    mod.sort_valid = 1;
    mod.sort_no[0][3] = 12;
    run([&](UiWindow d) {
        EXPECT_TRUE(win(d).ctl(IDC_IOT_CH0).checked);
        EXPECT_TRUE(win(d).ctl(IDC_IOT_OFF).checked);
        EXPECT_FALSE(win(d).ctl(IDC_IOT_ON).checked);
        const auto lines = list(d);
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[0], "00(00)->04 10 00 00 00 00 00 00 --0/1");
        EXPECT_EQ(lines[1], "01(00)->04 11 00 00 00 00 00 00 --1/1");
        EXPECT_EQ(lines[3], "03(12)->28 6A 1F 5B 03 00 00 C4 --1/0");
        EXPECT_EQ(win(d).ctl(IDC_IOT_LIST).sel, 0);
    });
    EXPECT_EQ(requests, (std::vector<std::string>{"^050", "~050"}));
    EXPECT_EQ(ItuTypeTable[0][3], 0x28);
    EXPECT_EQ(channel_kind.current_channel, 0);

    // Without valid sort numbers the number is dashed.
    mod.sort_valid = 0;
    run([&](UiWindow d) { EXPECT_EQ(list(d)[3], "03(--)->28 6A 1F 5B 03 00 00 C4 --1/0"); });
}

TEST_F(IoTestDialog, ChannelsWithAndWithoutItus)
{
    open();
    run([&](UiWindow d) {
        requests.clear();
        headless::beeps().clear();
        headless::click(d, IDC_IOT_CH0 + 5);
        EXPECT_EQ(list(d), std::vector<std::string>{"无传感器!"});
        EXPECT_EQ(headless::beeps(), std::vector<int>{UI_BEEP_WARNING});
        EXPECT_TRUE(requests.empty());
        EXPECT_TRUE(win(d).ctl(IDC_IOT_CH0 + 5).checked);
        EXPECT_FALSE(win(d).ctl(IDC_IOT_CH0).checked);

        headless::click(d, IDC_IOT_CH0 + 2);
        EXPECT_EQ(requests, (std::vector<std::string>{"^052", "~052"}));
        ASSERT_EQ(list(d).size(), 12u);
        EXPECT_EQ(list(d)[10], "10(--)->06 0A 00 00 00 00 00 00 --0/0");
        EXPECT_EQ(ItuTypeTable[2][10], 6);
        EXPECT_EQ(channel_kind.current_channel, 2);
    });
    EXPECT_TRUE(headless::boxes().empty());
}

TEST_F(IoTestDialog, SetSwitchesTheSelectedItuByItsHexIndexAndReadsTheStatesAgain)
{
    for (int echo : {0, 1}) {
        SCOPED_TRACE(echo);
        SetUp();
        open(echo);
        run([&](UiWindow d) {
            headless::click(d, IDC_IOT_CH0 + 2);
            ui_list_set_sel(d, IDC_IOT_LIST, 10);
            io_test_on_command(d, IDC_IOT_LIST, UI_SELCHANGE);
            ui_check(d, IDC_IOT_ON, 0);
            ui_check(d, IDC_IOT_OFF, 1);
            requests.clear();
            const uint32_t before = now_ms();
            headless::click(d, IDC_IOT_SET);
            EXPECT_GE(now_ms() - before, 300u);
            EXPECT_EQ(requests, (std::vector<std::string>{"@0520A1", "~052"}));
            EXPECT_EQ(list(d)[10], "10(--)->06 0A 00 00 00 00 00 00 --0/1");
            EXPECT_EQ(win(d).ctl(IDC_IOT_LIST).sel, 10);
            EXPECT_EQ(win(d).ctl(IDC_IOT_LIST).top, 10);
            // The next 5-byte request skips exactly its own echo.
            EXPECT_EQ(link_state.echo_len, echo ? 5 : 0);

            ui_check(d, IDC_IOT_ON, 1);
            headless::click(d, IDC_IOT_SET);
            EXPECT_EQ(list(d)[10], "10(--)->06 0A 00 00 00 00 00 00 --0/0");
            // A channel change goes back to the first line.
            headless::click(d, IDC_IOT_CH0);
            EXPECT_EQ(io_test.selected, 0);
            EXPECT_EQ(win(d).ctl(IDC_IOT_LIST).sel, 0);
        });
        EXPECT_EQ(m->channels[2].digital[10].outputs, 0);
        EXPECT_TRUE(headless::boxes().empty());
    }
}

TEST_F(IoTestDialog, RefusalAndSilenceEachReachTheirMessageOnce)
{
    open();
    struct Case { const char *name; bool silent; int line; const char *text; };
    const Case cases[] = {
        {"index past the channel", false, 7, "模块应答错误，请重试一次!"},
        {"silent module", true, 1, "模块未应答，请重试一次!"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        headless::boxes().clear();
        run([&](UiWindow d) {
            m->faults.silent = c.silent;
            io_test.selected = c.line;  // as if the line had been clicked
            requests.clear();
            headless::click(d, IDC_IOT_SET);
            EXPECT_EQ(distinct_requests().size(), 1u);  // no state read after a failure
            m->faults.silent = false;
        });
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, c.text);
        EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK | UI_ICON_WARNING);
    }

    // Reading a channel that fails: the message once, the lines as they were.
    headless::boxes().clear();
    run([&](UiWindow d) {
        m->faults.wrong_lead = true;
        headless::click(d, IDC_IOT_CH0);
        EXPECT_EQ(list(d).size(), 0u);
        m->faults.wrong_lead = false;
    });
    ASSERT_EQ(headless::boxes().size(), 2u);  // the ID read and the state read
    EXPECT_EQ(headless::boxes()[0].text, "模块未应答，请重试一次!");
    EXPECT_EQ(io_test.lines[3], std::string("03(--)->28 6A 1F 5B 03 00 00 C4 "));
}

TEST_F(IoTestDialog, ACountByteBeyondAChannelIsBounded)
{
    for (int i = 0; i < 64; ++i) m->channels[1].digital.push_back(sim::make_itu(4, static_cast<uint8_t>(i), 0, 0));
    open();
    module_table.module[0].itu_count_b[1] = 200;  // more than a channel can hold
    run([&](UiWindow d) {
        headless::click(d, IDC_IOT_CH0 + 1);
        ASSERT_EQ(list(d).size(), 64u);
        EXPECT_EQ(list(d)[63], "63(--)->04 3F 00 00 00 00 00 00 --0/0");
    });
    EXPECT_TRUE(headless::boxes().empty());
}

}  // namespace
