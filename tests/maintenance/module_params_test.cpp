// Module parameters dialog on virtual time: what it shows per module kind, the address and
// baud write and what the bus answers afterwards, refusals and silence, and the alarm view.
#include "display/search.h"
#include "netsetup/converter_proto.h"
#include "maintenance/module_params.h"
#include "tests/maintenance/found_modules.h"

namespace {

class ModuleParams : public FoundModules {
protected:
    void SetUp() override
    {
        FoundModules::SetUp();
        main_window_features.module_params = &module_params_handlers;
    }

    // Opens dialog 1011 from the menu with `session` driving it; returns its record.
    headless::Window &run_params(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_MODULE_PARAMS, std::move(session));
        main_window_on_command(window, IDM_PARAMS);
        for (UiWindow w = headless::last_dialog(); w; w = win(w).owner)
            if (win(w).resource_id == IDD_MODULE_PARAMS) return win(w);
        throw std::runtime_error("dialog 1011 did not run");
    }

    // Types the address, picks the baud and confirms, answering the question with `answer`.
    static std::function<void(UiWindow)> write(const std::string &address, int baud_index, int answer = UI_ID_YES)
    {
        return [=](UiWindow d) {
            headless::type_text(d, IDC_MP_ADDRESS, address);
            headless::select_combo(d, IDC_MP_BAUD, baud_index);
            headless::answer_next(answer);
            headless::click(d, IDC_MP_CONFIRM);
        };
    }
};

TEST_F(ModuleParams, ShowsTheFieldsLampsAndCountsOfEachModuleKind)
{
    struct Row {
        int model, type_code;
        const char *firmware;
        int mode;
        uint8_t state, state2, mask_a, mask_b;
        std::vector<bool> lamps, kinds;
        std::vector<std::string> counts;
        const char *total;
        bool row2, more, storage;
    };
    const std::vector<bool> none(8, false), all(8, true);
    const Row rows[] = {
        {4560, 0x40, "V1.00", 0, 0x05, 0, 0, 0, {1, 0, 1, 0, 0, 0, 0, 0}, none,
         {" 3", " 0", "12", " 0", " 0", " 0", " 0", " 0"}, " 15", false, true, false},
        // Second generation 4101: the second mask and counts.
        {4101, 0x80, "V2.10", 1, 0x01, 0x82, 0, 0, {0, 1, 0, 0, 0, 0, 0, 1}, none,
         {" 4", " 0", " 0", " 0", " 0", " 0", " 0", " 9"}, " 15", false, true, true},
        {4103, 0x80, "V1.00", 238, 0xFF, 0, 0, 0, all, none,
         {" 3", "12", " 0", " 0", " 0", " 0", " 0", " 0"}, " 15", false, true, false},
        {4500, 0x40, "V1.00", 238, 0xFF, 0, 0, 0, none, none,
         {"03", "0C", "", "", "", "", "", ""}, "", false, false, false},
        {4562, 0x40, "V1.00", 1, 0xFF, 0, 0x0C, 0x30, {0, 0, 1, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 1, 1, 0, 0},
         {" 3", "12", " 0", " 0", " 0", " 0", " 0", " 0"}, " 15", false, true, false},
        {4501, 0x40, "V1.00", 0, 0x03, 0, 0, 0, {1, 1, 0, 0, 0, 0, 0, 0}, none,
         {" 3", "12", " 0", " 0", " 0", " 0", " 0", " 0"}, " 15", true, true, false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.model);
        SetUp();
        module_table.ready = 1;
        module_table.count = 1;
        Module &m = module_table.module[0];
        m = Module{};
        m.address = 0x3A;
        snprintf(m.name, sizeof m.name, "VOK%d", r.model);
        snprintf(m.firmware, sizeof m.firmware, "%s", r.firmware);
        m.model = r.model;
        m.type_code = r.type_code;
        m.data_format = 0x1C;
        m.mode = static_cast<uint8_t>(r.mode);
        m.fault_state = 0x80;
        m.chan_state = r.state;
        m.chan_state2 = r.state2;
        m.chan_mask_a = r.mask_a;
        m.chan_mask_b = r.mask_b;
        m.itu_count[0] = 3, m.itu_count[1] = 12, m.itu_total = 15;
        if (r.model == 4560) m.itu_count[1] = 0, m.itu_count[2] = 12;
        m.itu_count2[0] = 4, m.itu_count2[7] = 9;
        m.itu_count_b[1] = 7, m.itu_total_b = 7;
        link_settings.baud_index = 3;

        auto &d = run_params(nullptr);
        EXPECT_TRUE(headless::boxes().empty());  // fault state 0x80: nothing to advise
        EXPECT_EQ(d.ctl(IDC_MP_NAME).text, m.name);
        EXPECT_EQ(d.ctl(IDC_MP_TYPE).text, r.type_code == 0x80 ? "80" : "40");
        EXPECT_EQ(d.ctl(IDC_MP_FORMAT).text, "1C");
        EXPECT_EQ(d.ctl(IDC_MP_VERSION).text, r.firmware);
        EXPECT_EQ(d.ctl(IDC_MP_ADDRESS).text, "3A");
        EXPECT_EQ(d.ctl(IDC_MP_MODE).text, r.mode == 238 ? "正常模式" : r.mode == 1 ? "存储模式" : "搜索模式");
        EXPECT_EQ(d.ctl(IDC_MP_BAUD).items, (std::vector<std::string>{" 2400", " 4800", " 9600", "19200", "38400"}));
        EXPECT_EQ(d.ctl(IDC_MP_BAUD).sel, 3);
        for (int n = 0; n < 8; ++n) {
            EXPECT_EQ(d.ctl(IDC_MP_LAMP0 + n).shown, r.lamps[n]) << "lamp " << n;
            EXPECT_EQ(d.ctl(IDC_MP_KIND0 + n).shown, r.kinds[n]) << "kind " << n;
            EXPECT_EQ(d.ctl(IDC_MP_COUNT0 + n).text, r.counts[n]) << "count " << n;
            EXPECT_FALSE(d.ctl(IDC_MP_ERROR_LAMP0 + n).shown);
            EXPECT_FALSE(d.ctl(IDC_MP_WARN_LAMP0 + n).shown);
            EXPECT_EQ(d.ctl(IDC_MP_COUNT2_0 + n).shown, r.row2);
        }
        EXPECT_EQ(d.ctl(IDC_MP_TOTAL).text, r.total);
        EXPECT_EQ(d.ctl(IDC_MP_FAULT_CODE).text, "None");
        EXPECT_EQ(d.ctl(IDC_MP_FAULT_CHANNELS).text, "None");
        EXPECT_EQ(d.ctl(IDC_MP_ROW2_LABEL).shown, r.row2);
        EXPECT_EQ(d.ctl(IDC_MP_ROW2_LABEL).text, r.row2 ? "  DIO数量:" : "  ITU数量:");
        if (r.row2) {
            EXPECT_EQ(d.ctl(IDC_MP_COUNT2_0 + 1).text, " 7");
            EXPECT_EQ(d.ctl(IDC_MP_TOTAL2).text, "  7");
        }
        EXPECT_EQ(d.ctl(IDC_MP_MORE).shown, r.more);
        EXPECT_EQ(d.ctl(IDC_MP_STORAGE).shown, r.storage);
        EXPECT_EQ(d.focus, IDC_MP_CONFIRM);
    }
}

TEST_F(ModuleParams, FaultLampsFollowTheChannelMasksAfterTheAdvice)
{
    module_table.ready = 1;
    module_table.count = 1;
    Module &m = module_table.module[0];
    m.model = 4560;
    m.fault_state = 0x12;
    m.chan_error = 0x81;
    m.chan_warning = 0x04;
    auto &d = run_params(nullptr);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, fault_advice_text(0x12, 0x81, 0x04));
    EXPECT_EQ(headless::boxes()[0].caption, "系统提示");
    EXPECT_EQ(d.ctl(IDC_MP_FAULT_CODE).text, "12");
    EXPECT_EQ(d.ctl(IDC_MP_FAULT_CHANNELS).text, "81-04");
    for (int n = 0; n < 8; ++n) {
        EXPECT_EQ(d.ctl(IDC_MP_ERROR_LAMP0 + n).shown, n == 0 || n == 7);
        EXPECT_EQ(d.ctl(IDC_MP_WARN_LAMP0 + n).shown, n == 2);
    }
}

TEST_F(ModuleParams, ConfirmWithoutChangesClosesWithNoQuestionAndNoTraffic)
{
    add_module(0x01, 4560);
    open_serial(0, 2);
    search();
    requests.clear();
    auto &d = run_params([](UiWindow d) { headless::click(d, IDC_MP_CONFIRM); });
    EXPECT_TRUE(d.ended);
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(win(window).posted.empty());
    port_close();
}

TEST_F(ModuleParams, AddressWriteThroughAnEchoingConverterIsFoundAtItsNewAddress)
{
    sim::Module &sm = add_module(0x01, 4560);
    sm.format = 0x1C;
    sm.channels[0].units = {sim::make_itu(1, 1, 2, 21.5)};
    conv->echo = true;
    open_serial(0, 2);
    probe_echo();
    search();
    requests.clear();
    module_table.stale = 0;

    auto &d = run_params(write("5B", 2));
    EXPECT_TRUE(d.ended);
    EXPECT_EQ(distinct_requests(), std::vector<std::string>{"%015B40061C"});
    EXPECT_EQ(box_texts(), (std::vector<std::string>{"是否修改模块配置?", "设定成功,须重新查找模块地址!"}));
    EXPECT_EQ(headless::boxes()[0].flags, UI_MB_YESNO | UI_ICON_WARNING);
    EXPECT_EQ(link_state.echo_len, 5);  // back to the short requests' echo
    EXPECT_EQ(module_table.stale, 1);
    ASSERT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});

    search();
    ASSERT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.module[0].address, 0x5B);
    EXPECT_EQ(module_table.module[0].data_format, 0x1C);
    EXPECT_EQ(module_table.module[0].itu_total, 1);
    port_close();
}

TEST_F(ModuleParams, BaudChangeOnASerialConverterReopensThePortBeforeTheSearch)
{
    // Every converter on the COM port except the one with its own speed setting passes the
    // host's line speed on to the bus, radio and user-wait converters included.
    const struct {
        int type;
        sim::ConverterKind kind;
        int model;
    } rows[] = {
        {CONVERTER_232, sim::ConverterKind::Rs232, 4420},   {CONVERTER_USB, sim::ConverterKind::Usb, 4440},
        {CONVERTER_PLM, sim::ConverterKind::PowerLine, 4430}, {CONVERTER_RF_NORM, sim::ConverterKind::Radio, 4491},
        {CONVERTER_RF_SLOW, sim::ConverterKind::RadioSlow, 4492}, {CONVERTER_S_WAIT, sim::ConverterKind::UserWait, 4400},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.type);
        SetUp();
        add_module(0x07, 4560);
        open_serial(r.type, 2, r.kind);
        search();
        ASSERT_EQ(module_table.count, 1);
        requests.clear();
        fake::clear_serial_log("COM1");
        fake::clear_net_log();
        module_table.stale = 0;
        run_params(write("07", 4));
        EXPECT_EQ(distinct_requests(), std::vector<std::string>{"%0707400800"});
        EXPECT_EQ(box_texts().back(), "设定成功,须按新波特率重新查找模块!");
        EXPECT_TRUE(fake::net_log().empty());  // no network converter is touched
        EXPECT_EQ(link_settings.baud_index, 4);
        EXPECT_EQ(link_state.open, 1);
        int set_line = 0;
        for (const auto &e : fake::serial_log("COM1"))
            if (e.kind == fake::SerialEvent::SetLine) set_line = e.value;
        EXPECT_EQ(set_line, 38400);
        EXPECT_EQ(win(window).title, std::string(AppTitle) + "  COM1,Baud38400 [VOK" + std::to_string(r.model) + "]");
        EXPECT_EQ(module_table.stale, 1);
        ASSERT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
        search();
        ASSERT_EQ(module_table.count, 1);
        EXPECT_EQ(module_table.module[0].address, 0x07);
        port_close();
    }
}

TEST_F(ModuleParams, PortThatCannotBeReopenedAfterABaudChangeIsReportedWithoutASearch)
{
    add_module(0x07, 4560);
    open_serial(0, 2);
    search();
    module_table.stale = 0;
    fake::fail_next(fake::Fail::Open);
    auto &d = run_params(write("07", 4));
    EXPECT_TRUE(d.ended);
    ASSERT_EQ(headless::boxes().size(), 3u);
    EXPECT_EQ(headless::boxes()[2].text, "端口不存在或出现错误或正在使用，请重新设置!");
    EXPECT_EQ(headless::boxes()[2].caption, "错误提示");
    EXPECT_EQ(headless::boxes()[2].owner, window);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(link_settings.baud_index, 4);
    EXPECT_EQ(module_table.stale, 1);  // the module has moved all the same
    EXPECT_TRUE(win(window).posted.empty());
    EXPECT_FALSE(win(window).menu_enabled[IDM_SEARCH]);
}

TEST_F(ModuleParams, ConverterWithItsOwnSpeedGetsTheNoteAndNoSearch)
{
    add_module(0x07, 4560);
    open_serial(2, 2);
    search();
    run_params(write("08", 2));
    ASSERT_EQ(headless::boxes().size(), 3u);
    EXPECT_EQ(headless::boxes()[2].owner, window);
    EXPECT_EQ(headless::boxes()[2].text,
              "注意: VOK3900模块波特率已经改变,\r\n VOK445X-com本身的波特率设置也需要改变,\r\n"
              " 请运行VOK4450相关软件进行修改,然后再进行测试!\r\n");
    EXPECT_TRUE(win(window).posted.empty());
    EXPECT_EQ(bus.modules[0].address, 0x08);
    port_close();
}

TEST_F(ModuleParams, RefusalSilenceDeclineAndBadAddressKeepTheDialogOpen)
{
    sim::Module &sm = add_module(0x07, 4560);
    open_serial(0, 2);
    search();
    const struct {
        const char *address;
        int answer;
        bool silent, refused;
        std::vector<std::string> texts;
        size_t frames;
    } rows[] = {
        {"10", UI_ID_NO, false, false, {"是否修改模块配置?"}, 0},
        {"1G", UI_ID_YES, false, false, {"模块地址须为两位十六进制数(00-FF)!"}, 0},
        {"1", UI_ID_YES, false, false, {"模块地址须为两位十六进制数(00-FF)!"}, 0},
        {"10", UI_ID_YES, true, false, {"是否修改模块配置?", "模块忙，请重试一次!"}, 1},
        {"10", UI_ID_YES, false, true, {"是否修改模块配置?", "通讯接收数据错误!"}, 1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.address + std::string(r.silent ? " silent" : r.refused ? " refused" : ""));
        headless::boxes().clear();
        requests.clear();
        module_table.stale = 1;
        sm.faults.silent = r.silent;
        sm.faults.refuse_writes = r.refused;
        bool open_after = false;
        run_params([&](UiWindow d) {
            write(r.address, 2, r.answer)(d);
            open_after = !win(d).ended;
        });
        EXPECT_TRUE(open_after);
        EXPECT_EQ(box_texts(), r.texts);
        EXPECT_EQ(distinct_requests().size(), r.frames);
        EXPECT_EQ(module_table.stale, 0);
        EXPECT_EQ(module_table.module[0].address, 0x07);
        EXPECT_TRUE(win(window).posted.empty());
    }
    EXPECT_EQ(sm.address, 0x07);
    port_close();
}

TEST_F(ModuleParams, AlarmThresholdsShowSignedValuesAndBitReversedMasks)
{
    module_table.ready = 1;
    module_table.count = 1;
    alarm_settings = AlarmSettings{60, -5, 2, 85, 20, 5, {0x01, 0xF0, 0x00, 0xFF}, {0x03, 0x80}};
    for (int model : {4103, 4101}) {
        SCOPED_TRACE(model);
        module_table.module[0].model = model;
        headless::on_dialog(IDD_ALARM_SETTINGS, nullptr);
        run_params([](UiWindow d) { headless::click(d, IDC_MP_MORE); });
        auto &a = win(headless::last_dialog());
        ASSERT_EQ(a.resource_id, IDD_ALARM_SETTINGS);
        EXPECT_EQ(a.ctl(IDC_AL_TEMP_HIGH).text, "+60");
        EXPECT_EQ(a.ctl(IDC_AL_TEMP_LOW).text, "-05");
        EXPECT_EQ(a.ctl(IDC_AL_TEMP_HYST).text, "  2");
        const char *temp[] = {" 80", " 0F", " 00", " FF"};
        for (int k = 0; k < 4; ++k) EXPECT_EQ(a.ctl(IDC_AL_TEMP_ENABLE0 + k).text, temp[k]);
        const bool hum = model == 4103;
        EXPECT_EQ(a.ctl(IDC_AL_HUM_HIGH).text, hum ? " 85" : "----");
        EXPECT_EQ(a.ctl(IDC_AL_HUM_HYST).text, hum ? "  5" : "----");
        EXPECT_EQ(a.ctl(IDC_AL_HUM_ENABLE0).text, hum ? " C0" : "----");
        EXPECT_EQ(a.ctl(IDC_AL_HUM_ENABLE0 + 1).text, hum ? " 01" : "----");
    }
}

// A network converter on 10.1.1.50 found by a discovery and chosen in the list, carrying the
// bus at the speed of baud_index; the link is open to it.
void open_discovered_converter(sim::NetConverter &conv, int baud_index)
{
    fake::set_interfaces({sim::ip4(127, 0, 0, 1), sim::ip4(10, 1, 1, 5)},
                         {sim::ip4(255, 0, 0, 0), sim::ip4(255, 255, 255, 0)});
    conv.config.ip = sim::ip4(10, 1, 1, 50);
    conv.config.mask = sim::ip4(255, 255, 255, 0);
    conv.config.tcp_port = 10001;
    conv.line_baud = static_cast<uint32_t>(BaudTable[baud_index]);
    fake::attach_udp(&conv);
    fake::attach_tcp(sim::ip4(10, 1, 1, 50), 10001, &conv);
    converter_list = ConverterList{};
    ASSERT_EQ(udp_open(), 0);
    ASSERT_EQ(local_if_query(), 0);
    ASSERT_EQ(converter_discover(), 0);
    ASSERT_EQ(converter_read_configs(), 0);
    udp_close();
    converter_list.selected = 0;
    link_settings.converter_type = CONVERTER_NET;
    link_settings.baud_index = baud_index;
    snprintf(net_state.host_text, sizeof net_state.host_text, "10.1.1.50");
    net_state.port_entered = 10001;
    ASSERT_EQ(net_open(), 0);
}

TEST_F(ModuleParams, BaudChangeBehindTheNetworkConverterMovesTheConverterToo)
{
    add_module(0x07, 4560).baud_code = 6;
    open_discovered_converter(*netconv, 2);
    search();
    ASSERT_EQ(module_table.count, 1);
    fake::clear_sleep_log();
    fake::clear_net_log();
    run_params(write("07", 3));
    EXPECT_EQ(distinct_requests().back(), "%0707400700");
    std::vector<uint8_t> write;
    for (const auto &e : fake::net_log())
        if (e.kind == fake::NetEvent::SendTo) write = e.bytes;
    ASSERT_EQ(write.size(), 124u);
    EXPECT_EQ(write[3], 0xFA);
    EXPECT_EQ(write[21], 1);  // speed code of 19200
    EXPECT_EQ(converter_list.baud_code[0], 1);
    EXPECT_EQ(box_texts(), (std::vector<std::string>{"是否修改模块配置?", "设定成功,须按新波特率重新查找模块!",
                                                     "VOK445X波特率修改完毕!\r\n需等待8-10秒后,才可按新波特率工作."}));
    EXPECT_EQ(fake::sleep_log().back(), 9000);
    EXPECT_EQ(net_state.udp, SOCK_INVALID);
    EXPECT_EQ(link_state.open, 1);
    EXPECT_EQ(link_settings.baud_index, 3);
    EXPECT_EQ(link_settings.net_baud_index, 3);
    EXPECT_EQ(link_settings.net_ip, sim::ip4(10, 1, 1, 50));
    EXPECT_STREQ(net_state.ip_text, "10.1.1.50");
    EXPECT_STREQ(net_state.host_text, "10.1.1.50");
    EXPECT_EQ(module_table.stale, 1);
    EXPECT_FALSE(headless::cursor_is_wait());
    ASSERT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
    search();
    EXPECT_EQ(netconv->line_baud, 19200u);
    ASSERT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.module[0].address, 0x07);
}

TEST_F(ModuleParams, AddressChangeBehindTheNetworkConverterSearchesWithoutTouchingTheConverter)
{
    add_module(0x07, 4560);
    open_discovered_converter(*netconv, 2);
    search();
    module_table.stale = 0;
    fake::clear_sleep_log();
    fake::clear_net_log();
    run_params(write("5B", 2));
    EXPECT_EQ(distinct_requests().back(), "%075B400600");
    for (const auto &e : fake::net_log()) EXPECT_NE(e.kind, fake::NetEvent::SendTo);
    EXPECT_TRUE(fake::sleep_log().empty() || fake::sleep_log().back() != 9000);
    EXPECT_EQ(link_state.open, 1);
    EXPECT_EQ(module_table.stale, 1);
    ASSERT_EQ(win(window).posted, std::deque<int>{IDM_SEARCH});
    search();
    ASSERT_EQ(module_table.count, 1);
    EXPECT_EQ(module_table.module[0].address, 0x5B);
}

TEST_F(ModuleParams, NetworkConverterFailuresAreReportedOnce)
{
    const struct {
        const char *text;
        bool stays_open;
        std::function<void()> fault;
    } rows[] = {
        {"网络操作出现错误! 请重新设置!", false, [] { fake::fail_next(fake::Fail::SockStartup); }},
        // The converter has moved away since the discovery: no acknowledge.
        {"波特率修改出现错误! 请重新设置!", false, [] { converter_list.ip[0] = 0x0A01013C; }},
        {"端口不存在或出现错误，请检查网络设置!", true, [] { fake::fail_next(fake::Fail::Connect); }},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        SetUp();
        add_module(0x07, 4560);
        open_discovered_converter(*netconv, 2);
        search();
        r.fault();
        bool open_after = false;
        run_params([&](UiWindow d) {
            write("07", 0)(d);
            open_after = !win(d).ended;
        });
        EXPECT_EQ(open_after, r.stays_open);
        ASSERT_EQ(headless::boxes().size(), r.stays_open ? 4u : 3u);
        EXPECT_EQ(headless::boxes().back().text, r.text);
        EXPECT_EQ(headless::boxes().back().caption, "错误提示");
        EXPECT_EQ(link_state.open, 0);
        EXPECT_EQ(net_state.udp, SOCK_INVALID);
        EXPECT_TRUE(win(window).posted.empty());
        EXPECT_FALSE(win(window).menu_enabled[IDM_SEARCH]);
        EXPECT_FALSE(headless::cursor_is_wait());
    }
}

}  // namespace
