// ITU output dialog on virtual time: boxes by ITU kind, the byte sent in /AAcNNhh and what
// the ITU then holds, the empty channel, silence and refusal, the echo put back, and the
// dialog opened from the data display's double click.
#include "display/data_display.h"
#include "maintenance/itu_output.h"
#include "tests/maintenance/found_modules.h"

namespace {

class ItuOutputDialog : public FoundModules {
protected:
    sim::Module *m = nullptr;

    void SetUp() override
    {
        FoundModules::SetUp();
        data_display_reset();
        data_display_hooks = DataDisplayHooks{};
        m = &add_module(0x06, 4560);
        // Channel 1: an 8-output ITU at address 49 and a 4-in/4-out ITU at address 16.
        m->channels[1].units = {sim::make_itu(1, 0x51, 0x13, 21.5), sim::make_itu(5, 0x31, 0, 0),
                                sim::make_itu(6, 0x10, 0, 0)};
    }

    // What the data display leaves for a double click on line i of channel c.
    static void clicked(int c, int i, uint8_t type, uint8_t state)
    {
        channel_kind.current_channel = c;
        ItuTypeTable[c][i] = type;
        data_display.clicked_type = type;
        data_display.clicked_index = static_cast<uint8_t>(i);
        ItuStateByte[i] = state;
    }

    void run(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_ITU_OUTPUT, std::move(session));
        ui_dialog_run(window, IDD_ITU_OUTPUT, &itu_output_handlers);
    }

    static void check_boxes(UiWindow d, uint8_t bits) { check_bits(d, IDC_ITUO_BIT0, bits); }
    static int shown(UiWindow d) { return bits_of(d, IDC_ITUO_BIT0, &headless::Control::shown); }
    static int checked(UiWindow d) { return bits_of(d, IDC_ITUO_BIT0, &headless::Control::checked); }
};

TEST_F(ItuOutputDialog, BoxesFollowTheKindAndTheStoredByte)
{
    open();
    clicked(1, 1, 5, 0xA5);
    run([&](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_ITUO_VALUE).text, "A5");
        EXPECT_EQ(shown(d), 0xFF);
        EXPECT_EQ(checked(d), 0xA5);  // a checked box is a 1 bit
        EXPECT_EQ(win(d).focus, IDC_ITUO_EXIT);
    });
    clicked(1, 2, 6, 0xA5);
    run([&](UiWindow d) {
        EXPECT_EQ(shown(d), 0x0F);
        EXPECT_EQ(checked(d), 0x05);  // the hidden boxes stay unchecked
    });
    EXPECT_TRUE(requests.empty());
}

TEST_F(ItuOutputDialog, SetSendsTheBoxesToTheItuByItsAddress)
{
    for (int echo : {0, 1}) {
        SCOPED_TRACE(echo);
        SetUp();
        open(echo);
        clicked(1, 1, 5, 0x00);
        run([&](UiWindow d) {
            check_boxes(d, 0x5A);
            headless::click(d, IDC_ITUO_SET);
            EXPECT_EQ(win(d).ctl(IDC_ITUO_VALUE).text, "5A");
            EXPECT_EQ(checked(d), 0x5A);
        });
        clicked(1, 2, 6, 0x00);
        run([&](UiWindow d) {
            check_boxes(d, 0xFF);  // the four hidden boxes count for nothing
            headless::click(d, IDC_ITUO_SET);
        });
        EXPECT_EQ(requests, (std::vector<std::string>{"/061495A", "/061160F"}));
        EXPECT_EQ(m->channels[1].units[1].outputs, 0x5A);
        EXPECT_EQ(m->channels[1].units[2].outputs, 0x0F);
        EXPECT_EQ(ItuStateByte[1], 0x5A);
        EXPECT_EQ(ItuStateByte[2], 0x0F);
        EXPECT_TRUE(headless::boxes().empty());
        // The next 5-byte request skips exactly its own echo.
        EXPECT_EQ(link_state.echo_len, echo ? 5 : 0);
        EXPECT_EQ(read_module_parameters(0), 0);
    }
}

TEST_F(ItuOutputDialog, FailuresKeepTheChosenBoxesAndShowTheMessage)
{
    open();
    struct Case { const char *name; std::function<void()> fault; std::vector<std::string> texts; int sent; };
    const Case cases[] = {
        {"empty channel", [] { module_table.module[0].itu_count[1] = 0; },
         {"无传感器!", "输出失败,请重试一次!"}, 0},
        {"silent module", [this] { m->faults.silent = true; }, {"输出失败,请重试一次!"}, 1},
        {"refused", [this] { m->faults.wrong_lead = true; }, {"输出失败,请重试一次!"}, 1},
        {"unknown address", [] { module_table.module[0].sort_no[1][1] = 77; }, {"输出失败,请重试一次!"}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m->faults = sim::Faults{};
        find_modules(bus, 0, requests);
        c.fault();
        headless::boxes().clear();
        clicked(1, 1, 5, 0x00);
        run([&](UiWindow d) {
            check_boxes(d, 0x81);
            headless::click(d, IDC_ITUO_SET);
            EXPECT_EQ(win(d).ctl(IDC_ITUO_VALUE).text, "81");
            EXPECT_EQ(checked(d), 0x81);
        });
        std::vector<std::string> texts;
        for (const auto &b : headless::boxes()) {
            texts.push_back(b.text);
            EXPECT_EQ(b.caption, "系统提示");
            EXPECT_EQ(b.flags, UI_MB_OK);
        }
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(static_cast<int>(distinct_requests().size()), c.sent);
        EXPECT_EQ(link_state.echo_len, 0);
    }
}

TEST_F(ItuOutputDialog, OpensFromTheDataDisplayDoubleClick)
{
    data_display_hooks.itu_output = &itu_output_handlers;
    main_window_features.data_display = &data_display_handlers;
    m->channels[1].units[1].outputs = 0x3C;
    open();
    headless::on_dialog(IDD_ITU_OUTPUT, [](UiWindow d) {
        EXPECT_EQ(win(d).ctl(IDC_ITUO_VALUE).text, "3C");
        check_boxes(d, 0xC3);
        headless::click(d, IDC_ITUO_SET);
    });
    headless::on_dialog(IDD_DATA_DISPLAY, [](UiWindow d) {
        headless::click(d, IDC_DD_CH0 + 1);
        win(d).ctl(IDC_DD_ID_LIST).sel = 1;
        win(d).handlers->on_command(d, IDC_DD_ID_LIST, UI_DBLCLK);
    });
    main_window_on_command(window, IDM_DATA);
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_DATA_DISPLAY, IDD_ITU_OUTPUT}));
    EXPECT_EQ(count_requests("/06149C3"), 1);
    EXPECT_EQ(m->channels[1].units[1].outputs, 0xC3);
    EXPECT_EQ(ItuStateByte[1], 0xC3);  // read back by the data display's readout after it
}

}  // namespace
