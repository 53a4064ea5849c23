// Record encoders: the worked records the host's decoders are known by, and round trips
// through decoders written here from the host's number formats.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "sim/sim.h"

namespace {

using Rec = std::array<uint8_t, 4>;

// The host's number formats, written out independently of the encoders.
double t16(uint8_t lsb, uint8_t msb)
{
    if (msb < 0xF8)
        return ((msb & 7) * 256 + lsb) * 0.0625;
    return -0.0625 - 0.0625 * (0xFFFF - (256 * msb + lsb));
}
double t32(uint8_t lsb, uint8_t msb)
{
    if (!(msb & 0x80))
        return (32 * msb + (lsb >> 3)) * 0.03125;
    return -0.03125 * (8192 - 32 * msb - (lsb >> 3));
}
double sm16(uint8_t lo, uint8_t hi)
{
    const double m = ((hi & 7) * 256 + lo) * 0.0625;
    return (hi & 0x08) ? -m : m;
}
double fam10(const Rec &r)
{
    const int m = r[0] & 0xFE;
    if (r[3] == 0)
        return r[1] == 0xFF ? -0.5 - (255 - r[0]) * 0.5 : r[0] * 0.5;
    const double frac = (double)(r[3] - r[2]) / r[3];
    return r[1] == 0xFF ? frac - ((256 - m) * 0.5 + 0.25) : frac + (m * 0.5 - 0.25);
}
double ratio_humidity(uint8_t b2, uint8_t b3)
{
    return ((b2 + 112.0) / (b3 + 336.0) - 0.2354) / 0.00474;
}

sim::Module module(int model) { return sim::make_module(1, model); }

Rec record(const sim::Unit &u, int model, int channel = 0)
{
    return sim::encode_record(u, module(model), channel, 0);
}

TEST(Encode, WorkedRecordsOfThe28Family)
{
    EXPECT_EQ(record(sim::make_sensor(0x28, 1, 125.0), 4560), (Rec{0xD0, 0x07, 0x4B, 0x46}));
    EXPECT_EQ(record(sim::make_sensor(0x28, 1, -10.125), 4560), (Rec{0x5E, 0xFF, 0x4B, 0x46}));
    // Never the W13 form by accident: byte 2 is not 0xFF.
    const Rec r = record(sim::make_sensor(0x28, 1, 1.5), 4101);
    EXPECT_NE(r[2], 0xFF);
    EXPECT_DOUBLE_EQ(t16(r[0], r[1]), 1.5);
}

TEST(Encode, WorkedRecordOf28In13BitForm)
{
    sim::Unit u = sim::make_sensor(0x28, 1, 1.5625);
    u.w13 = true;
    EXPECT_EQ(record(u, 4560), (Rec{0x90, 0x01, 0xFF, 0xFF}));
    u.temp = sim::Reading::constant(-20.25);
    const Rec r = record(u, 4560);
    EXPECT_EQ(r[0] & 7, 0);
    const uint16_t raw = (uint16_t)(256 * r[1] + r[0]);
    EXPECT_DOUBLE_EQ(-(((0x10000 - raw) & 0xFFFF) >> 3) * 0.03125, -20.25);
}

TEST(Encode, WorkedRecordOfThe10Family)
{
    EXPECT_EQ(record(sim::make_sensor(0x10, 1, 25.0), 4101), (Rec{0x32, 0x00, 0x0C, 0x10}));
}

TEST(Encode, FamiliesRoundTripOverTheirRange)
{
    for (double c = -55.0; c <= 125.0; c += 0.8125) {
        SCOPED_TRACE(c);
        Rec r = record(sim::make_sensor(0x28, 7, c), 4560);
        EXPECT_NEAR(t16(r[0], r[1]), c, 1.0 / 32);
        r = record(sim::make_sensor(0x22, 7, c), 4560);
        EXPECT_NEAR(t16(r[0], r[1]), c, 1.0 / 32);
        r = record(sim::make_sensor(0x10, 7, c), 4101);
        EXPECT_NEAR(fam10(r), c, 1.0 / 16);
        EXPECT_EQ(r[1], c < 0 ? 0xFF : 0x00);
        sim::Unit u = sim::make_sensor(0x26, 7, c);
        u.hum = sim::Reading::constant(40.0);
        r = record(u, 4560);
        EXPECT_NEAR(t32(r[0], r[1]), c, 1.0 / 64);
        EXPECT_NEAR(ratio_humidity(r[2], r[3]), 40.0, 0.5);
    }
}

TEST(Encode, HumidityAndVoltageOfThe26Family)
{
    sim::Unit u = sim::make_sensor(0x26, 9, 20.0);
    for (double h : {0.0, 12.5, 50.0, 99.0}) {
        u.hum = sim::Reading::constant(h);
        const Rec r = record(u, 4101);
        EXPECT_NEAR(ratio_humidity(r[2], r[3]), h, 0.5) << h;
    }
    // Models 4300, 4562 and 4563 carry a voltage in 1/100 V, low byte first.
    u.hum = sim::Reading::constant(10.0);
    const Rec r = record(u, 4563);
    EXPECT_EQ(r[2], 0xE8);
    EXPECT_EQ(r[3], 0x03);
    // A 0xFF byte there reads as "no voltage": the encoder steps 0.01 V around it.
    for (double v = 0.0; v <= 10.0; v += 0.01) {
        u.hum = sim::Reading::constant(v);
        const Rec q = record(u, 4562);
        ASSERT_TRUE(q[2] != 0xFF && q[3] != 0xFF) << v;
        EXPECT_NEAR((256 * q[3] + q[2]) * 0.01, v, 0.0151) << v;
    }
}

TEST(Encode, ItuRecords)
{
    sim::Unit th = sim::make_itu(sim::ITU_TEMP_HUM, 0x12, 0x34, -12.25);
    th.hum = sim::Reading::constant(55.5);
    Rec r = record(th, 4560);
    EXPECT_DOUBLE_EQ(sm16(r[2], r[3]), -12.25);
    EXPECT_EQ(r[1], 111);  // 0.5 %RH steps

    sim::Unit hot = sim::make_itu(sim::ITU_HIGH_TEMP, 1, 2, 850.25);
    r = record(hot, 4560);
    EXPECT_DOUBLE_EQ((256 * r[2] + r[1]) * 0.25, 850.25);
    EXPECT_NE(r[2], 0x80);  // not the open-thermocouple marker

    sim::Unit eight = sim::make_itu(sim::ITU_8_TEMP, 1, 2, -3.5);
    eight.point = 5;
    r = record(eight, 4560);
    EXPECT_EQ(r[2] >> 5, 5);
    EXPECT_EQ(r[2] & 0x10, 0);
    EXPECT_DOUBLE_EQ(sm16(r[1], r[2] & 0x0F), -3.5);

    sim::Unit an = sim::make_itu(sim::ITU_ANALOG, 1, 2, 5.0);
    an.point = 1;
    r = record(an, 4560);
    EXPECT_EQ(r[2], 0x23);
    EXPECT_EQ(r[1], 0xFF);

    hot.open = true;
    EXPECT_EQ(record(hot, 4560)[2], 0x80);  // thermocouple open
    eight.open = true;
    r = record(eight, 4560);
    EXPECT_EQ(r[1], 0xFF);
    EXPECT_EQ(r[2], (5 << 5) | 0x10);  // point 5 not connected

    sim::Unit io = sim::make_itu(sim::ITU_4IN_4OUT, 1, 2, 0);
    io.inputs = 0xA5;
    io.outputs = 0x3C;
    r = record(io, 4560);
    EXPECT_EQ(r[1], 0x05);
    EXPECT_EQ(r[2], 0x0C);
    EXPECT_FALSE(r[2] == 0xFF && r[3] == 0xFF);
}

TEST(Encode, Model4103TempHumidityModulesOnChannels1And2)
{
    sim::Unit u = sim::make_sensor(0x89, 3, -2.0);
    u.sort = 7;
    u.hum = sim::Reading::constant(33.0);
    const Rec r = record(u, 4103, 1);
    EXPECT_EQ(r[0], 7);  // the unit's number leads the record
    EXPECT_EQ(r[1], 66);
    EXPECT_DOUBLE_EQ(sm16(r[2], r[3]), -2.0);
}

TEST(Encode, AbsentUnitIsAllFF)
{
    sim::Unit u = sim::make_sensor(0x28, 1, 20.0);
    u.absent = true;
    EXPECT_EQ(record(u, 4560), (Rec{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(Encode, ReadingSources)
{
    sim::Reading s;
    s.kind = sim::Reading::Sine;
    s.value = 20;
    s.amplitude = 5;
    s.period_s = 40;
    EXPECT_NEAR(s.at(0), 20, 1e-9);
    EXPECT_NEAR(s.at(10'000'000), 25, 1e-9);
    EXPECT_NEAR(s.at(30'000'000), 15, 1e-9);

    sim::Reading d;
    d.kind = sim::Reading::Drift;
    d.value = 10;
    d.amplitude = 2;
    d.period_s = 100;
    for (int64_t t = 0; t < 300'000'000; t += 7'000'000) {
        EXPECT_LE(std::fabs(d.at(t) - 10), 2.0 + 1e-9);
    }
    EXPECT_NE(d.at(0), d.at(25'000'000));

    sim::Reading sc;
    sc.kind = sim::Reading::Script;
    sc.points = {{10, 20}, {20, 40}};
    EXPECT_DOUBLE_EQ(sc.at(0), 20);
    EXPECT_DOUBLE_EQ(sc.at(15'000'000), 30);
    EXPECT_DOUBLE_EQ(sc.at(99'000'000), 40);
}

}  // namespace
