// bus_exchange on virtual time against the in-process simulator, path by path: the frames
// written, the exact sequence of waits and the bytes read.
#include <cmath>
#include <numeric>

#include "tests/link/link_fixture.h"

namespace {

const uint8_t kReadConfig[] = {'$', '0', '1', '2', '\r'};      // reply "!01TTCCFF\r", 10 bytes
const uint8_t kSilentAddr[] = {'$', '4', '2', '2', '\r'};      // nobody at 0x42
enum { B2400, B4800, B9600, B19200, B38400 };

std::vector<int> repeat(int value, int n) { return std::vector<int>((size_t)n, value); }
std::vector<int> cat(std::vector<int> a, const std::vector<int> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using LinkExchange = LinkFixture;

// ---- paced path -------------------------------------------------------------------------

TEST_F(LinkExchange, PacedWorkedExamplesAt9600) {
    module();
    const struct {
        int type;
        sim::ConverterKind kind;
        int first, post;
    } rows[] = {
        {0, sim::ConverterKind::Rs232, 70, 89},
        {1, sim::ConverterKind::Usb, 90, 89},
        {2, sim::ConverterKind::Rs485, 90, 120},
        {3, sim::ConverterKind::PowerLine, 180, 120},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.type);
        SetUp();
        module();
        open_serial(row.type, B9600, row.kind);
        const int n = bus_exchange(10, 5, kReadConfig);
        EXPECT_EQ(n, 10);
        EXPECT_EQ(rx(0, 10), "!01400600\r");
        EXPECT_EQ(sleeps(), (std::vector<int>{row.first, row.post}));
        ASSERT_EQ(events(fake::SerialEvent::Read).size(), 1u);
        EXPECT_EQ(events(fake::SerialEvent::Read)[0].value, 11);
        EXPECT_EQ(frames_written(), (std::vector<std::vector<uint8_t>>{bytes("$012\r")}));
        port_close();
    }
}

TEST_F(LinkExchange, PacedLongRequestAt2400) {
    module();
    open_serial(0, B2400);
    // Configuration write: 12 bytes, acknowledged with "!01\r".
    const uint8_t frame[] = {'%', '0', '1', '0', '1', '4', '0', '0', '4', '0', '0', '\r'};
    EXPECT_EQ(bus_exchange(4, 12, frame), 4);
    EXPECT_EQ(rx(0, 4), "!01\r");
    EXPECT_EQ(sleeps(), (std::vector<int>{210, 205}));
    EXPECT_EQ(events(fake::SerialEvent::Read).at(0).value, 5);
}

TEST_F(LinkExchange, PacedTransmissionSequenceKeepsRtsLowOutsideWrites) {
    module();
    open_serial(0, B9600);
    ASSERT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    // discard (RTS low, DTR high, purge all, clear errors), RTS high, write, RTS low,
    // queue query, read.
    std::vector<int> kinds;
    for (const auto &e : fake::serial_log("COM1")) kinds.push_back(e.kind);
    using K = fake::SerialEvent;
    EXPECT_EQ(kinds, (std::vector<int>{K::Rts, K::Dtr, K::Purge, K::ClearErrors,   // discard
                                       K::Rts, K::Dtr, K::Purge, K::ClearErrors,   // write prologue
                                       K::Rts, K::Write, K::Rts, K::QueueQuery, K::Read}));
    const auto rts = events(K::Rts);
    EXPECT_EQ(rts[2].value, 1);
    EXPECT_EQ(rts[3].value, 0);
    EXPECT_EQ(events(K::Purge)[0].value, SERIAL_PURGE_ALL);
    EXPECT_EQ(fake::serial_rts("COM1"), 0);
    EXPECT_EQ(fake::serial_dtr("COM1"), 1);
}

TEST_F(LinkExchange, PacedRetriesWithTheirPausesThenMinusOne) {
    module();
    open_serial(0, B9600);
    link_settings.converter_type = 0;
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY);
    const std::vector<int> try_waits = {70, 10, 70};
    std::vector<int> expected = try_waits;
    for (int pause : {700, 1000, 1300, 1500}) expected = cat(cat(expected, {pause}), try_waits);
    EXPECT_EQ(sleeps(), expected);
    EXPECT_EQ(frames_written().size(), 10u);
    EXPECT_TRUE(events(fake::SerialEvent::Read).empty());
    const int total_ms = std::accumulate(expected.begin(), expected.end(), 0);
    EXPECT_GE(fake::now_us() - t0, (int64_t)total_ms * 1000);
    EXPECT_EQ(fake::serial_rts("COM1"), 0);
    for (uint8_t b : RxBuffer) ASSERT_EQ(b, 0);
}

TEST_F(LinkExchange, PacedSecondTransmissionCanSucceed) {
    sim::Module &m = module();
    m.faults.slow_ms = 75;  // the reply starts after the first wait of 70 ms has run out
    open_serial(0, B9600);
    // The late first reply is still on the wire after the purge, so the second check sees
    // it; what the read then takes is the caller's to judge.
    EXPECT_GT(bus_exchange(10, 5, kReadConfig), 0);
    EXPECT_EQ(sleeps(), (std::vector<int>{70, 10, 70, 89}));
    EXPECT_EQ(frames_written().size(), 2u);
}

TEST_F(LinkExchange, SearchScheduleIsOneTryWithoutPauses) {
    module();
    open_serial(0, B9600);
    link_state.searching = 1;
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY_SEARCH);
    EXPECT_EQ(sleeps(), (std::vector<int>{70, 10, 70}));
    EXPECT_EQ(frames_written().size(), 2u);

    // A module that answers: the post wait counts one byte less during the search.
    fake::clear_sleep_log();
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(sleeps(), (std::vector<int>{70, 88}));
}

TEST_F(LinkExchange, SearchFirstWaitsOfTheSlowConverters) {
    module();
    open_serial(3, B9600, sim::ConverterKind::PowerLine);
    link_state.searching = 1;
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(sleeps(), (std::vector<int>{210, 120}));
}

// ---- echo -------------------------------------------------------------------------------

TEST_F(LinkExchange, EchoProbeFindsTheConverterEcho) {
    module();
    open_serial(0, B9600, sim::ConverterKind::Rs232, true);
    EXPECT_EQ(probe_echo(), 0);
    EXPECT_EQ(link_state.echo_on, 1);
    EXPECT_EQ(link_state.echo_len, 5);
    EXPECT_EQ(sleeps(), (std::vector<int>{200, 50}));
    EXPECT_EQ(frames_written(), (std::vector<std::vector<uint8_t>>{bytes("ABC")}));
    EXPECT_EQ(events(fake::SerialEvent::Read).at(0).value, 18);
    for (uint8_t b : RxBuffer) ASSERT_EQ(b, 0);  // discarded after the probe

    conv.echo = false;
    probe_echo();
    EXPECT_EQ(link_state.echo_on, 0);
    EXPECT_EQ(link_state.echo_len, 0);
}

TEST_F(LinkExchange, EchoAloneIsNoReplyStart) {
    module();
    open_serial(0, B9600, sim::ConverterKind::Rs232, true);
    probe_echo();
    fake::clear_sleep_log();
    link_state.searching = 1;
    // Nobody answers; the five echoed bytes sit in the queue but are not a reply.
    EXPECT_EQ(bus_exchange(5 + 10, 5, kSilentAddr), EXCHANGE_NO_REPLY_SEARCH);
    for (const auto &q : events(fake::SerialEvent::QueueQuery)) EXPECT_EQ(q.value, 5);
    EXPECT_EQ(events(fake::SerialEvent::QueueQuery).size(), 2u);

    // With a reply the echo comes first and the reply starts at echo_len.
    fake::clear_sleep_log();
    link_state.searching = 0;
    EXPECT_EQ(bus_exchange(5 + 10, 5, kReadConfig), 15);
    EXPECT_EQ(rx(0, 15), "$012\r!01400600\r");
    EXPECT_EQ(sleeps(), (std::vector<int>{70, (int)std::trunc(1.2 * 21 + 70)}));
}

TEST_F(LinkExchange, EchoOfASerialConverterDoesNotCarryOverToTheNetworkLink) {
    module();
    open_serial(0, B9600, sim::ConverterKind::Rs232, true);
    probe_echo();
    ASSERT_EQ(link_state.echo_len, 5);
    port_close();

    open_net(B9600);
    EXPECT_EQ(link_state.echo_on, 0);
    EXPECT_EQ(link_state.echo_len, 0);
    // A caller sizes the reply as echo_len + 10 and reads it at echo_len: the whole reply,
    // at once, from the head of the buffer.
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(bus_exchange(link_state.echo_len + 10, 5, kReadConfig), 10);
    EXPECT_EQ(RxBuffer[link_state.echo_len], '!');
    EXPECT_EQ(rx(link_state.echo_len, 10), "!01400600\r");
    EXPECT_LT(fake::now_us() - t0, 500000);  // no receive window ran out waiting for echo bytes
}

// ---- polled paths -----------------------------------------------------------------------

TEST_F(LinkExchange, RadioPollsUntilTheReplyStartsThenPostWait) {
    module();
    open_serial(5, B9600, sim::ConverterKind::Radio);
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    const auto s = sleeps();
    // 10 ms after the write, then 10 ms per empty poll (the radio takes ~60 ms), then the
    // post wait of RF-NORM at 9600 for T = 16.
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.back(), 100);
    EXPECT_EQ(std::vector<int>(s.begin(), s.end() - 1), repeat(10, (int)s.size() - 1));
    EXPECT_GE(s.size() - 1, 6u);
    EXPECT_LE(s.size() - 1, 26u);
    EXPECT_EQ(frames_written().size(), 1u);
}

TEST_F(LinkExchange, RadioSilentModuleAttempts) {
    module();
    open_serial(6, B9600, sim::ConverterKind::RadioSlow);
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY);
    EXPECT_EQ(sleeps(), repeat(10, 4 * 81));
    EXPECT_EQ(frames_written().size(), 4u);

    fake::clear_sleep_log();
    fake::clear_serial_log("COM1");
    link_state.searching = 1;
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY_SEARCH);
    EXPECT_EQ(sleeps(), repeat(10, 2 * 81));
    EXPECT_EQ(frames_written().size(), 2u);
}

TEST_F(LinkExchange, RadioSearchPostWaitIsFixed) {
    module();
    open_serial(6, B9600, sim::ConverterKind::RadioSlow);
    link_state.searching = 1;
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(sleeps().back(), 40);
}

TEST_F(LinkExchange, UserWaitAttemptsAndPolls) {
    module();
    open_serial(7, B9600, sim::ConverterKind::UserWait);
    link_settings.reply_wait_ms = 1200;
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY);
    EXPECT_EQ(sleeps(), repeat(10, 1 + 121));
    EXPECT_EQ(events(fake::SerialEvent::QueueQuery).size(), 121u);
    EXPECT_EQ(frames_written().size(), 1u);

    fake::clear_sleep_log();
    fake::clear_serial_log("COM1");
    link_settings.reply_wait_ms = 1000;
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), EXCHANGE_NO_REPLY);
    EXPECT_EQ(sleeps(), repeat(10, 3 * (1 + 101)));
    EXPECT_EQ(frames_written().size(), 3u);

    // An answer: no post wait outside the search, 60 ms during it.
    fake::clear_sleep_log();
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(sleeps(), (std::vector<int>{10}));
    fake::clear_sleep_log();
    link_state.searching = 1;
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(sleeps(), (std::vector<int>{10, 60}));
}

// ---- network path -----------------------------------------------------------------------

TEST_F(LinkExchange, NetworkWorkedExample) {
    module();
    open_net(B9600);
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(rx(0, 10), "!01400600\r");
    EXPECT_EQ(sleeps(), (std::vector<int>{97}));
    EXPECT_EQ(frames_sent(), (std::vector<std::vector<uint8_t>>{bytes("$012\r")}));
}

TEST_F(LinkExchange, NetworkClosedLinkTriesThreeTimes) {
    link_settings.converter_type = CONVERTER_NET;
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), NET_SEND_CLOSED);
    EXPECT_EQ(sleeps(), (std::vector<int>{1500, 2000}));
    link_state.searching = 1;
    fake::clear_sleep_log();
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), NET_SEND_CLOSED);
    EXPECT_TRUE(sleeps().empty());
}

TEST_F(LinkExchange, NetworkSilentModuleIsZeroWithoutRetry) {
    module();
    open_net(B9600);
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), 0);
    EXPECT_EQ(sleeps(), (std::vector<int>{97}));
    EXPECT_EQ(frames_sent().size(), 1u);
    const int64_t spent = fake::now_us() - t0;
    EXPECT_GE(spent, (97 + 1060) * 1000);
    EXPECT_LE(spent, (97 + 1060 + 20) * 1000);

    // During the search: the fixed wait and a 60 ms window.
    link_state.searching = 1;
    fake::clear_sleep_log();
    const int64_t t1 = fake::now_us();
    EXPECT_EQ(bus_exchange(10, 5, kSilentAddr), 0);
    EXPECT_EQ(sleeps(), (std::vector<int>{80}));
    EXPECT_LE(fake::now_us() - t1, (80 + 60 + 20) * 1000);
}

TEST_F(LinkExchange, NetworkDrainsALateReplyBeforeTheNextRequest) {
    sim::Module &m = module();
    open_net(B9600);
    link_state.searching = 1;
    m.faults.slow_ms = 300;  // misses the search window
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 0);
    m.faults.slow_ms = 0;
    fake::advance_us(400000);  // the late reply is now waiting on the socket
    link_state.searching = 0;
    EXPECT_EQ(bus_exchange(11, 5, (const uint8_t *)"$01M\r"), 11);
    EXPECT_EQ(rx(0, 11), "!01VOK4560\r");
    EXPECT_EQ(RxBuffer[11], 0);
    EXPECT_EQ(frames_sent().back(), bytes("$01M\r"));
}

TEST_F(LinkExchange, NetworkReplyInManyPiecesIsAssembled) {
    sim::Module &m = module();
    m.faults.split_pieces = 5;
    m.faults.split_gap_ms = 40;
    open_net(B9600);
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(rx(0, 10), "!01400600\r");
    int recvs = 0;
    for (const auto &e : fake::net_log()) recvs += e.kind == fake::NetEvent::Recv;
    EXPECT_GE(recvs, 2);
}

TEST_F(LinkExchange, NetworkPeerClosingMidReply) {
    module();
    netconv.close_after_bytes = 4;
    open_net(B9600);
    const int64_t t0 = fake::now_us();
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 4);   // what came before the close
    EXPECT_EQ(rx(0, 4), "!014");
    EXPECT_EQ(RxBuffer[4], 0);
    EXPECT_LT(fake::now_us() - t0, 1000000);          // no wait for a window to run out
    // The next request finds the connection gone: a clear failure, three cycles.
    const int r = bus_exchange(10, 5, kReadConfig);
    EXPECT_LT(r, 0);
    EXPECT_EQ(sleeps(), (std::vector<int>{97, 1500, 2000}));
}

TEST_F(LinkExchange, SerialReplyInPiecesWithinThePostWait) {
    sim::Module &m = module();
    m.faults.split_pieces = 4;
    m.faults.split_gap_ms = 10;
    open_serial(2, B9600, sim::ConverterKind::Rs485);
    EXPECT_EQ(bus_exchange(10, 5, kReadConfig), 10);
    EXPECT_EQ(rx(0, 10), "!01400600\r");
}

TEST_F(LinkExchange, ReadNeverRunsPastTheReceiveBuffer) {
    module();
    open_serial(0, B9600);
    // A caller asking for more than the buffer holds gets a read capped to the buffer.
    EXPECT_EQ(bus_exchange(RX_BUFFER_SIZE + 100, 5, kReadConfig), 10);
    EXPECT_EQ(events(fake::SerialEvent::Read).at(0).value, RX_BUFFER_SIZE);
}

}  // namespace
