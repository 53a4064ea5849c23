// Driver port handling: argument and state checks, opening and closing, line keying,
// the echo probe, send attempts, the two write paths and the data wait.
#include <utility>

#include "tests/driver/driver_fixture.h"

namespace {

// Calls every export except vok_com_open on `port` with valid other arguments; returns
// the 12 results.
std::vector<int> call_all(int port)
{
    vok_module_info info{};
    info.address = 1;
    info.new_address = 1;
    info.baud_index_set = 3;
    unsigned char buffer[256 * 8];
    int status = 0;
    return {vok_com_close(port),
            vok_set_config(port, &info),
            vok_read_config(port, 1, &info),
            vok_read_temp(port, 1, 0, buffer),
            vok_read_id(port, 1, 0, buffer),
            vok_soft_reset(port, 1),
            vok_read_sortnum(port, 1, 0, buffer),
            vok_write_do(port, 1, '5'),
            vok_err_report(port, 1, &status),
            vok4103_read_data(port, 1, 0, buffer),
            vok4500_read_data(port, 1, 0, buffer),
            vok_itu_do(port, 1, 0, 0, 1)};
}

std::vector<int> all(int code) { return std::vector<int>(12, code); }

}  // namespace

TEST(DriverDataWait, ByBaudRateWithTheFractionDropped)
{
    const int for_100[6] = {1220, 610, 350, 220, 150, 100};
    const int for_7[6] = {271, 135, 117, 108, 84, 62};  // 71.4, 35.7, 17.5, 8.4, 4.9, 2.8
    for (int i = 0; i < 6; i++) {
        DriverState.baud_index = i;
        EXPECT_EQ(data_wait_ms(100), for_100[i]) << "baud index " << i;
        EXPECT_EQ(data_wait_ms(7), for_7[i]) << "baud index " << i;
    }
    DriverState.baud_index = 0;
}

TEST(DriverPortName, EnvironmentVariableElseTtyS)
{
    char name[64];
    unsetenv("VOK3900D_COM3");
    ASSERT_TRUE(driver_port_name(3, name, sizeof name));
    EXPECT_STREQ(name, "/dev/ttyS2");
    setenv("VOK3900D_COM3", "/dev/ttyUSB7", 1);
    ASSERT_TRUE(driver_port_name(3, name, sizeof name));
    EXPECT_STREQ(name, "/dev/ttyUSB7");
    // The name vokmon and vokcli read comes first; the library's older one still works.
    setenv("VOK_COM3", "/dev/ttyACM0", 1);
    ASSERT_TRUE(driver_port_name(3, name, sizeof name));
    EXPECT_STREQ(name, "/dev/ttyACM0");
    unsetenv("VOK_COM3");
    unsetenv("VOK3900D_COM3");
    ASSERT_TRUE(driver_port_name(32, name, sizeof name));
    EXPECT_STREQ(name, "/dev/ttyS31");
}

TEST_F(DriverTest, OpenRejectsBadArgumentsWithoutTouchingAPort)
{
    EXPECT_EQ(vok_com_open(33, 3, 1), VOK_E_ARG);
    EXPECT_EQ(vok_com_open(0, 3, 1), VOK_E_ARG);
    EXPECT_EQ(vok_com_open(1, 6, 0), VOK_E_ARG);
    EXPECT_EQ(vok_com_open(1, -1, 0), VOK_E_ARG);
    EXPECT_EQ(vok_com_open(1, 3, 3), VOK_E_ARG);
    EXPECT_EQ(vok_com_open(1, 3, -1), VOK_E_ARG);
    EXPECT_TRUE(fake::serial_log("COM1").empty());
}

TEST_F(DriverTest, WithoutTheWorkBufferEveryCallIsNotReady)
{
    add_module(1, 4560);
    open();
    driver_detach();
    EXPECT_EQ(vok_com_open(1, 3, 0), VOK_E_NOT_READY);
    EXPECT_EQ(call_all(1), all(VOK_E_NOT_READY));
    EXPECT_EQ(call_all(40), all(VOK_E_NOT_READY));
    EXPECT_TRUE(writes().empty());
}

TEST_F(DriverTest, PortIsCheckedBeforeTheCallsOwnArguments)
{
    add_module(1, 4560);
    open();
    EXPECT_EQ(call_all(0), all(VOK_E_ARG));
    EXPECT_EQ(call_all(33), all(VOK_E_ARG));
    EXPECT_EQ(call_all(2), all(VOK_E_PORT));
    // Bad call arguments on another port still say "not the open port".
    EXPECT_EQ(vok_read_temp(2, 1, 9, nullptr), VOK_E_PORT);
    EXPECT_TRUE(writes().empty());
}

TEST_F(DriverTest, CallArgumentChecksSendNothing)
{
    add_module(1, 4560);
    open();
    unsigned char buffer[64];
    vok_module_info info{};
    info.baud_index_set = 6;
    EXPECT_EQ(vok_read_config(1, 1, nullptr), VOK_E_ARG);
    EXPECT_EQ(vok_set_config(1, nullptr), VOK_E_ARG);
    EXPECT_EQ(vok_set_config(1, &info), VOK_E_ARG);
    for (auto fn : {vok_read_temp, vok_read_id, vok_read_sortnum, vok4103_read_data}) {
        EXPECT_EQ(fn(1, 1, 9, buffer), VOK_E_ARG);
        EXPECT_EQ(fn(1, 1, -1, buffer), VOK_E_ARG);
        EXPECT_EQ(fn(1, 1, 0, nullptr), VOK_E_ARG);
    }
    for (int channel = 3; channel <= 7; channel++)
        EXPECT_EQ(vok4103_read_data(1, 1, channel, buffer), VOK_E_ARG) << channel;
    EXPECT_EQ(vok4500_read_data(1, 1, 4, buffer), VOK_E_ARG);
    EXPECT_EQ(vok4500_read_data(1, 1, -1, buffer), VOK_E_ARG);
    EXPECT_EQ(vok4500_read_data(1, 1, 2, nullptr), VOK_E_ARG);
    EXPECT_EQ(vok_err_report(1, 1, nullptr), VOK_E_ARG);
    EXPECT_EQ(vok_itu_do(1, 1, 8, 0, 1), VOK_E_ARG);
    EXPECT_EQ(vok_itu_do(1, 1, 0, 32, 1), VOK_E_ARG);
    EXPECT_TRUE(writes().empty());

    // Channel, ITU index and value count by their low bytes only.
    vok_itu_do(1, 1, 0x107, 0x11F, 0x1A5);
    ASSERT_FALSE(writes().empty());
    EXPECT_EQ(writes().front(), "/01731A5\r");
}

TEST_F(DriverTest, ClosedPortAnswersPortErrorToEveryCall)
{
    add_module(1, 4560);
    EXPECT_EQ(call_all(1), all(VOK_E_PORT));
    open();
    EXPECT_EQ(vok_com_close(2), VOK_E_PORT);  // COM1 stays open
    vok_module_info info{};
    EXPECT_EQ(vok_read_config(1, 1, &info), VOK_OK);
    EXPECT_EQ(vok_com_close(1), VOK_OK);
    EXPECT_EQ(fake::serial_log("COM1").back().kind, fake::SerialEvent::Close);
    EXPECT_EQ(call_all(1), all(VOK_E_PORT));
}

TEST_F(DriverTest, OpenSetsTheLineAndProbesForAnEcho)
{
    ASSERT_EQ(vok_com_open(1, 0, 0), VOK_OK);
    const auto &log = fake::serial_log("COM1");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front().kind, fake::SerialEvent::Open);
    int baud = 0;
    for (const auto &e : log)
        if (e.kind == fake::SerialEvent::SetLine)
            baud = e.value;
    EXPECT_EQ(baud, 1200);
    EXPECT_EQ(writes(), std::vector<std::string>{"ABC"});
    EXPECT_EQ(sleeps(), std::vector<int>{60});
    EXPECT_EQ(read_counts(), std::vector<int>{18});
    EXPECT_EQ(DriverState.echo_on, 0);
    EXPECT_EQ(DriverState.echo_len, 0);

    conv.echo = true;
    ASSERT_EQ(vok_com_open(1, 3, 0), VOK_OK);
    EXPECT_EQ(DriverState.echo_on, 1);
    EXPECT_EQ(DriverState.echo_len, 5);
}

TEST_F(DriverTest, OpenAppliesTheFixedLineSettingsAndReadTimeOut)
{
    const int64_t start = fake::now_us();
    ASSERT_EQ(vok_com_open(1, 5, 0), VOK_OK);
    // No echo: the probe's 18-byte read runs out its whole time-out, 3 x 18 + 10 ms, after
    // the 60 ms wait (and the 3 probe bytes' 0.8 ms on the line at 38400 baud).
    const int64_t took = fake::now_us() - start;
    EXPECT_GE(took, 124000);
    EXPECT_LT(took, 125000);

    SerialLine line;
    ASSERT_TRUE(serial_get_line(DriverState.port_handle, &line));
    EXPECT_EQ(line.baud, 38400u);
    EXPECT_EQ(line.byte_size, 8);
    EXPECT_EQ(line.parity, 0);
    EXPECT_EQ(line.stop_bits, 0);
    EXPECT_EQ(line.binary, 1);
    EXPECT_EQ(line.xon_lim, 0);
    EXPECT_EQ(line.xoff_lim, 4150);
    // Everything else off: no flow control, lines keyed by the library, no char handling.
    const uint8_t off[] = {line.parity_check, line.out_cts_flow, line.out_dsr_flow, line.dtr_control,
                           line.dsr_sensitivity, line.tx_continue_on_xoff, line.out_x, line.in_x,
                           line.error_char_on, line.null_strip, line.rts_control, line.abort_on_error};
    for (uint8_t v : off)
        EXPECT_EQ(v, 0);
    const char chars[] = {line.xon_char, line.xoff_char, line.error_char, line.eof_char, line.evt_char};
    for (char c : chars)
        EXPECT_EQ(c, 0);
}

TEST_F(DriverTest, LineModesRaiseTheTransmitLinesOnlyWhileWriting)
{
    add_module(1, 4560);
    for (int mode = 0; mode <= 2; mode++) {
        SCOPED_TRACE(mode);
        open(3, mode);
        int status = 0;
        ASSERT_EQ(vok_err_report(1, 1, &status), VOK_OK);
        int rts = -1, dtr = -1, line_events = 0;
        std::vector<fake::SerialEvent::Kind> before_write;
        for (const auto &e : fake::serial_log("COM1")) {
            if (e.kind == fake::SerialEvent::Rts || e.kind == fake::SerialEvent::Dtr) {
                (e.kind == fake::SerialEvent::Rts ? rts : dtr) = e.value;
                line_events++;
                before_write.push_back(e.kind);
            } else if (e.kind == fake::SerialEvent::Write) {
                if (mode != 0) {
                    EXPECT_EQ(rts, 1);
                    EXPECT_EQ(dtr, 1);
                    // Mode 1 keys with RTS first, mode 2 with DTR first.
                    ASSERT_GE(before_write.size(), 2u);
                    auto first = before_write[before_write.size() - 2];
                    EXPECT_EQ(first, mode == 1 ? fake::SerialEvent::Rts : fake::SerialEvent::Dtr);
                }
            }
        }
        if (mode == 0) {
            EXPECT_EQ(line_events, 0);
        } else {
            // Back to receiving after the frame: mode 1 drops RTS before raising DTR, mode 2
            // drops DTR before raising RTS.
            std::vector<std::pair<fake::SerialEvent::Kind, int>> after_write;
            bool seen_write = false;
            for (const auto &e : fake::serial_log("COM1")) {
                if (e.kind == fake::SerialEvent::Write) {
                    seen_write = true;
                    after_write.clear();
                } else if (seen_write && (e.kind == fake::SerialEvent::Rts || e.kind == fake::SerialEvent::Dtr)) {
                    after_write.emplace_back(e.kind, e.value);
                }
            }
            ASSERT_GE(after_write.size(), 2u);
            using K = fake::SerialEvent;
            if (mode == 1)
                EXPECT_EQ(after_write[0], std::make_pair(K::Rts, 0)) << "then DTR on";
            else
                EXPECT_EQ(after_write[0], std::make_pair(K::Dtr, 0)) << "then RTS on";
            EXPECT_EQ(after_write[1], mode == 1 ? std::make_pair(K::Dtr, 1) : std::make_pair(K::Rts, 1));
            EXPECT_EQ(fake::serial_rts("COM1"), mode == 1 ? 0 : 1);
            EXPECT_EQ(fake::serial_dtr("COM1"), mode == 1 ? 1 : 0);
        }
    }
}

TEST_F(DriverTest, SecondOpenClosesTheFirstPort)
{
    add_module(1, 4560);
    open();
    ASSERT_EQ(vok_com_open(2, 3, 0), VOK_OK);
    EXPECT_EQ(fake::serial_log("COM1").back().kind, fake::SerialEvent::Close);
    EXPECT_EQ(vok_com_close(1), VOK_E_PORT);
    vok_module_info info{};
    EXPECT_EQ(vok_read_config(2, 1, &info), VOK_OK);
}

TEST_F(DriverTest, FailedOpenLeavesNoPortOpen)
{
    add_module(1, 4560);
    struct Case {
        fake::Fail fail;
        int code;
    };
    for (Case c : {Case{fake::Fail::Open, VOK_E_OPEN}, Case{fake::Fail::CreateEvent, VOK_E_EVENT},
                   Case{fake::Fail::SetLine, VOK_E_SETUP}}) {
        SCOPED_TRACE(c.code);
        open();
        fake::fail_next(c.fail);
        EXPECT_EQ(vok_com_open(1, 3, 0), c.code);
        EXPECT_EQ(fake::serial_log("COM1").back().kind, fake::SerialEvent::Close);
        EXPECT_EQ(DriverState.open_port, 0);
        EXPECT_EQ(vok_read_temp(1, 1, 0, nullptr), VOK_E_PORT);
    }
    unsetenv("VOK3900D_COM5");  // /dev/ttyS4: no such fake port
    EXPECT_EQ(vok_com_open(5, 3, 0), VOK_E_OPEN);
}

TEST_F(DriverTest, UnansweredRequestIsSentFourTimes)
{
    open();
    EXPECT_EQ(vok_soft_reset(1, 5), VOK_E_SEND);
    EXPECT_EQ(writes(), std::vector<std::string>(4, "&059\r"));
    EXPECT_EQ(sleeps(), std::vector<int>(4, 25));
    EXPECT_TRUE(read_counts().empty());

    // Frames of 12 bytes and more wait 65 ms per attempt.
    fake::clear_serial_log("COM1");
    fake::clear_sleep_log();
    vok_module_info info{};
    info.address = 5;
    info.new_address = 6;
    info.baud_index_set = 3;
    EXPECT_EQ(vok_set_config(1, &info), VOK_E_SEND);
    EXPECT_EQ(writes(), std::vector<std::string>(4, "%0506000600\r"));
    EXPECT_EQ(sleeps(), std::vector<int>(4, 65));
}

TEST_F(DriverTest, TheEchoAloneIsNoAnswer)
{
    conv.echo = true;
    open();
    EXPECT_EQ(vok_soft_reset(1, 5), VOK_E_SEND);
    EXPECT_EQ(writes().size(), 4u);
}

TEST_F(DriverTest, NineXFamilyWritesByteByByte)
{
    sim::Module &m = add_module(1, 4560);
    add_sensors(m, 0, 2);
    fake::set_os_family(98);
    open();
    unsigned char buffer[8];
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 2);
    std::string joined;
    for (const auto &w : writes()) {
        EXPECT_EQ(w.size(), 1u);
        joined += w;
    }
    EXPECT_EQ(joined, "$016\r#010\r");

    fake::set_os_family(40);
    open();
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 2);
    EXPECT_EQ(writes(), (std::vector<std::string>{"$016\r", "#010\r"}));
}
