// The fake serial backend against the simulated bus: bit times, echo, time-outs, queue, log.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/fake/fake_platform.h"
#include "platform/serial.h"
#include "sim/sim.h"

namespace {

struct FakeSerial : ::testing::Test {
    sim::Bus bus;
    sim::SerialConverter conv{&bus};
    SerialHandle h = SERIAL_INVALID;

    void SetUp() override
    {
        fake::reset();
        sim::Module m = sim::make_module(0x01, 4560);
        m.channels[0].units.push_back(sim::make_itu(sim::ITU_TEMP_HUM, 0x12, 0x34, 21.5));
        m.channels[0].units.push_back(sim::make_itu(sim::ITU_HUMIDITY, 0x12, 0x35, 0));
        bus.add(m);
        fake::attach_serial("COM1", &conv);
    }
    void open(uint32_t baud)
    {
        h = serial_open("COM1");
        ASSERT_NE(h, SERIAL_INVALID);
        SerialLine line{};
        line.baud = baud;
        line.byte_size = 8;
        ASSERT_EQ(serial_set_line(h, &line), 1);
        SerialTimeouts to{0, 3, 10, 3, 20};
        ASSERT_EQ(serial_set_timeouts(h, &to), 1);
    }
    void TearDown() override
    {
        if (h)
            serial_close(h);
    }
};

// 10 bits a byte: microseconds for n bytes at baud.
double bytes_us(int n, int baud) { return n * 10.0 * 1e6 / baud; }

TEST_F(FakeSerial, NameReplyTakesLineTimeWithoutEcho)
{
    open(9600);
    const uint8_t req[] = {'$', '0', '1', 'M', 0x0D};
    const int64_t t0 = fake::now_us();
    ASSERT_EQ(serial_write(h, req, 5), 5);
    EXPECT_NEAR(fake::now_us() - t0, bytes_us(5, 9600), 2);
    uint8_t rx[32] = {};
    ASSERT_EQ(serial_read(h, rx, 11), 11);
    EXPECT_EQ(std::string((char *)rx, 11), "!01VOK4560\r");
    // request out, module turnaround (2 ms), reply back
    EXPECT_NEAR(fake::now_us() - t0, bytes_us(16, 9600) + 2000, 12);
    EXPECT_TRUE(fake::sleep_log().empty());
}

TEST_F(FakeSerial, EchoPrecedesReplyAndCountsInQueue)
{
    conv.echo = true;
    open(9600);
    const uint8_t req[] = {'$', '0', '1', '2', 0x0D};
    serial_write(h, req, 5);
    int inq = -1;
    ASSERT_EQ(serial_clear_errors(h, nullptr, &inq, nullptr), 1);
    EXPECT_EQ(inq, 5);  // the echo only: the reply has not begun
    sleep_ms(10);
    uint8_t rx[32] = {};
    ASSERT_EQ(serial_read(h, rx, 15), 15);
    EXPECT_EQ(std::string((char *)rx, 15), "$012\r!01400600\r");
    ASSERT_EQ(fake::sleep_log().size(), 1u);
    EXPECT_EQ(fake::sleep_log()[0], 10);
}

TEST_F(FakeSerial, ReadTimesOutWithWhatArrived)
{
    open(9600);
    uint8_t rx[32];
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(serial_read(h, rx, 18), 0);
    EXPECT_EQ(fake::now_us() - t0, (3 * 18 + 10) * 1000);
    // A silent address: nothing comes back.
    const uint8_t req[] = {'$', '0', '2', 'M', 0x0D};
    serial_write(h, req, 5);
    EXPECT_EQ(serial_read(h, rx, 11), 0);
}

// Requests carry raw bytes: an output byte of 0x0D is the value, and the frame ends at the
// next CR; with echo the host reads the request and the reply whole.
TEST_F(FakeSerial, RawCarriageReturnInsideARequest)
{
    sim::Module io = sim::make_module(0x02, 4500);
    bus.add(io);
    conv.echo = true;
    open(9600);
    const uint8_t req[] = {'/', '0', '2', 0x0D, 0x0D};
    ASSERT_EQ(serial_write(h, req, 5), 5);
    uint8_t rx[32] = {};
    ASSERT_EQ(serial_read(h, rx, 10), 10);
    EXPECT_EQ(std::string((char *)rx, 10), std::string("/02\r\r!02\r\r", 10));
    EXPECT_EQ(bus.find(0x02)->digital_out, 0x0D);
    // The next request is framed as usual.
    const uint8_t in[] = {'#', '0', '2', '1', 0x0D};
    serial_write(h, in, 5);
    ASSERT_EQ(serial_read(h, rx, 10), 10);
    EXPECT_EQ(std::string((char *)rx, 10), std::string("#021\r>02\r\r", 10));
}

TEST_F(FakeSerial, BaudMismatchGetsNoAnswer)
{
    open(4800);  // the module listens at 9600
    const uint8_t req[] = {'$', '0', '1', 'M', 0x0D};
    serial_write(h, req, 5);
    uint8_t rx[32];
    EXPECT_EQ(serial_read(h, rx, 11), 0);
    // A converter fixed at 9600 with an echo: the host at 4800 hears its own bytes garbled.
    conv.baud = 9600;
    conv.echo = true;
    serial_write(h, req, 5);
    ASSERT_EQ(serial_read(h, rx, 11), 5);
    EXPECT_NE(std::string((char *)rx, 5), "$01M\r");
}

TEST_F(FakeSerial, LogRecordsLinesAndFrames)
{
    open(9600);
    serial_set_rts(h, 1);
    const uint8_t req[] = {'#', '0', '1', '0', 0x0D};
    serial_write(h, req, 5);
    serial_set_rts(h, 0);
    serial_purge(h, SERIAL_PURGE_ALL);
    const auto &log = fake::serial_log("COM1");
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0].kind, fake::SerialEvent::Open);
    EXPECT_EQ(log[1].kind, fake::SerialEvent::SetLine);
    EXPECT_EQ(log[1].value, 9600);
    EXPECT_EQ(log[2].kind, fake::SerialEvent::Rts);
    EXPECT_EQ(log[3].kind, fake::SerialEvent::Write);
    EXPECT_EQ(log[3].bytes, std::vector<uint8_t>(req, req + 5));
    EXPECT_EQ(fake::serial_rts("COM1"), 0);
}

TEST_F(FakeSerial, UnknownPortAndInjectedFailures)
{
    EXPECT_EQ(serial_open("COM8"), SERIAL_INVALID);
    fake::fail_next(fake::Fail::Open);
    EXPECT_EQ(serial_open("COM1"), SERIAL_INVALID);
    h = serial_open("COM1");
    ASSERT_NE(h, SERIAL_INVALID);
    fake::fail_next(fake::Fail::CreateEvent);
    EXPECT_EQ(serial_create_event(h, SERIAL_READ_EVENT), 0);
    EXPECT_EQ(serial_create_event(h, SERIAL_READ_EVENT), 1);
    SerialLine line{};
    line.baud = 9600;
    fake::fail_next(fake::Fail::SetLine);
    EXPECT_EQ(serial_set_line(h, &line), 0);
    EXPECT_EQ(serial_set_line(h, &line), 1);
}

// The two-step channel read ($AA6, then #AAc) with an echoing converter: each byte takes
// its bit time both ways, the echo comes first, and no real time passes.
TEST_F(FakeSerial, ChannelReadWithEchoOnVirtualTime)
{
    conv.echo = true;
    open(2400);
    bus.modules[0].baud_code = 4;  // 2400
    SerialTimeouts slow{0, 10, 100, 3, 20};  // long enough for the whole reply at 2400
    serial_set_timeouts(h, &slow);
    const auto real0 = std::chrono::steady_clock::now();
    const int64_t t0 = fake::now_us();
    const uint8_t counts[] = {'$', '0', '1', '6', 0x0D};
    serial_write(h, counts, 5);
    uint8_t rx[64] = {};
    ASSERT_EQ(serial_read(h, rx, 5 + 22), 27);
    EXPECT_EQ(std::string((char *)rx, 27), "$016\r!01010200000000000000\r");
    const int64_t t1 = fake::now_us();
    EXPECT_NEAR(t1 - t0, bytes_us(27, 2400) + 2000, 30);
    const uint8_t data[] = {'#', '0', '1', '0', 0x0D};
    serial_write(h, data, 5);
    const int want = 5 + 5 + 2 * 4 + 1;
    ASSERT_EQ(serial_read(h, rx, want), want);
    EXPECT_EQ(rx[5], '>');
    EXPECT_EQ(rx[9], 2);
    EXPECT_NEAR(fake::now_us() - t1, bytes_us(want, 2400) + 2000, 30);
    const auto real = std::chrono::steady_clock::now() - real0;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(real).count(), 20);
    EXPECT_GT(fake::now_us() - t0, 100000);
}

// A reply split into pieces arrives with the gaps; a queue query in a gap sees the first piece.
TEST_F(FakeSerial, SplitReplyArrivesInPieces)
{
    bus.modules[0].faults.split_pieces = 2;
    bus.modules[0].faults.split_gap_ms = 50;
    open(9600);
    const uint8_t req[] = {'$', '0', '1', 'M', 0x0D};
    serial_write(h, req, 5);
    sleep_ms(10);
    EXPECT_EQ(fake::serial_in_queue("COM1"), 6);
    uint8_t rx[16];
    // The read's time-out (3 * 11 + 10 ms) ends inside the gap: only the first piece.
    EXPECT_EQ(serial_read(h, rx, 11), 6);
    sleep_ms(60);
    EXPECT_EQ(serial_read(h, rx, 5), 5);
    EXPECT_EQ(std::string((char *)rx, 5), "4560\r");
}

TEST_F(FakeSerial, RadioConverterAnswersLater)
{
    conv.set_kind(sim::ConverterKind::RadioSlow);
    open(9600);
    const uint8_t req[] = {'$', '0', '1', 'M', 0x0D};
    serial_write(h, req, 5);
    sleep_ms(250);
    EXPECT_EQ(fake::serial_in_queue("COM1"), 0);
    sleep_ms(100);
    EXPECT_GT(fake::serial_in_queue("COM1"), 0);
}

// A purge empties the driver's queue only: the rest of a reply still on the wire arrives
// afterwards, as stale bytes do on a real port.
TEST_F(FakeSerial, PurgeDropsWhatArrivedButNotWhatIsOnTheWire)
{
    open(9600);
    const uint8_t req[] = {'$', '0', '1', 'M', 0x0D};
    serial_write(h, req, 5);
    fake::advance_us(2000 + (int64_t)bytes_us(4, 9600) + 100);  // "!01V" are in
    EXPECT_EQ(fake::serial_in_queue("COM1"), 4);
    serial_purge(h, SERIAL_PURGE_ALL);
    EXPECT_EQ(fake::serial_in_queue("COM1"), 0);
    uint8_t rx[32] = {};
    ASSERT_EQ(serial_read(h, rx, 11), 7);  // the time-out ends it with the tail
    EXPECT_EQ(std::string((char *)rx, 7), "OK4560\r");
}

TEST_F(FakeSerial, InputQueueHolds4200BytesThenOverruns)
{
    conv.echo = true;
    open(38400);
    bus.modules[0].faults.silent = true;
    std::vector<uint8_t> junk(5000, 'x');
    serial_write(h, junk.data(), (int)junk.size());
    uint32_t errors = 0;
    int inq = 0;
    serial_clear_errors(h, &errors, &inq, nullptr);
    EXPECT_EQ(inq, 4200);
    EXPECT_NE(errors, 0u);
    serial_purge(h, SERIAL_PURGE_RXCLEAR);
    EXPECT_EQ(fake::serial_in_queue("COM1"), 0);
}

}  // namespace
