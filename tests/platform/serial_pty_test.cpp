// POSIX serial backend over a real pty pair (socat), in real time: data in both
// directions, the total read time-out, the input-queue count, purge, exclusivity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/serial.h"
#include "socat_peer.h"

namespace {

// The link layer's settings: 9600 8N1, no flow control, 3 ms/byte + 10 ms reads.
void configure(SerialHandle h)
{
    ASSERT_EQ(serial_set_event_mask(h, SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY), 1);
    ASSERT_EQ(serial_setup_queues(h, 4200, 256), 1);
    SerialTimeouts t = {0, 3, 10, 3, 20};
    ASSERT_EQ(serial_set_timeouts(h, &t), 1);
    SerialLine line;
    ASSERT_EQ(serial_get_line(h, &line), 1);
    line.baud = 9600;
    line.byte_size = 8;
    line.parity = 0;
    line.stop_bits = 0;
    line.binary = 1;
    line.xoff_lim = 4160;
    ASSERT_EQ(serial_set_line(h, &line), 1);
    ASSERT_EQ(serial_purge(h, SERIAL_PURGE_ALL), 1);
    ASSERT_EQ(serial_create_event(h, SERIAL_READ_EVENT), 1);
    ASSERT_EQ(serial_create_event(h, SERIAL_WRITE_EVENT), 1);
}

// socat forwards asynchronously: wait (sleeping) until `want` bytes are queued on h.
int queued_after_wait(SerialHandle h, int want)
{
    int in = -1;
    for (int i = 0; i < 200; i++) {
        EXPECT_EQ(serial_clear_errors(h, nullptr, &in, nullptr), 1);
        if (in >= want) break;
        sleep_ms(5);
    }
    return in;
}

double elapsed_ms(int64_t since) { return (double)(now_us() - since) / 1000.0; }

// Shortest of a few runs of f: a wait must never end early, and scheduling noise on a
// busy machine only ever adds time, so the minimum is the figure to hold to the bounds.
template <class F> double shortest_ms(F f, int runs = 3)
{
    double best = 1e9;
    for (int i = 0; i < runs; i++) {
        int64_t t0 = now_us();
        f();
        double ms = elapsed_ms(t0);
        if (ms < best) best = ms;
    }
    return best;
}

class PosixSerialPty : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pty.ok) << "socat pty pair could not be made";
        a = serial_open(pty.a.c_str());
        b = serial_open(pty.b.c_str());
        ASSERT_NE(a, SERIAL_INVALID);
        ASSERT_NE(b, SERIAL_INVALID);
        configure(a);
        configure(b);
    }
    void TearDown() override
    {
        if (a) serial_close(a);
        if (b) serial_close(b);
    }
    socat_peer::PtyPair pty;
    SerialHandle a = SERIAL_INVALID, b = SERIAL_INVALID;
};

TEST_F(PosixSerialPty, BytesArriveUnchangedInBothDirections)
{
    const uint8_t frame[] = {'#', '0', '1', '8', '\r', 0x00, 0xFF, 0x11, 0x13};  // binary-safe
    ASSERT_EQ(serial_write(a, frame, sizeof frame), (int)sizeof frame);
    uint8_t got[32] = {};
    ASSERT_EQ(serial_read(b, got, sizeof frame), (int)sizeof frame);
    EXPECT_EQ(0, memcmp(got, frame, sizeof frame));

    ASSERT_EQ(serial_write_plain(b, "!01\r", 4), 4);
    ASSERT_EQ(serial_read(a, got, 4), 4);
    EXPECT_EQ(0, memcmp(got, "!01\r", 4));

    ASSERT_EQ(serial_transmit_char(a, 'Z'), 1);
    EXPECT_EQ(serial_wait_event(a, SERIAL_EV_TXEMPTY, 100), (uint32_t)SERIAL_EV_TXEMPTY);
    ASSERT_EQ(serial_read(b, got, 1), 1);
    EXPECT_EQ(got[0], 'Z');
}

TEST_F(PosixSerialPty, ReadEndsAfterTheTotalTimeOutWithWhatArrived)
{
    uint8_t got[32];
    double ms = shortest_ms([&] { EXPECT_EQ(serial_read(a, got, 18), 0); });
    printf("read of 18 bytes, nothing arriving: %.2f ms (3 x 18 + 10 = 64)\n", ms);
    EXPECT_GE(ms, 63.9);
    EXPECT_LT(ms, 68.0);

    // Four of ten bytes: the read still waits its full 3 x 10 + 10 ms, then returns the four.
    ms = 1e9;
    for (int run = 0; run < 3; run++) {
        ASSERT_EQ(serial_write(b, "ABCD", 4), 4);
        ASSERT_GE(queued_after_wait(a, 4), 4);
        memset(got, 0, sizeof got);
        int64_t t0 = now_us();
        EXPECT_EQ(serial_read(a, got, 10), 4);
        ms = std::min(ms, elapsed_ms(t0));
        EXPECT_EQ(0, memcmp(got, "ABCD", 4));
    }
    printf("read of 10 bytes, 4 queued: %.2f ms (40)\n", ms);
    EXPECT_GE(ms, 39.9);
    EXPECT_LT(ms, 44.0);

    // A complete read returns as soon as the count is there.
    ASSERT_EQ(serial_write(b, "0123456789", 10), 10);
    ASSERT_GE(queued_after_wait(a, 10), 10);
    int64_t t0 = now_us();
    EXPECT_EQ(serial_read(a, got, 10), 10);
    EXPECT_LT(elapsed_ms(t0), 5.0);
}

TEST_F(PosixSerialPty, TimeOutModesFollowTheWindowsRules)
{
    uint8_t got[16];
    // Interval MAXDWORD, no totals: return at once with what is queued.
    SerialTimeouts now_only = {0xFFFFFFFFu, 0, 0, 0, 0};
    ASSERT_EQ(serial_set_timeouts(a, &now_only), 1);
    int64_t t0 = now_us();
    EXPECT_EQ(serial_read(a, got, 8), 0);
    EXPECT_LT(elapsed_ms(t0), 5.0);

    // Inter-byte interval: ends 20 ms after the last byte, long before the 1 s total.
    SerialTimeouts interval = {20, 0, 1000, 0, 0};
    ASSERT_EQ(serial_set_timeouts(a, &interval), 1);
    ASSERT_EQ(serial_write(b, "xy", 2), 2);
    t0 = now_us();
    EXPECT_EQ(serial_read(a, got, 8), 2);
    EXPECT_LT(elapsed_ms(t0), 200.0);
}

TEST_F(PosixSerialPty, InputQueueCountAndPurge)
{
    int in = -1, out = -1;
    uint32_t errors = 99;
    ASSERT_EQ(serial_clear_errors(a, &errors, &in, &out), 1);
    EXPECT_EQ(in, 0);
    EXPECT_EQ(errors, 0u);

    ASSERT_EQ(serial_write(b, ">0102\r", 6), 6);
    EXPECT_EQ(queued_after_wait(a, 6), 6);
    EXPECT_EQ(serial_wait_event(a, SERIAL_EV_RXCHAR, 0), (uint32_t)SERIAL_EV_RXCHAR);

    // Purging the receive side empties the queue: the stale reply is never read.
    ASSERT_EQ(serial_purge(a, SERIAL_PURGE_RXABORT | SERIAL_PURGE_RXCLEAR), 1);
    ASSERT_EQ(serial_clear_errors(a, nullptr, &in, nullptr), 1);
    EXPECT_EQ(in, 0);
    uint8_t got[8];
    EXPECT_EQ(serial_read(a, got, 6), 0);

    // Nothing queued: a wait for a received character ends empty after its time-out.
    int64_t t0 = now_us();
    EXPECT_EQ(serial_wait_event(a, SERIAL_EV_RXCHAR, 30), 0u);
    EXPECT_GE(elapsed_ms(t0), 29.9);
    // Events outside the port's mask are never reported.
    ASSERT_EQ(serial_set_event_mask(a, 0), 1);
    EXPECT_EQ(serial_wait_event(a, SERIAL_EV_TXEMPTY, 0), 0u);
}

TEST_F(PosixSerialPty, ModemLinesLineSettingsAndExclusiveOpen)
{
    // A pty has no modem lines; the calls still succeed so the RTS discipline runs.
    EXPECT_EQ(serial_set_rts(a, 1), 1);
    EXPECT_EQ(serial_set_rts(a, 0), 1);
    EXPECT_EQ(serial_set_dtr(a, 1), 1);

    SerialLine line;
    ASSERT_EQ(serial_get_line(a, &line), 1);
    EXPECT_EQ(line.baud, 9600u);
    EXPECT_EQ(line.byte_size, 8);
    EXPECT_EQ(line.xoff_lim, 4160);
    SerialLine bad = line;
    bad.baud = 12345;
    EXPECT_EQ(serial_set_line(a, &bad), 0);
    bad = line;
    bad.stop_bits = 1;  // one and a half: not on a tty
    EXPECT_EQ(serial_set_line(a, &bad), 0);
    line.baud = 38400;
    ASSERT_EQ(serial_set_line(a, &line), 1);
    ASSERT_EQ(serial_get_line(a, &line), 1);
    EXPECT_EQ(line.baud, 38400u);

    // Not shared: the device cannot be opened twice.
    EXPECT_EQ(serial_open(pty.a.c_str()), SERIAL_INVALID);
    serial_close(a);
    a = serial_open(pty.a.c_str());
    EXPECT_NE(a, SERIAL_INVALID);
}

TEST(PosixSerialOpen, MissingDevicesAndNonTtysAreRefused)
{
    EXPECT_EQ(serial_open("/dev/vok-no-such-port"), SERIAL_INVALID);
    EXPECT_EQ(serial_open("/dev/null"), SERIAL_INVALID);
    EXPECT_EQ(serial_open(""), SERIAL_INVALID);
    EXPECT_EQ(serial_os_family(), 0);
}

TEST(PosixSerialOpen, ComNamesMapToTheDeviceGivenInTheEnvironment)
{
    socat_peer::PtyPair pty;
    ASSERT_TRUE(pty.ok);
    // The library's older name serves too when VOK_COMn is not set.
    setenv("VOK3900D_COM7", pty.a.c_str(), 1);
    SerialHandle old_name = serial_open("COM7");
    unsetenv("VOK3900D_COM7");
    ASSERT_NE(old_name, SERIAL_INVALID);
    serial_close(old_name);
    setenv("VOK_COM7", pty.a.c_str(), 1);
    SerialHandle a = serial_open("COM7");
    unsetenv("VOK_COM7");
    ASSERT_NE(a, SERIAL_INVALID);
    SerialHandle b = serial_open(pty.b.c_str());
    ASSERT_NE(b, SERIAL_INVALID);
    SerialTimeouts t = {0, 3, 10, 3, 20};
    ASSERT_EQ(serial_set_timeouts(b, &t), 1);
    ASSERT_EQ(serial_write(a, "$01M\r", 5), 5);
    char got[8] = {};
    EXPECT_EQ(serial_read(b, got, 5), 5);
    EXPECT_STREQ(got, "$01M\r");
    serial_close(a);
    serial_close(b);
}

TEST(PosixSerialOpen, AHungUpPeerFailsTheReadInsteadOfSpinning)
{
    socat_peer::PtyPair pty;
    ASSERT_TRUE(pty.ok);
    SerialHandle a = serial_open(pty.a.c_str());
    ASSERT_NE(a, SERIAL_INVALID);
    SerialTimeouts t = {0, 3, 10, 3, 20};
    ASSERT_EQ(serial_set_timeouts(a, &t), 1);
    pty.cut();
    uint8_t got[8];
    int64_t t0 = now_us();
    EXPECT_EQ(serial_read(a, got, 8), -1);
    EXPECT_LT(elapsed_ms(t0), 40.0);
    serial_close(a);
}

TEST(PosixClock, SleepsAreExactToAFewMilliseconds)
{
    clock_init();
    for (int ms : {1, 10, 25, 60}) {
        uint32_t m0 = now_ms();
        double took = shortest_ms([&] { sleep_ms(ms); });
        printf("sleep_ms(%d): %.3f ms\n", ms, took);
        EXPECT_GE(took, ms - 0.01) << ms;
        EXPECT_LT(took, ms + 3.0) << ms;
        EXPECT_GE((uint32_t)(now_ms() - m0), (uint32_t)(3 * ms - 1)) << ms;
    }
    int64_t t0 = now_us();
    sleep_ms(0);
    sleep_ms(-5);
    EXPECT_LT(elapsed_ms(t0), 1.0);
}

}  // namespace
