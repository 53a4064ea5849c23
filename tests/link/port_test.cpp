// COM port open/close/read/write on the fake serial backend, and the network link's open
// and close: results, modem-line discipline, title and menu, failure clean-up.
#include "tests/link/link_fixture.h"

namespace {

using LinkPort = LinkFixture;
using K = fake::SerialEvent;

TEST_F(LinkPort, OpenSetsTheLineTitleAndMenu) {
    link_settings.baud_index = 3;
    ASSERT_EQ(port_open(), 1);
    EXPECT_EQ(link_state.open, 1);
    EXPECT_NE(link_state.port, SERIAL_INVALID);
    EXPECT_EQ(link_state.os_family, SERIAL_OS_NT);
    ASSERT_EQ(events(K::SetLine).size(), 1u);
    EXPECT_EQ(events(K::SetLine)[0].value, 19200);
    EXPECT_EQ(fake::serial_rts("COM1"), 0);
    EXPECT_EQ(fake::serial_dtr("COM1"), 1);
    auto &w = headless::window(window);
    EXPECT_EQ(w.title, "VOK3900 WIN9x/XP  V2.95  2016.11.25  COM1,Baud19200 [VOK4420]");
    EXPECT_TRUE(w.menu_enabled.at(101));
    EXPECT_TRUE(w.menu_enabled.at(107));

    EXPECT_EQ(port_close(), 1);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(link_state.port, SERIAL_INVALID);
    EXPECT_EQ(w.title, "VOK3900 WIN9x/XP  V2.95  2016.11.25");
    EXPECT_FALSE(w.menu_enabled.at(101));
    EXPECT_TRUE(w.menu_enabled.at(100));
    EXPECT_EQ(events(K::Close).size(), 1u);
    EXPECT_EQ(fake::serial_rts("COM1"), 0);
}

std::vector<int> heard;  // what the recording change handler was told, in order
void record_change(int opened) { heard.push_back(opened); }

// The link reaches the window only through the handler the program registers: the main
// window's puts the title first on open and last on close; any other handler gets 1 then 0
// (a failed open tells nobody) while the window sees nothing; without one nothing is called.
TEST_F(LinkPort, OpenAndCloseReachOnlyTheRegisteredHandler) {
    auto &w = headless::window(window);
    ASSERT_EQ(port_open(), 1);
    ASSERT_EQ(port_close(), 1);
    std::string order;  // T title, M a run of menu items, R menu redraw
    for (const auto &c : w.calls) {
        const char k = c.rfind("title:", 0) == 0 ? 'T' : c == "menu-redraw" ? 'R' : 'M';
        if (order.empty() || k != 'M' || order.back() != 'M') order += k;
    }
    EXPECT_EQ(order, "TMRMRT");

    for (auto *handler : {record_change, (void (*)(int))nullptr}) {
        w.calls.clear();
        heard.clear();
        link_set_change_handler(handler);
        ASSERT_EQ(port_open(), 1);
        EXPECT_EQ(port_close(), 1);
        link_settings.com_port = 8;  // no such port
        EXPECT_EQ(port_open(), 0);
        link_settings.com_port = 1;
        EXPECT_TRUE(w.calls.empty());
        EXPECT_EQ(heard, handler ? std::vector<int>({1, 0}) : std::vector<int>());
    }
}

TEST_F(LinkPort, OpenFailuresLeaveNothingOpen) {
    // No such port.
    link_settings.com_port = 8;
    EXPECT_EQ(port_open(), 0);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(headless::window(window).title, "");

    // Line settings rejected, events not created, speed index outside the table.
    link_settings.com_port = 1;
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        fake::clear_serial_log("COM1");
        link_settings.baud_index = 2;
        if (step == 0) fake::fail_next(fake::Fail::SetLine);
        if (step == 1) fake::fail_next(fake::Fail::CreateEvent);
        if (step == 2) link_settings.baud_index = 7;
        EXPECT_EQ(port_open(), 0);
        EXPECT_EQ(link_state.open, 0);
        EXPECT_EQ(link_state.read_event, 0);
        EXPECT_EQ(link_state.write_event, 0);
        EXPECT_EQ(events(K::Open).size(), 1u);
        EXPECT_EQ(events(K::Close).size(), 1u);
    }
    // The port is free again afterwards.
    link_settings.baud_index = 2;
    EXPECT_EQ(port_open(), 1);
}

TEST_F(LinkPort, WriteRaisesRtsOnlyWhileWriting) {
    for (int family : {SERIAL_OS_NT, SERIAL_OS_9X}) {
        SCOPED_TRACE(family);
        SetUp();
        fake::set_os_family(family);
        ASSERT_EQ(port_open(), 1);
        EXPECT_EQ(link_state.os_family, family);
        fake::clear_serial_log("COM1");
        const uint8_t frame[] = {'$', '0', '1', 'M', '\r'};
        EXPECT_EQ(port_write(frame, 5), 5);
        EXPECT_EQ(fake::serial_rts("COM1"), 0);
        const auto rts = events(K::Rts);
        ASSERT_EQ(rts.size(), 3u);
        EXPECT_EQ(rts[1].value, 1);
        EXPECT_EQ(rts[2].value, 0);
        const auto w = events(K::Write).at(0);
        EXPECT_GE(w.t_us, rts[1].t_us);
        EXPECT_LE(w.t_us, rts[2].t_us);

        // A failed write: -1, RTS low, the port purged.
        fake::clear_serial_log("COM1");
        fake::fail_next(fake::Fail::Write);
        EXPECT_EQ(port_write(frame, 5), -1);
        EXPECT_EQ(fake::serial_rts("COM1"), 0);
        EXPECT_EQ(events(K::Purge).size(), 2u);
        port_close();
    }
}

TEST_F(LinkPort, ReadOfNothingEndsAfterItsTimeout) {
    ASSERT_EQ(port_open(), 1);
    uint8_t buf[18];
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(port_read(18, buf), 0);
    EXPECT_EQ(fake::now_us() - t0, (3 * 18 + 10) * 1000);
    fake::fail_next(fake::Fail::Read);
    EXPECT_EQ(port_read(18, buf), -1);
}

TEST_F(LinkPort, DiscardAndQueueWithoutAPort) {
    RxBuffer[0] = 7;
    EXPECT_EQ(port_discard(), 0);
    EXPECT_EQ(RxBuffer[0], 0);
    EXPECT_EQ(port_in_queue(), -1);
    uint8_t b[4];
    EXPECT_EQ(port_read(4, b), -1);
    EXPECT_EQ(port_write(b, 4), -1);
}

TEST_F(LinkPort, NetOpenResultsAndState) {
    fake::attach_tcp(sim::ip4(127, 0, 0, 1), 10001, &netconv);
    fake::add_host("converter.local", sim::ip4(127, 0, 0, 1));
    snprintf(net_state.host_text, sizeof net_state.host_text, "converter.local");
    net_state.port_entered = 10001;
    ASSERT_EQ(net_open(), 0);
    EXPECT_EQ(link_state.open, 1);
    EXPECT_STREQ(net_state.ip_text, "127.0.0.1");
    EXPECT_EQ(link_settings.net_ip, sim::ip4(127, 0, 0, 1));
    EXPECT_EQ(link_settings.net_port, 10001);
    EXPECT_EQ(net_close(), 0);
    EXPECT_EQ(link_state.open, 0);

    net_state.port_entered = 10002;  // nothing listens there
    EXPECT_EQ(net_open(), NET_OPEN_REFUSED);
    EXPECT_EQ(link_state.open, 0);
    EXPECT_EQ(link_settings.net_port, 10001);

    snprintf(net_state.host_text, sizeof net_state.host_text, "no.such.host");
    EXPECT_EQ(net_open(), NET_OPEN_NO_HOST);
    fake::fail_next(fake::Fail::SockStartup);
    EXPECT_EQ(net_open(), NET_OPEN_NO_LIBRARY);
    fake::fail_next(fake::Fail::SockCreate);
    EXPECT_EQ(net_open(), NET_OPEN_NO_SOCKET);
    EXPECT_EQ(net_send(5, (const uint8_t *)"$01M\r"), NET_SEND_CLOSED);
    EXPECT_EQ(net_receive(10), NET_RECV_CLOSED);

    // Every start of the socket library was matched by a clean-up.
    int startups = 0, cleanups = 0;
    for (const auto &e : fake::net_log()) {
        startups += e.kind == fake::NetEvent::Startup;
        cleanups += e.kind == fake::NetEvent::Cleanup;
    }
    EXPECT_EQ(startups, cleanups);
}

}  // namespace
