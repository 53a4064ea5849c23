// What vokmon's port and the library really set on the COM port: every device control
// field, the queue sizes, the event mask and the time-outs, from a device whose settings an
// earlier program left dirty (flow control, XON/XOFF, special characters), so that a field
// left to the device shows up.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/state.h"
#include "app/title_menu.h"
#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "sim/sim.h"

namespace {

// Everything on that a DCB can have on.
SerialLine dirty_line()
{
    SerialLine l{};
    l.baud = 110;
    l.byte_size = 7;
    l.parity = 2;
    l.stop_bits = 2;
    l.binary = 0;
    l.parity_check = l.out_cts_flow = l.out_dsr_flow = l.dsr_sensitivity = 1;
    l.tx_continue_on_xoff = l.out_x = l.in_x = l.error_char_on = l.null_strip = l.abort_on_error = 1;
    l.dtr_control = 2;
    l.rts_control = 3;
    l.xon_lim = 17;
    l.xoff_lim = 19;
    l.xon_char = 0x11, l.xoff_char = 0x13, l.error_char = '?', l.eof_char = 0x1A, l.evt_char = '\r';
    return l;
}

// The 8N1 byte-transparent line both set, with the XOFF limit that differs between them.
void expect_line(const SerialLine &l, uint32_t baud, uint16_t xoff_lim)
{
    EXPECT_EQ(l.baud, baud);
    EXPECT_EQ(l.byte_size, 8);
    EXPECT_EQ(l.parity, 0);
    EXPECT_EQ(l.stop_bits, 0);
    EXPECT_EQ(l.binary, 1);
    const int flags[] = {l.parity_check, l.out_cts_flow, l.out_dsr_flow, l.dtr_control, l.dsr_sensitivity,
                         l.tx_continue_on_xoff, l.out_x, l.in_x, l.error_char_on, l.null_strip, l.rts_control,
                         l.abort_on_error};
    for (size_t k = 0; k < sizeof flags / sizeof flags[0]; ++k) EXPECT_EQ(flags[k], 0) << "flag " << k;
    EXPECT_EQ(l.xon_lim, 0);
    EXPECT_EQ(l.xoff_lim, xoff_lim);
    const char chars[] = {l.xon_char, l.xoff_char, l.error_char, l.eof_char, l.evt_char};
    for (size_t k = 0; k < sizeof chars; ++k) EXPECT_EQ(chars[k], 0) << "character " << k;
}

void expect_port_setup(const fake::SerialConfig &c)
{
    EXPECT_TRUE(c.queues_set);
    EXPECT_EQ(c.in_queue_size, 4200u);
    EXPECT_EQ(c.out_queue_size, 256u);
    EXPECT_TRUE(c.timeouts_set);
    EXPECT_EQ(c.timeouts.read_interval, 0u);
    EXPECT_EQ(c.timeouts.read_total_mult, 3u);
    EXPECT_EQ(c.timeouts.read_total_const, 10u);
    EXPECT_EQ(c.timeouts.write_total_mult, 3u);
    EXPECT_EQ(c.timeouts.write_total_const, 20u);
    EXPECT_TRUE(c.event_mask_set);
}

}  // namespace

TEST(LineConfig, VokmonPortAtEverySpeed)
{
    static const uint32_t RATES[] = {2400, 4800, 9600, 19200, 38400};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(RATES[i]);
        sim::Bus bus;
        sim::SerialConverter conv(&bus);
        fake::reset();
        headless::reset();
        state_reset();
        main_window.hwnd = headless::new_window();
        link_set_change_handler(title_menu_link_changed);
        fake::set_initial_line("COM3", dirty_line());
        fake::attach_serial("COM3", &conv);
        link_settings.com_port = 3;
        link_settings.baud_index = i;
        ASSERT_EQ(port_open(), 1);
        const fake::SerialConfig &c = *fake::serial_config("COM3");
        ASSERT_TRUE(c.line_set);
        expect_line(c.line, RATES[i], 4160);
        expect_port_setup(c);
        EXPECT_EQ(c.event_mask, (uint32_t)(SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY));
        EXPECT_EQ(fake::serial_dtr("COM3"), 1);
        EXPECT_EQ(fake::serial_rts("COM3"), 0);
        port_close();
        EXPECT_EQ(fake::serial_config("COM3")->event_mask, 0u) << "event mask cleared at close";
    }
}

TEST(LineConfig, LibraryPortAtEverySpeedAndLineMode)
{
    static const uint32_t RATES[] = {1200, 2400, 4800, 9600, 19200, 38400};
    setenv("VOK3900D_COM2", "COM2", 1);
    ASSERT_EQ(driver_attach(), 1);
    for (int i = 0; i < 6; ++i) {
        for (int mode = 0; mode < 3; ++mode) {
            SCOPED_TRACE(testing::Message() << RATES[i] << " baud, line mode " << mode);
            sim::Bus bus;
            sim::SerialConverter conv(&bus);
            fake::reset();
            fake::set_initial_line("COM2", dirty_line());
            fake::attach_serial("COM2", &conv);
            ASSERT_EQ(vok_com_open(2, i, mode), VOK_OK);
            const fake::SerialConfig &c = *fake::serial_config("COM2");
            ASSERT_TRUE(c.line_set);
            expect_line(c.line, RATES[i], 4150);
            expect_port_setup(c);
            EXPECT_EQ(c.event_mask, (uint32_t)(SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY));
            // Idle lines: mode 1 listens with RTS off, mode 2 with DTR off; mode 0 leaves both.
            static const int RTS[3] = {0, 0, 1}, DTR[3] = {0, 1, 0};
            EXPECT_EQ(fake::serial_rts("COM2"), RTS[mode]);
            EXPECT_EQ(fake::serial_dtr("COM2"), DTR[mode]);
            ASSERT_EQ(vok_com_close(2), VOK_OK);
            EXPECT_EQ(fake::serial_config("COM2")->event_mask, 0u) << "event mask cleared at close";
        }
    }
    driver_close_port();
}

// The library raises the system timer resolution for an open port and gives it back on
// every way the port closes, including an open that fails after the device was opened.
TEST(LineConfig, LibraryGivesTheTimerResolutionBack)
{
    setenv("VOK3900D_COM2", "COM2", 1);
    ASSERT_EQ(driver_attach(), 1);
    sim::Bus bus;
    sim::SerialConverter conv(&bus);
    fake::reset();
    fake::attach_serial("COM2", &conv);
    ASSERT_EQ(vok_com_open(2, 3, 1), VOK_OK);
    EXPECT_EQ(fake::timer_period_raised(), 1);
    ASSERT_EQ(vok_com_close(2), VOK_OK);
    EXPECT_EQ(fake::timer_period_raised(), 0);

    fake::fail_next(fake::Fail::SetLine);
    EXPECT_EQ(vok_com_open(2, 3, 1), VOK_E_SETUP);
    EXPECT_EQ(fake::timer_period_raised(), 0);
    EXPECT_EQ(vok_com_open(7, 3, 1), VOK_E_OPEN);  // no such device
    EXPECT_EQ(fake::timer_period_raised(), 0);
}
