// Communication settings dialog on the headless backend: control states, the reply-wait
// range, and the open and close buttons for every converter type.
#include "netsetup/comm_settings.h"
#include "tests/ui/ui_fixture.h"

namespace {

using CommSettings = UiFixture;

// The dialog's own discovery pieces, put back after a case replaced them.
const CommSettingsFeatures saved_features = comm_settings_features;

// Runs dialog 1008 from the main window's command; returns the dialog's record.
headless::Window &run_comm(UiWindow w, std::function<void(UiWindow)> session)
{
    headless::on_dialog(IDD_COMM_SETTINGS, std::move(session));
    main_window_on_command(w, IDM_COMM);
    return headless::window(headless::last_dialog());
}

TEST_F(CommSettings, InitShowsTheStoredSettings)
{
    link_settings.com_port = 3;
    link_settings.baud_index = 4;
    link_settings.converter_type = 2;
    link_settings.net_port = 10005;
    link_settings.net_baud_index = 7;  // from a hand-edited file
    snprintf(net_state.ip_text, sizeof net_state.ip_text, "10.1.2.3");
    auto &d = run_comm(window, nullptr);
    EXPECT_TRUE(d.ctl(1257).checked);
    EXPECT_FALSE(d.ctl(1255).checked);
    EXPECT_TRUE(d.ctl(1267).checked);
    EXPECT_EQ(d.ctl(IDC_NET_BAUD).text, "OUT!");
    EXPECT_EQ(d.ctl(IDC_NET_IP).text, "10.1.2.3");
    EXPECT_EQ(d.ctl(IDC_NET_PORT).text, "10005");
    auto &list = d.ctl(IDC_CONVERTER_LIST);
    ASSERT_EQ(list.items.size(), 8u);
    EXPECT_EQ(list.items[4], "VOK4450(NET<->485)");
    EXPECT_EQ(list.items[7], "VOK44XX( S-WAIT... )");
    EXPECT_EQ(list.sel, 2);
    // Serial type, link closed: serial group on, network group off, no reply wait.
    EXPECT_TRUE(d.ctl(IDC_SERIAL_GROUP).enabled);
    EXPECT_TRUE(d.ctl(1262).enabled);
    EXPECT_FALSE(d.ctl(IDC_NET_IP).enabled);
    EXPECT_FALSE(d.ctl(IDC_NET_SEARCH).enabled);
    EXPECT_FALSE(d.ctl(IDC_WAIT_EDIT).shown);
    EXPECT_EQ(d.result, IDC_COMM_EXIT);  // closed by its frame

    link_settings.net_baud_index = 3;
    auto &d2 = run_comm(window, nullptr);
    EXPECT_EQ(d2.ctl(IDC_NET_BAUD).text, "19200");
}

TEST_F(CommSettings, ConverterChoiceTakesEffectAtOnceAndShowsTheReplyWaitForType7)
{
    auto &d = run_comm(window, [](UiWindow dlg) {
        headless::select_combo(dlg, IDC_CONVERTER_LIST, 7);
        auto &w = headless::window(dlg);
        EXPECT_TRUE(w.ctl(IDC_WAIT_EDIT).shown);
        EXPECT_TRUE(w.ctl(IDC_WAIT_LABEL).shown);
        EXPECT_TRUE(w.ctl(IDC_WAIT_MS).shown);
        headless::select_combo(dlg, IDC_CONVERTER_LIST, 4);
        EXPECT_FALSE(w.ctl(IDC_WAIT_EDIT).shown);
        EXPECT_TRUE(w.ctl(IDC_NET_IP).enabled);
        EXPECT_FALSE(w.ctl(IDC_SERIAL_GROUP).enabled);
        EXPECT_FALSE(w.ctl(1255).enabled);
        headless::click(dlg, IDC_COMM_EXIT);
    });
    EXPECT_EQ(d.result, IDC_COMM_EXIT);
    EXPECT_EQ(link_settings.converter_type, 4);  // kept although the dialog was left
}

TEST_F(CommSettings, ReplyWaitOutsideItsRangeIsClampedWithOneMessage)
{
    link_settings.converter_type = 7;
    run_comm(window, [](UiWindow dlg) {
        headless::type_text(dlg, IDC_WAIT_EDIT, "5");
        EXPECT_EQ(link_settings.reply_wait_ms, 10);
        EXPECT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::window(dlg).focus, IDC_WAIT_EDIT);
        EXPECT_EQ(headless::window(dlg).ctl(IDC_WAIT_EDIT).text, "5");  // text left as typed
        headless::type_text(dlg, IDC_WAIT_EDIT, "20000");
        EXPECT_EQ(link_settings.reply_wait_ms, 15000);
        headless::type_text(dlg, IDC_WAIT_EDIT, "15000");
        headless::type_text(dlg, IDC_WAIT_EDIT, "10");
        EXPECT_EQ(link_settings.reply_wait_ms, 10);
        // 65545 keeps its low 16 bits: 9, below the range.
        headless::type_text(dlg, IDC_WAIT_EDIT, "65545");
        EXPECT_EQ(link_settings.reply_wait_ms, 10);
    });
    ASSERT_EQ(headless::boxes().size(), 3u);
    for (const auto &b : headless::boxes()) {
        EXPECT_EQ(b.text, "应答等待时间设置范围为: 10 --> 15000 ms，请重新设置!");
        EXPECT_EQ(b.caption, "错误提示");
        EXPECT_EQ(b.flags, UI_MB_OK | UI_ICON_WARNING);
    }
}

TEST_F(CommSettings, OpenButtonRefusesAReplyWaitOutsideItsRange)
{
    link_settings.converter_type = 7;
    conv->set_kind(sim::ConverterKind::UserWait);
    auto &d = run_comm(window, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        EXPECT_TRUE(w.ctl(IDC_WAIT_EDIT).enabled);  // link closed: the wait may be edited
        EXPECT_EQ(w.ctl(IDC_WAIT_EDIT).text, "50");
        headless::type_text(dlg, IDC_WAIT_EDIT, "16000");
        w.focus = 0;
        headless::click(dlg, IDC_COMM_OPEN);
        EXPECT_FALSE(w.ended);
        EXPECT_EQ(w.focus, IDC_WAIT_EDIT);
        EXPECT_EQ(link_state.open, 0);
        EXPECT_EQ(link_settings.reply_wait_ms, 15000);  // what is saved stays in range
        headless::type_text(dlg, IDC_WAIT_EDIT, "120");
        headless::click(dlg, IDC_COMM_OPEN);
    });
    ASSERT_EQ(headless::boxes().size(), 2u);  // once as typed, once on open
    EXPECT_EQ(headless::boxes()[1].text, "应答等待时间设置范围为: 10 --> 15000 ms，请重新设置!");
    EXPECT_EQ(d.result, IDC_COMM_OPEN);
    EXPECT_EQ(link_state.open, 1);
    EXPECT_EQ(link_settings.reply_wait_ms, 120);

    // With the link open the wait is shown but locked.
    run_comm(window, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        EXPECT_TRUE(w.ctl(IDC_WAIT_EDIT).shown);
        EXPECT_FALSE(w.ctl(IDC_WAIT_EDIT).enabled);
        EXPECT_FALSE(w.ctl(IDC_WAIT_LABEL).enabled);
        EXPECT_FALSE(w.ctl(IDC_SERIAL_GROUP).enabled);
        EXPECT_FALSE(w.ctl(IDC_NET_SEARCH).enabled);
    });
    port_close();
}

TEST_F(CommSettings, OpenButtonOpensEverySerialConverterAndStartsTheSearch)
{
    const struct {
        int type;
        sim::ConverterKind kind;
        const char *suffix;
    } rows[] = {
        {0, sim::ConverterKind::Rs232, "  COM1,Baud9600 [VOK4420]"},
        {1, sim::ConverterKind::Usb, "  COM1,Baud9600 [VOK4440]"},
        {2, sim::ConverterKind::Rs485, "  COM1,Baud9600 [VOK4450]"},
        {3, sim::ConverterKind::PowerLine, "  COM1,Baud9600 [VOK4430]"},
        {5, sim::ConverterKind::Radio, "  COM1,Baud9600 [VOK4491]"},
        {6, sim::ConverterKind::RadioSlow, "  COM1,Baud9600 [VOK4492]"},
        {7, sim::ConverterKind::UserWait, "  COM1,Baud9600 [VOK4400]"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.type);
        SetUp();
        conv->set_kind(row.kind);
        conv->echo = true;
        link_settings.converter_type = row.type;
        link_settings.com_port = 2;  // the radio button decides
        module_table.ready = 1;
        module_table.count = 4;
        module_table.scan_pos = 0x21;
        auto &d = run_comm(window, [](UiWindow dlg) {
            headless::window(dlg).ctl(1256).checked = false;
            headless::window(dlg).ctl(1255).checked = true;
            headless::click(dlg, IDC_COMM_OPEN);
        });
        EXPECT_EQ(d.result, IDC_COMM_OPEN);
        EXPECT_EQ(link_state.open, 1);
        EXPECT_EQ(link_settings.com_port, 1);
        EXPECT_EQ(link_state.echo_on, 1);  // the probe ran
        EXPECT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
        EXPECT_EQ(win(window).title, std::string(AppTitle) + row.suffix);
        EXPECT_TRUE(win(window).menu_enabled[IDM_SEARCH]);
        EXPECT_EQ(module_table.ready, 0);  // the main window forgets the old table
        EXPECT_EQ(module_table.count, 0);
        EXPECT_EQ(module_table.scan_pos, 0);
        EXPECT_TRUE(headless::boxes().empty());
        port_close();
    }
}

TEST_F(CommSettings, MissingPortIsReportedAndTheDialogStays)
{
    link_settings.converter_type = 0;
    module_table.ready = 1;
    auto &d = run_comm(window, [](UiWindow dlg) {
        for (int id = 1255; id <= 1262; ++id) headless::window(dlg).ctl(id).checked = id == 1262;
        headless::click(dlg, IDC_COMM_OPEN);
        EXPECT_FALSE(headless::window(dlg).ended);
    });
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "端口不存在或出现错误或正在使用，请重新设置!");
    EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
    EXPECT_EQ(d.result, IDC_COMM_EXIT);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(win(window).title, std::string(AppTitle));
    EXPECT_EQ(module_table.ready, 0);  // left with the link closed
}

TEST_F(CommSettings, NetworkConverterConnectsAndReportsTheAddress)
{
    attach_net(2, 10001);
    link_settings.converter_type = 4;
    auto &d = run_comm(window, [](UiWindow dlg) {
        headless::window(dlg).ctl(IDC_NET_IP).text = "127.0.0.1";
        headless::window(dlg).ctl(IDC_NET_PORT).text = "10001";
        headless::click(dlg, IDC_COMM_OPEN);
    });
    EXPECT_EQ(d.result, IDC_COMM_OPEN);
    EXPECT_EQ(link_state.open, 1);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "Domain Name/IP = 127.0.0.1 < 127.0.0.1 >  \r\n已连接, 按<确认>键继续! ");
    EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
    EXPECT_EQ(headless::boxes()[0].owner, window);
    EXPECT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
    EXPECT_EQ(win(window).title, std::string(AppTitle) + "  NET-RW,Baud9600 [VOK4450NET]");
    EXPECT_EQ(link_settings.net_port, 10001);
    EXPECT_FALSE(headless::cursor_is_wait());
    net_close();
}

TEST_F(CommSettings, NetworkFailureNamesTheHostAndKeepsTheDialog)
{
    link_settings.converter_type = 4;
    auto &d = run_comm(window, [](UiWindow dlg) {
        headless::window(dlg).ctl(IDC_NET_IP).text = "127.0.0.9";
        headless::window(dlg).ctl(IDC_NET_PORT).text = "10001";
        headless::click(dlg, IDC_COMM_OPEN);
        EXPECT_FALSE(headless::window(dlg).ended);
    });
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text,
              "Domain Name/IP = 127.0.0.9 < 127.0.0.9 >  \r\n端口不存在或出现错误，请检查网络设置!\r\n 或运行<搜索IP参数...>");
    EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
    EXPECT_EQ(d.result, IDC_COMM_EXIT);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_TRUE(win(window).posted.empty());
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST_F(CommSettings, ConverterSpeedMismatchAsksInsteadOfConnecting)
{
    attach_net(2, 10001);
    link_settings.converter_type = 4;
    link_settings.net_baud_index = 2;
    headless::answer_next(UI_ID_YES);
    static int asked_baud = -1;
    comm_settings_features.change_converter_speed = [](UiWindow, int b) { asked_baud = b; };
    run_comm(window, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id) w.ctl(id).checked = id == IDC_BAUD_2400 + 1;
        w.ctl(IDC_NET_IP).text = "127.0.0.1";
        w.ctl(IDC_NET_PORT).text = "10001";
        headless::click(dlg, IDC_COMM_OPEN);
        EXPECT_FALSE(w.ended);
    });
    comm_settings_features = saved_features;
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].flags, UI_MB_YESNO | UI_ICON_WARNING);
    EXPECT_EQ(headless::boxes()[0].text.rfind("VOK445X波特率与设定的3900模块波特率不同!", 0), 0u);
    EXPECT_EQ(asked_baud, 1);
    EXPECT_EQ(link_settings.baud_index, 1);
    EXPECT_EQ(link_state.open, 0);
    for (const auto &e : fake::net_log()) EXPECT_NE(e.kind, fake::NetEvent::Connect);
}

TEST_F(CommSettings, WithTheLinkOpenChoicesAreLockedAndOpenOnlyEnds)
{
    open_serial(0, 2);
    module_table.ready = 1;
    auto &d = run_comm(window, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        for (int id = 1255; id <= 1267; ++id) EXPECT_FALSE(w.ctl(id).enabled) << id;
        EXPECT_FALSE(w.ctl(IDC_CONVERTER_LIST).enabled);
        EXPECT_FALSE(w.ctl(IDC_NET_IP).enabled);
        headless::click(dlg, IDC_COMM_OPEN);
    });
    EXPECT_EQ(d.result, IDC_COMM_OPEN);
    EXPECT_TRUE(win(window).posted.empty());  // no new search
    EXPECT_EQ(module_table.ready, 0);
    EXPECT_EQ(link_state.open, 1);
    port_close();
}

TEST_F(CommSettings, CloseButtonClosesTheLinkAndUnlocksTheChoices)
{
    open_serial(0, 2);
    module_table.ready = 1;
    auto &d = run_comm(window, [](UiWindow dlg) {
        headless::click(dlg, IDC_COMM_CLOSE);
        auto &w = headless::window(dlg);
        EXPECT_FALSE(w.ended);
        EXPECT_TRUE(w.ctl(1255).enabled);
        EXPECT_TRUE(w.ctl(IDC_CONVERTER_LIST).enabled);
        headless::click(dlg, IDC_COMM_EXIT);
    });
    EXPECT_EQ(d.result, IDC_COMM_EXIT);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(win(window).title, std::string(AppTitle));
    EXPECT_EQ(module_table.ready, 0);  // the link is closed afterwards: table forgotten

    // The network link closes the same way.
    open_net(2);
    run_comm(window, [](UiWindow dlg) { headless::click(dlg, IDC_COMM_CLOSE); });
    EXPECT_EQ(link_state.open, 0);
}

TEST_F(CommSettings, DiscoveryButtonRunsTheConverterListAndShowsWhatItSet)
{
    static const UiDialogHandlers list = {
        [](UiWindow d) {
            // The converter list picks a converter: new address, port and bus speed.
            snprintf(net_state.ip_text, sizeof net_state.ip_text, "127.0.0.5");
            link_settings.net_port = 10009;
            link_settings.net_baud_index = 4;
            ui_end_dialog(d, 0);
        },
        nullptr, nullptr, nullptr};
    comm_settings_features.converter_list = &list;
    link_settings.converter_type = 4;
    run_comm(window, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id) w.ctl(id).checked = id == IDC_BAUD_38400;
        headless::click(dlg, IDC_NET_SEARCH);
        EXPECT_EQ(link_settings.baud_index, 4);  // taken from the radio buttons first
        EXPECT_EQ(w.ctl(IDC_NET_IP).text, "127.0.0.5");
        EXPECT_EQ(w.ctl(IDC_NET_PORT).text, "10009");
        EXPECT_EQ(w.ctl(IDC_NET_BAUD).text, "38400");
        EXPECT_FALSE(w.ended);
    });
    comm_settings_features = saved_features;
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_COMM_SETTINGS, IDD_CONVERTER_LIST}));
}

}  // namespace
