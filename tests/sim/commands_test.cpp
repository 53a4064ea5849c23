// Module replies, byte for byte: every $AA6 layout, the data replies, the writes and their
// delayed effects, the 4500/4501 specials, and each fault as it shows on the wire.
#include <gtest/gtest.h>

#include <string>

#include "protocol/catalogue.h"
#include "protocol/protocol.h"
#include "sim/sim.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string &s) { return Bytes(s.begin(), s.end()); }

// Sends one request (CR added) at time t and returns everything the module puts on the line.
Bytes ask(sim::Bus &bus, const std::string &req, int64_t t = 0, uint32_t baud = 9600)
{
    Bytes f = B(req);
    f.push_back(0x0D);
    const sim::Response r = bus.handle(f.data(), f.size(), t, baud);
    Bytes out;
    for (const auto &p : r.pieces)
        out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

std::string S(const Bytes &b) { return std::string(b.begin(), b.end()); }

struct Commands : ::testing::Test {
    sim::Bus bus;
    sim::Module &add(uint8_t address, int model, uint8_t type = 0)
    {
        return bus.add(sim::make_module(address, model, type));
    }
};

TEST_F(Commands, RegistersOfThePlainModule)
{
    sim::Module &m = add(0x0A, 4560);
    m.format = 0x1F;
    m.firmware = "V2.31";
    m.fault_code = 0x04;
    m.error_mask = 0x81;
    m.warning_mask = 0x02;
    m.mode = '1';
    m.channels[0].units.push_back(sim::make_itu(1, 1, 2, 20));
    m.channels[3].units.assign(12, sim::make_itu(0, 1, 2, 0));
    EXPECT_EQ(S(ask(bus, "$0A2")), "!0A40061F\r");
    EXPECT_EQ(S(ask(bus, "$0AM")), "!0AVOK4560\r");
    EXPECT_EQ(S(ask(bus, "$0AF")), "!0AV2.31\r");
    EXPECT_EQ(S(ask(bus, "$0AE")), "!0A048102\r");
    EXPECT_EQ(S(ask(bus, "$0AR")), "!0A1\r");
    EXPECT_EQ(S(ask(bus, "$0A6")), "!0A090100000C00000000\r");
    // Reply lengths as the catalogue has them.
    EXPECT_EQ((int)ask(bus, "$0A2").size(), command_row(CMD_READ_CONFIG)->reply_len);
    EXPECT_EQ((int)ask(bus, "$0A6").size(), command_row(CMD_READ_COUNTS)->reply_len);
    EXPECT_EQ((int)ask(bus, "$0AE").size(), command_row(CMD_READ_FAULT)->reply_len);
    // First unit's ID and temperature (sign and magnitude, high byte first).
    m.channels[0].units[0].temp = sim::Reading::constant(-1.0);
    const Bytes quick = ask(bus, "$0A*");
    ASSERT_EQ(quick.size(), 14u);
    EXPECT_EQ(Bytes(quick.begin() + 3, quick.begin() + 11),
              Bytes(m.channels[0].units[0].id.begin(), m.channels[0].units[0].id.end()));
    EXPECT_EQ(quick[11], 0x08);
    EXPECT_EQ(quick[12], 0x10);
    // $AAT exists only on 4562/4563: a wrong lead elsewhere.
    EXPECT_EQ(ask(bus, "$0AT")[0], '?');
}

TEST_F(Commands, CountLayoutsPerModel)
{
    sim::Module &m4501 = add(0x01, 4501, 0x40);
    m4501.channels[0].units.assign(3, sim::make_sensor(0x28, 1, 20));
    m4501.channels[2].digital.assign(5, sim::make_sensor(0x42, 2, 0));
    const Bytes r1 = ask(bus, "$016");
    ASSERT_EQ(r1.size(), 22u);
    EXPECT_EQ(S(Bytes(r1.begin(), r1.begin() + 5)), "!0105");  // CH0 sensors, CH2 digital
    EXPECT_EQ(Bytes(r1.begin() + 5, r1.begin() + 21),
              (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0}));

    sim::Module &m4103 = add(0x02, 4103);
    m4103.channels[0].units.assign(2, sim::make_sensor(0x28, 1, 20));
    m4103.channels[1].units.assign(3, sim::make_sensor(0x89, 1, 20));
    m4103.alarm.temp_high = 45;
    m4103.alarm.temp_low = -5;
    m4103.alarm.hum_high = 90;
    m4103.alarm.hum_low = 10;
    m4103.alarm.temp_hysteresis = 3;
    m4103.alarm.hum_hysteresis = 4;
    m4103.alarm.temp_enable = {0x01, 0x02, 0x03, 0x04};
    m4103.alarm.hum_enable = {0x05, 0x06};
    const Bytes r2 = ask(bus, "$026");
    ASSERT_EQ(r2.size(), 22u);
    EXPECT_EQ(S(Bytes(r2.begin(), r2.begin() + 5)), "!0203");
    EXPECT_EQ(Bytes(r2.begin() + 5, r2.begin() + 20),
              (Bytes{2, 3, 0, 45 + 0x37, (uint8_t)(-5 + 0x37), 90, 10, 3, 4, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(r2[21], 0x0D);

    sim::Module &m4500 = add(0x03, 4500);
    m4500.digital_in = 0xF0;
    m4500.digital_out = 0x5A;
    EXPECT_EQ(S(ask(bus, "$036")), "!03F05A00000000000000\r");

    sim::Module &m4101 = add(0x04, 4101);
    m4101.firmware = "V2.00";
    m4101.channels[0].units.assign(4, sim::make_sensor(0x28, 1, 20));
    m4101.channels[1].units.assign(2, sim::make_sensor(0x28, 1, 20));
    m4101.alarm.temp_high = 60;
    m4101.alarm.temp_low = -10;
    m4101.alarm.temp_enable = {0xFF, 0x0F, 0x00, 0x80};
    m4101.alarm.temp_hysteresis = 2;
    // CH0's count, then the alarm settings as hex pairs.
    EXPECT_EQ(S(ask(bus, "$046")), "!040304732DFF0F008002\r");
    // The second set: every channel counted.
    EXPECT_EQ(S(ask(bus, "$048")), "!04030402000000000000\r");
}

TEST_F(Commands, DataRepliesCarryRawRecordsEvenWithCR)
{
    sim::Module &m = add(0x05, 4560);
    // 0.8125 °C on a 0x28 unit is 0x000D: the record holds a CR byte.
    m.channels[1].units.push_back(sim::make_sensor(0x28, 1, 0.8125));
    m.channels[1].units.back().sort = 0x0D;
    m.channels[2].units.push_back(sim::make_itu(1, 0xAB, 0xCD, 20));
    m.channels[2].units.back().sort = 9;
    const Bytes d = ask(bus, "#051");
    ASSERT_EQ((int)d.size(), command_reply_length(CMD_READ_DATA, 1) + 1);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 5), (Bytes{'>', '0', '5', 0, 1}));
    EXPECT_EQ(d[5], 0x0D);
    EXPECT_EQ(d.back(), 0x0D);
    EXPECT_EQ(ask(bus, "*058"), (Bytes{'>', '0', '5', 0, 2, 0x0D, 9, 0x0D}));
    const Bytes ids = ask(bus, "&052");
    EXPECT_EQ(Bytes(ids.begin() + 5, ids.end()), (Bytes{1, 0xAB, 0xCD, 0, 0, 0, 0, 0, 0x0D}));
    // An empty channel: header only.
    EXPECT_EQ(ask(bus, "#057"), (Bytes{'>', '0', '5', 0, 0, 0x0D}));
}

TEST_F(Commands, ConfigurationWriteMovesAddressAndSpeed)
{
    add(0x01, 4560);
    EXPECT_EQ(S(ask(bus, "%01204107FF")), "!20\r");
    EXPECT_TRUE(ask(bus, "$01M").empty());
    EXPECT_TRUE(ask(bus, "$20M", 0, 9600).empty());  // now at 19200: noise at 9600
    EXPECT_EQ(S(ask(bus, "$202", 0, 19200)), "!204107FF\r");
    // An unknown baud code is refused and changes nothing.
    EXPECT_EQ(ask(bus, "%20304199FF", 0, 19200)[0], '?');
    EXPECT_EQ(S(ask(bus, "$20M", 0, 19200)), "!20VOK4560\r");
}

TEST_F(Commands, ResetAnswersThenStaysSilentForItsRestart)
{
    sim::Module &m = add(0x01, 4560);
    bus.restart_scale = 0.01;  // 5 s .. 30 s become 50 ms .. 300 ms
    m.channels[0].units.assign(64, sim::make_itu(1, 1, 2, 20));
    m.channels[1].units.assign(64, sim::make_itu(1, 1, 2, 20));
    EXPECT_EQ(S(ask(bus, "&019", 0)), ">01\r");
    const int64_t restart = (int64_t)((5.0 + 25.0 * 128 / 512) * 0.01 * 1e6);
    EXPECT_TRUE(ask(bus, "$01M", restart - 1000).empty());
    EXPECT_FALSE(ask(bus, "$01M", restart + 1000).empty());
}

TEST_F(Commands, SortNumbersAndItuAddressesApplyAfterReset)
{
    sim::Module &m = add(0x01, 4560);
    m.channels[0].units = {sim::make_itu(1, 1, 2, 20), sim::make_itu(1, 1, 3, 20)};
    m.channels[0].units[0].sort = 1;
    m.channels[0].units[1].sort = 2;
    bus.restart_scale = 0;
    EXPECT_EQ(S(ask(bus, std::string("/010") + char(0x11) + char(0x10 + 7))), "!01\r");
    EXPECT_EQ(ask(bus, "*010"), (Bytes{'>', '0', '1', 0, 2, 1, 2, 0x0D}));
    ask(bus, "&019", 10);
    EXPECT_EQ(ask(bus, "*010", 20), (Bytes{'>', '0', '1', 0, 2, 1, 7, 0x0D}));
    // ITU address: number 01 becomes 33, after the reset.
    EXPECT_EQ(S(ask(bus, "@01001133", 30)), "!01\r");
    // Offset code A3 (+3) for the ITU now numbered 07 lands in its ID byte 2 after reset.
    EXPECT_EQ(S(ask(bus, "@01007 2A3", 40)).substr(0, 1), "?");  // malformed digits
    EXPECT_EQ(S(ask(bus, "@010072F2", 40)), "!01\r");
    ask(bus, "&019", 50);
    EXPECT_EQ(m.channels[0].units[0].sort, 33);
    EXPECT_EQ(m.channels[0].units[1].id[2], 16 + 2);  // -2
    // Models 4562/4563 take '^' for sort writes and refuse '/'.
    sim::Module &x = add(0x02, 4563);
    x.channels[0].units.push_back(sim::make_sensor(0x28, 1, 20));
    EXPECT_EQ(ask(bus, std::string("/020") + char(0x10) + char(0x15))[0], '?');
    EXPECT_EQ(S(ask(bus, std::string("^020") + char(0x10) + char(0x15))), "!02\r");
}

TEST_F(Commands, OutputsAndDigitalIo)
{
    sim::Module &m = add(0x01, 4560);
    m.channels[2].units = {sim::make_itu(sim::ITU_8_OUT, 1, 2, 0)};
    m.channels[2].units[0].sort = 4;
    EXPECT_EQ(S(ask(bus, "/01204A5")), "!01\r");
    EXPECT_EQ(m.channels[2].units[0].outputs, 0xA5);
    EXPECT_EQ(ask(bus, "/01299A5")[0], '?');  // no ITU with that number
    EXPECT_EQ(S(ask(bus, "/01\x7F")), "!01\x7F\r");

    sim::Module &io = add(0x02, 4500);
    io.digital_in = 0xF0;
    io.analog[0] = sim::Reading::constant(45.25);
    io.analog[1] = sim::Reading::constant(123.4);
    EXPECT_EQ(ask(bus, "#020"), (Bytes{'>', '0', '2', 0xF0, 0x0D}));
    EXPECT_EQ(ask(bus, "/02\x0F"), (Bytes{'!', '0', '2', 0x0F, 0x0D}));
    EXPECT_EQ(ask(bus, "#021"), (Bytes{'>', '0', '2', 0x0F, 0x0D}));
    const Bytes text = ask(bus, "#022");
    ASSERT_EQ((int)text.size(), command_row(CMD_4500_READINGS)->reply_len + 1);
    EXPECT_EQ(S(Bytes(text.begin() + 5, text.begin() + 10)), "045.3");
    EXPECT_EQ(S(Bytes(text.begin() + 11, text.begin() + 16)), "123.4");
    // Channel 3: the same two values as 0x28 records (1/16 °C, then the TH/TL bytes).
    EXPECT_EQ(ask(bus, "#023"), (Bytes{'>', '0', '2', 0, 2, 0xD4, 0x02, 0x4B, 0x46, 0xB6, 0x07,
                                       0x4B, 0x46, 0x0D}));
    EXPECT_EQ((int)ask(bus, "#023").size(), command_row(CMD_4500_CH3)->reply_len + 1);

    sim::Module &d = add(0x03, 4501);
    d.channels[1].digital = {sim::make_sensor(0x42, 5, 0), sim::make_sensor(0x42, 6, 0)};
    d.channels[1].digital[1].inputs = 1;
    const Bytes ids = ask(bus, "^031");
    ASSERT_EQ(ids.size(), 5u + 16 + 1);
    EXPECT_EQ(ids[5], 0x42);
    EXPECT_EQ(S(ask(bus, "@03101" "0")), "!030\r");
    EXPECT_EQ(ask(bus, "~031"), (Bytes{'>', '0', '3', 0, 2, 0, 0, 1, 0, 0x0D}));
    EXPECT_EQ(ask(bus, "@03105" "0")[0], '?');  // no ITU 05
}

TEST_F(Commands, ModeSwitchAnswersAndRestarts)
{
    sim::Module &m = add(0x07, 4560);
    bus.restart_scale = 0.001;
    EXPECT_EQ(S(ask(bus, "$07W", 0)), "!07\r");
    EXPECT_TRUE(ask(bus, "$07R", 1000).empty());
    EXPECT_EQ(S(ask(bus, "$07R", 10000)), "!071\r");
    EXPECT_EQ(S(ask(bus, "$07N", 20000)), "!07\r");
    EXPECT_EQ(m.mode, '0');
}

TEST_F(Commands, SilenceAndWrongLeads)
{
    add(0x01, 4560);
    EXPECT_TRUE(ask(bus, "$02M").empty());       // nobody there
    EXPECT_EQ(S(ask(bus, "$01Q")), "?01\r");     // not understood
    EXPECT_EQ(ask(bus, "#019")[0], '?');
    EXPECT_TRUE(ask(bus, "$01M", 0, 4800).empty());  // wrong speed
    add(0xAB, 4560);
    EXPECT_TRUE(ask(bus, "$abM").empty());  // lower-case digits are not its address
    EXPECT_EQ(S(ask(bus, "$ABM")), "!ABVOK4560\r");
}

TEST_F(Commands, FaultsShowOnTheWire)
{
    sim::Module &m = add(0x01, 4560);
    m.channels[0].units = {sim::make_itu(1, 1, 2, 20), sim::make_itu(1, 1, 3, 20)};
    sim::Faults &f = m.faults;

    f.wrong_lead = true;
    EXPECT_EQ(S(ask(bus, "$01M")), "?01VOK4560\r");
    f = {};
    f.wrong_address = true;
    EXPECT_EQ(S(ask(bus, "$01M")), "!02VOK4560\r");
    f = {};
    f.short_by = 3;
    EXPECT_EQ(S(ask(bus, "$01M")), "!01VOK45");
    f = {};
    f.garbage = {0xFF, 0x00};
    EXPECT_EQ(ask(bus, "$01R"), (Bytes{0xFF, 0x00, '!', '0', '1', '0', 0x0D}));
    f = {};
    f.all_ff = true;
    const Bytes ff = ask(bus, "#010");
    EXPECT_EQ(Bytes(ff.begin() + 5, ff.end()),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D}));
    f = {};
    m.channels[0].units[1].sort = 5;
    f.duplicate_sort = true;
    EXPECT_EQ(ask(bus, "*010"), (Bytes{'>', '0', '1', 0, 2, 1, 1, 0x0D}));
    f = {};
    f.data_status = 2;
    EXPECT_EQ(ask(bus, "*010")[3], 2);
    f = {};
    f.silent = true;
    EXPECT_TRUE(ask(bus, "$01M").empty());

    // Slow and split: timing of the pieces.
    f = {};
    f.slow_ms = 150;
    f.split_pieces = 3;
    f.split_gap_ms = 40;
    Bytes req = B("$01M\r");
    const sim::Response r = bus.handle(req.data(), req.size(), 0, 9600);
    ASSERT_EQ(r.pieces.size(), 3u);
    EXPECT_EQ(r.pieces[0].delay_us, m.turnaround_us + 150000);
    EXPECT_EQ(r.pieces[1].delay_us, 40000);
    Bytes all;
    for (auto &p : r.pieces)
        all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    EXPECT_EQ(S(all), "!01VOK4560\r");

    // Busy after a reset: a wrong lead for a while once the restart is over.
    f = {};
    f.busy_after_reset_ms = 500;
    bus.restart_scale = 0;
    ask(bus, "&019", 0);
    EXPECT_EQ(S(ask(bus, "$01M", 100000)), "?01\r");
    EXPECT_EQ(S(ask(bus, "$01M", 600000)), "!01VOK4560\r");
}

}  // namespace
