// Converter list and IP setting dialogs, and the communication settings' discovery button and
// converter speed change, on the headless ui and the fake net with simulated converters.
#include <memory>

#include "netsetup/comm_settings.h"
#include "netsetup/converter_list.h"
#include "netsetup/converter_proto.h"
#include "netsetup/ip_setting.h"
#include "tests/netsetup/net_converters.h"
#include "tests/ui/ui_fixture.h"

namespace {

using sim::ip4;

class NetDialogs : public UiFixture {
protected:
    std::vector<std::unique_ptr<sim::NetConverter>> convs;

    void SetUp() override
    {
        UiFixture::SetUp();
        converter_list = ConverterList{};
        local_if = LocalIf{};
        fake::set_interfaces({ip4(127, 0, 0, 1), ip4(10, 1, 1, 5), ip4(10, 2, 0, 5)},
                             {ip4(255, 0, 0, 0), ip4(255, 255, 255, 0), ip4(255, 255, 0, 0)});
    }

    sim::NetConverter &add_conv(uint32_t ip, uint8_t mac_tail, uint32_t wire = 0)
    {
        return add_net_converter(convs, bus, ip, mac_tail, wire);
    }

    // Dialog 168 from a window, with the session driving it; its record afterwards.
    headless::Window &run_list(std::function<void(UiWindow)> session)
    {
        headless::on_dialog(IDD_CONVERTER_LIST, std::move(session));
        ui_dialog_run(window, IDD_CONVERTER_LIST, &converter_list_handlers);
        return headless::window(headless::last_dialog());
    }

    std::vector<fake::NetEvent> sent()
    {
        std::vector<fake::NetEvent> out;
        for (const auto &e : fake::net_log())
            if (e.kind == fake::NetEvent::SendTo) out.push_back(e);
        return out;
    }
};

TEST_F(NetDialogs, ListShowsHostAddressesAndOneLinePerConverter)
{
    add_conv(ip4(10, 1, 1, 50), 0x01).config.tcp_port = 10001;
    sim::NetConverter &b = add_conv(0, 0xAB, ip4(10, 1, 1, 5));
    b.config.dhcp_ip = ip4(10, 1, 1, 7);
    b.config.tcp_port = 502;
    b.line_baud = 38400;
    sim::NetConverter &c = add_conv(ip4(172, 16, 3, 9), 0x0C, ip4(10, 2, 0, 5));
    c.speed_code = 7;
    c.config.tcp_port = 65535;
    auto &d = run_list([](UiWindow) {});
    EXPECT_EQ(d.ctl(IDC_CL_HOST_IP).text, "10.1.1.5--10.2.0.5--");
    EXPECT_EQ(d.ctl(IDC_CL_HOST_MASK).text, "255.255.255.0--255.255.0.0--");
    const std::vector<std::string> want{
        " 0-10.1.1.50<10.1.1.5>   -10001- 9600 <00204A-102001>",
        " 1-10.1.1.7<10.1.1.5> D-  502-38400 <00204A-1020AB>",
        " 2-172.16.3.9<10.2.0.5>   -65535- OUT <00204A-10200C>",
    };
    EXPECT_EQ(d.ctl(IDC_CL_LIST).items, want);
    EXPECT_EQ(d.ctl(IDC_CL_LIST).sel, 0);
    EXPECT_EQ(converter_list.selected, 0);
    EXPECT_EQ(converter_list.found, 1);
    EXPECT_TRUE(headless::boxes().empty());
    EXPECT_EQ(d.result, 0);
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST_F(NetDialogs, EachDiscoveryFailureHasItsMessageAndLeavesTheListEmpty)
{
    add_conv(ip4(10, 1, 1, 50), 0x01);
    struct Case {
        const char *name;
        fake::Fail fail;
        int after;
        std::string text, caption;
        int flags;
        bool fields;
    };
    const int warn = UI_MB_OK | UI_ICON_WARNING;
    const std::vector<Case> cases{
        {"socket library", fake::Fail::SockStartup, 0, "网络操作出现错误, 请检查网络是否打开!", "错误提示", warn, false},
        {"interface list", fake::Fail::Interfaces, 0, "本机网络操作出现错误, 请检查网络是否打开!", "错误提示", warn, false},
        {"discovery", fake::Fail::Send, 0, "未发现VOK445X模块或网络操作出现错误1 !", "系统提示", UI_MB_OK, true},
        // Two discovery sends, then the first configuration query.
        {"configuration", fake::Fail::Send, 2, "未发现VOK445X模块或网络操作出现错误2 !", "系统提示", UI_MB_OK, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        headless::boxes().clear();
        fake::clear_net_log();
        fake::fail_after(k.fail, k.after);
        auto &d = run_list([](UiWindow) {});
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, k.text);
        EXPECT_EQ(headless::boxes()[0].caption, k.caption);
        EXPECT_EQ(headless::boxes()[0].flags, k.flags);
        EXPECT_TRUE(d.ctl(IDC_CL_LIST).items.empty());
        EXPECT_EQ(d.ctl(IDC_CL_HOST_IP).text.empty(), !k.fields);
        if (!k.fields) {
            EXPECT_TRUE(sent().empty());  // nothing broadcast without the host's subnets
        }
        EXPECT_EQ(converter_list.found, 0);
        EXPECT_EQ(net_state.udp, SOCK_INVALID);
    }
}

TEST_F(NetDialogs, OkTakesTheConverterIntoTheLinkSettings)
{
    add_conv(ip4(10, 1, 1, 50), 0x01);
    sim::NetConverter &b = add_conv(ip4(10, 1, 1, 51), 0x02);
    b.config.tcp_port = 10009;
    b.line_baud = 2400;
    run_list([](UiWindow dlg) {
        headless::window(dlg).ctl(IDC_CL_LIST).sel = 1;
        headless::click(dlg, IDC_CL_OK);
    });
    EXPECT_EQ(converter_list.selected, 1);
    EXPECT_EQ(net_state.ip, ip4(10, 1, 1, 51));
    EXPECT_STREQ(net_state.ip_text, "10.1.1.51");
    EXPECT_EQ(link_settings.net_port, 10009);
    EXPECT_EQ(link_settings.net_baud_index, 0);
    EXPECT_TRUE(headless::boxes().empty());  // in the host's subnet: no question
    EXPECT_TRUE(fake::sleep_log().empty());
}

TEST_F(NetDialogs, ConverterOfAnotherSubnetIsMovedWhenTheUserAgrees)
{
    add_conv(ip4(10, 1, 1, 100), 0x01);
    sim::NetConverter &far = add_conv(ip4(172, 16, 3, 9), 0x0C, ip4(10, 1, 1, 5));
    for (int answer : {UI_ID_NO, UI_ID_YES}) {
        SCOPED_TRACE(answer);
        headless::boxes().clear();
        fake::clear_sleep_log();
        headless::answer_next(answer);
        run_list([](UiWindow dlg) {
            fake::clear_net_log();
            headless::window(dlg).ctl(IDC_CL_LIST).sel = 1;
            headless::click(dlg, IDC_CL_OK);
        });
        EXPECT_STREQ(net_state.ip_text, "172.16.3.9");
        ASSERT_GE(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, "IP地址与本机地址不在同一个子网中,是否修改IP地址?");
        EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_YESNO | UI_ICON_WARNING);
        if (answer == UI_ID_NO) {
            EXPECT_TRUE(sent().empty());
            continue;
        }
        ASSERT_EQ(sent().size(), 1u);
        EXPECT_EQ(sent()[0].bytes.size(), 20u);
        EXPECT_EQ(sent()[0].bytes[19], 101);  // .100 is taken by the other converter
        ASSERT_EQ(headless::boxes().size(), 2u);
        EXPECT_EQ(headless::boxes()[1].text, "VOK445X IP修改完毕!\r\n请等待8-10秒后重新运行<搜索IP参数...>");
        EXPECT_EQ(headless::boxes()[1].caption, "系统提示");
        EXPECT_EQ(fake::sleep_log(), std::vector<int>{9000});
        EXPECT_EQ(far.current_ip(fake::now_us()), ip4(10, 1, 1, 101));
    }
}

TEST_F(NetDialogs, NewAddressPassesTheTenChecksInOrder)
{
    add_conv(ip4(10, 1, 1, 50), 0x01);
    fake::add_arp_host(ip4(10, 1, 1, 9));
    run_list([](UiWindow) {});
    ASSERT_EQ(converter_list.count, 1);
    UiWindow dlg = headless::new_window();
    struct Case {
        uint32_t ip;
        bool arp_fails;
        int want;
        const char *text;  // null: accepted without a message
        bool by_main, probed;
    };
    const std::vector<Case> cases{
        {ip4(127, 0, 0, 0), false, -1, "IP地址已被本机使用,请重新输入!", false, false},
        {ip4(224, 0, 0, 1), false, -2, "IP地址类别范围错误(>=D类),请重新输入!", false, false},
        {ip4(10, 2, 0, 5), false, -3, "IP地址为本机地址,请重新输入!", false, false},
        {ip4(10, 1, 1, 0), false, -4, "IP地址为本局域网网名地址,请重新输入!", false, false},
        {ip4(10, 1, 1, 255), false, -5, "IP地址为本局域网广播地址,请重新输入!", false, false},
        // A /16 subnet: its broadcast is refused, and a host part of 255 as on any subnet;
        // x.y.1.0 has a host part of 256 and goes on to the next check.
        {ip4(10, 2, 255, 255), false, -5, "IP地址为本局域网广播地址,请重新输入!", false, false},
        {ip4(10, 2, 0, 255), false, -5, "IP地址为本局域网广播地址,请重新输入!", false, false},
        {ip4(10, 2, 1, 0), false, -8, "此IP地址不在本子网内! 请请重新输入!", false, false},
        {ip4(10, 3, 0, 7), false, -8, "此IP地址不在本子网内! 请请重新输入!", false, false},
        {ip4(10, 1, 1, 50), false, 0, nullptr, false, false},
        {ip4(10, 1, 1, 60), true, -6, "IP 地址检测出现错误，请检查网络设置!", true, true},
        {ip4(10, 1, 1, 9), false, -7, "此IP地址已被局域网上其他设备使用，请重新输入!", true, true},
        {ip4(10, 1, 1, 60), false, 0, nullptr, false, true},
    };
    for (const Case &k : cases) {
        char ip[16];
        ip_to_text(k.ip, ip);
        SCOPED_TRACE(ip);
        headless::boxes().clear();
        fake::clear_net_log();
        converter_list.new_ip = k.ip;
        if (k.arp_fails) fake::fail_next(fake::Fail::ArpLibrary);
        EXPECT_EQ(validate_new_ip(dlg), k.want);
        bool probed = false;
        for (const auto &e : fake::net_log()) probed |= e.kind == fake::NetEvent::Arp && e.ip == k.ip;
        EXPECT_EQ(probed, k.probed);
        if (!k.text) {
            EXPECT_TRUE(headless::boxes().empty());
            continue;
        }
        ASSERT_EQ(headless::boxes().size(), 1u);
        EXPECT_EQ(headless::boxes()[0].text, k.text);
        EXPECT_EQ(headless::boxes()[0].caption, "错误提示");
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK | UI_ICON_WARNING);
        EXPECT_EQ(headless::boxes()[0].owner, k.by_main ? window : dlg);
    }
}

TEST_F(NetDialogs, IpSettingSendsTheTypedAddressAfterTheChecks)
{
    add_conv(ip4(10, 1, 1, 50), 0x01);
    sim::NetConverter &b = add_conv(ip4(10, 1, 1, 51), 0x02);
    headless::on_dialog(IDD_IP_SETTING, [](UiWindow dlg) {
        auto &w = headless::window(dlg);
        EXPECT_EQ(w.ctl(IDC_IP_EDIT).text, "10.1.1.51");
        EXPECT_EQ(w.focus, IDC_IP_EDIT);
        for (const char *bad : {"255.255.255.255", "10.1.1", "10.1.1.256", "ten"}) {
            w.ctl(IDC_IP_EDIT).text = bad;
            headless::click(dlg, IDC_IP_CONFIRM);
            EXPECT_FALSE(w.ended) << bad;
        }
        w.ctl(IDC_IP_EDIT).text = "10.1.1.255";
        headless::click(dlg, IDC_IP_CONFIRM);
        EXPECT_FALSE(w.ended);
        w.ctl(IDC_IP_EDIT).text = "10.1.1.88";
        headless::click(dlg, IDC_IP_CONFIRM);
        EXPECT_TRUE(w.ended);
        EXPECT_EQ(w.result, 1);
    });
    headless::answer_next(UI_ID_YES);
    auto &d = run_list([](UiWindow dlg) {
        headless::window(dlg).ctl(IDC_CL_LIST).sel = 1;
        fake::clear_net_log();
        headless::click(dlg, IDC_CL_IP_SETTING);
    });
    EXPECT_TRUE(d.ended);
    const std::vector<std::string> want{
        "确定要修改VOK445X模块的IP地址?",
        "IP地址输入错误,请重新输入!", "IP地址输入错误,请重新输入!", "IP地址输入错误,请重新输入!",
        "IP地址输入错误,请重新输入!", "IP地址为本局域网广播地址,请重新输入!",
        "IP参数修改完毕! 请等待8-10秒...",
    };
    EXPECT_EQ(box_texts(), want);
    EXPECT_EQ(headless::boxes().back().caption, "系统提示");
    ASSERT_EQ(sent().size(), 1u);
    const std::vector<uint8_t> ipset{0, 0, 0, 0xFC, 'I', 'P', '-', 'S', 'E', 'T', 'U', 'P', 0, 0, 0x20, 0x02,
                                     10, 1, 1, 88};
    EXPECT_EQ(sent()[0].bytes, ipset);
    EXPECT_EQ(sent()[0].ip, ip4(10, 1, 1, 255));
    EXPECT_STREQ(net_state.ip_text, "10.1.1.88");
    EXPECT_EQ(net_state.ip, ip4(10, 1, 1, 88));
    EXPECT_EQ(fake::sleep_log(), std::vector<int>{9000});
    EXPECT_EQ(b.current_ip(fake::now_us()), ip4(10, 1, 1, 88));
    EXPECT_FALSE(headless::cursor_is_wait());
}

TEST_F(NetDialogs, IpSettingRefusesWithoutALineOrForAnotherSubnet)
{
    add_conv(ip4(172, 16, 3, 9), 0x0C, ip4(10, 1, 1, 5));
    // No line selected.
    headless::answer_next(UI_ID_YES);
    run_list([](UiWindow dlg) {
        headless::window(dlg).ctl(IDC_CL_LIST).sel = -1;
        headless::click(dlg, IDC_CL_IP_SETTING);
        EXPECT_FALSE(headless::window(dlg).ended);
    });
    EXPECT_EQ(box_texts(), (std::vector<std::string>{"确定要修改VOK445X模块的IP地址?", "445X模块IP参数读取错误!"}));
    // The converter sits in another subnet: dialog 171 closes at once, nothing is sent.
    headless::boxes().clear();
    headless::answer_next(UI_ID_YES);
    run_list([](UiWindow dlg) {
        fake::clear_net_log();
        headless::click(dlg, IDC_CL_IP_SETTING);
        EXPECT_FALSE(headless::window(dlg).ended);
    });
    EXPECT_EQ(box_texts(), (std::vector<std::string>{"确定要修改VOK445X模块的IP地址?",
                                                     "非本子网模块,请关闭<IP设定>,按<确定>!"}));
    EXPECT_TRUE(sent().empty());
}

// The communication settings dialog around it: the discovery button fills the fields, and
// the Yes answer to the speed question rewrites the converter's bus speed.
TEST_F(NetDialogs, DiscoveryButtonFillsTheNetworkFieldsAndShowsOut)
{
    sim::NetConverter &c = add_conv(ip4(10, 1, 1, 50), 0x01);
    c.speed_code = 7;
    c.config.tcp_port = 10007;
    link_settings.converter_type = CONVERTER_NET;
    headless::on_dialog(IDD_CONVERTER_LIST, [](UiWindow dlg) { headless::click(dlg, IDC_CL_OK); });
    headless::on_dialog(IDD_COMM_SETTINGS, [](UiWindow dlg) {
        headless::click(dlg, IDC_NET_SEARCH);
        auto &w = headless::window(dlg);
        EXPECT_EQ(w.ctl(IDC_NET_IP).text, "10.1.1.50");
        EXPECT_EQ(w.ctl(IDC_NET_PORT).text, "10007");
        EXPECT_EQ(w.ctl(IDC_NET_BAUD).text, "OUT!");
    });
    main_window_on_command(window, IDM_COMM);
    EXPECT_EQ(link_settings.net_baud_index, 5);
    EXPECT_EQ(headless::dialogs_run(), (std::vector<int>{IDD_COMM_SETTINGS, IDD_CONVERTER_LIST}));
}

TEST_F(NetDialogs, SpeedQuestionYesRewritesTheConverterSpeed)
{
    sim::NetConverter &c = add_conv(ip4(10, 1, 1, 50), 0x01);
    c.config.restart_ms = 5000;
    run_list([](UiWindow) {});
    ASSERT_EQ(converter_list.count, 1);
    link_settings.converter_type = CONVERTER_NET;
    link_settings.net_baud_index = 2;
    struct Case {
        const char *name;
        fake::Fail fail;
        bool inject;
        std::string text;
    };
    const std::vector<Case> cases{
        {"socket library", fake::Fail::SockStartup, true, "网络操作出现错误! 请重新设置!"},
        {"write lost", fake::Fail::Send, true, "出现错误! 请重新设置!"},
        {"done", fake::Fail::Open, false, "VOK445X波特率修改完毕!\r\n请等待8-10秒后重新运行<搜索IP参数...>"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        headless::boxes().clear();
        fake::clear_sleep_log();
        headless::answer_next(UI_ID_YES);
        if (k.inject) fake::fail_next(k.fail);
        headless::on_dialog(IDD_COMM_SETTINGS, [](UiWindow dlg) {
            auto &w = headless::window(dlg);
            for (int id = IDC_BAUD_2400; id <= IDC_BAUD_38400; ++id) w.ctl(id).checked = id == IDC_BAUD_38400;
            headless::click(dlg, IDC_COMM_OPEN);
            EXPECT_FALSE(w.ended);
        });
        main_window_on_command(window, IDM_COMM);
        ASSERT_EQ(headless::boxes().size(), 2u);
        EXPECT_EQ(headless::boxes()[1].text, k.text);
        EXPECT_EQ(headless::boxes()[1].caption, k.inject ? "错误提示" : "系统提示");
        EXPECT_EQ(headless::boxes()[1].flags, UI_MB_OK | UI_ICON_WARNING);
        EXPECT_EQ(fake::sleep_log(), k.inject ? std::vector<int>{} : std::vector<int>{9000});
        EXPECT_EQ(link_state.open, 0);
        EXPECT_EQ(net_state.udp, SOCK_INVALID);
        EXPECT_FALSE(headless::cursor_is_wait());
    }
    // The 9 s wait covered the converter's restart: it runs at the new speed.
    c.settle(fake::now_us());
    EXPECT_EQ(c.line_baud, 38400u);
}

}  // namespace

namespace {

// The bus file of the namespace test, on the fake net: the far converter is moved from the
// list dialog, and the link then opens to its new address, where its TCP port followed it.
TEST_F(NetDialogs, BusFileConvertersMoveAndTheLinkFollows)
{
    sim::Bus file = sim::load_bus_file(VOK_SOURCE_DIR "/tests/netsetup/two_segments.json");
    bus.modules = file.modules;
    bus.net_converters = file.net_converters;
    bus.host_interfaces = file.host_interfaces;
    fake::attach_bus_net(bus, convs);
    ASSERT_EQ(convs.size(), 2u);
    headless::answer_next(UI_ID_YES);
    auto &d = run_list([](UiWindow dlg) {
        auto &w = headless::window(dlg);
        ASSERT_EQ(w.ctl(IDC_CL_LIST).items.size(), 2u);
        EXPECT_EQ(w.ctl(IDC_CL_LIST).items[0], " 0-10.77.1.50<10.77.1.1>   -10001- 9600 <00204A-123450>");
        w.ctl(IDC_CL_LIST).sel = 1;
        headless::click(dlg, IDC_CL_OK);
    });
    EXPECT_EQ(d.ctl(IDC_CL_LIST).items[1], " 1-172.16.88.60<10.77.2.1>   -10001- 9600 <00204A-123460>");
    EXPECT_EQ(fake::sleep_log(), std::vector<int>{9000});
    snprintf(net_state.host_text, sizeof net_state.host_text, "10.77.2.100");
    net_state.port_entered = 10001;
    link_settings.converter_type = CONVERTER_NET;
    ASSERT_EQ(net_open(), 0);
    const uint8_t req[] = {'$', '0', '1', 'M', '\r'};
    ASSERT_EQ(net_send(5, req), 0);
    ASSERT_EQ(net_receive(11), 11);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(RxBuffer), 11), "!01VOK4560\r");
    net_close();
}

TEST(NetBusFile, ConverterAndInterfaceEntriesAreChecked)
{
    const std::string head = R"({"modules": [], )";
    EXPECT_THROW(sim::parse_bus(head + R"("net_converters": [{"wire": "10.1.1"}]})"), sim::BusFileError);
    EXPECT_THROW(sim::parse_bus(head + R"("host_interfaces": [{"ip": "10.1.1.1", "port": 5}]})"), sim::BusFileError);
    EXPECT_THROW(sim::parse_bus(head + R"("net_converters": {"ip": "10.1.1.1"}})"), sim::BusFileError);
    sim::Bus b = sim::parse_bus(head + R"("net_converters": [{"ip": "10.1.1.9", "speed_code": 7, "dhcp_ip": "10.1.1.8"}],
        "host_interfaces": [{"ip": "10.1.1.1", "mask": "255.255.255.0"}]})");
    ASSERT_EQ(b.net_converters.size(), 1u);
    EXPECT_EQ(b.net_converters[0].net.ip, sim::ip4(10, 1, 1, 9));
    EXPECT_EQ(b.net_converters[0].net.dhcp_ip, sim::ip4(10, 1, 1, 8));
    EXPECT_EQ(b.net_converters[0].speed_code, 7);
    ASSERT_EQ(b.host_interfaces.size(), 1u);
    EXPECT_EQ(b.host_interfaces[0].second, sim::ip4(255, 255, 255, 0));
}

}  // namespace
