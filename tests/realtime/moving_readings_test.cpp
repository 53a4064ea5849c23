// Simulator readings that move for the curve view: saw-tooth ramps, held steps and glitch
// windows from a bus file, and a sweep that passes over a glitching unit.
#include <gtest/gtest.h>

#include "sim/sim.h"
#include "tests/realtime/curve_fixture.h"

namespace {

const char Bus[] = R"({ "modules": [ { "address": "0x01", "model": 4101, "channels": { "0": [
  { "family": "0x28", "serial": 1, "temp": { "ramp": 15.0, "to": 35.0, "period_s": 100 } },
  { "family": "0x28", "serial": 2, "temp": { "steps": [[0, 20.0], [10, 30.0], [20, 25.0]] } },
  { "family": "0x28", "serial": 3, "temp": { "steps": [[0, 20.0], [10, 30.0]], "period_s": 20 },
    "glitch": { "every_s": 30, "for_s": 3 } } ] } } ] })";

TEST(MovingReadings, RampsStepsAndGlitchWindowsFromABusFile)
{
    sim::Bus bus = sim::parse_bus(Bus);
    const auto &u = bus.modules[0].channels[0].units;
    struct {
        size_t unit;
        double t, want;
    } points[] = {
        {0, 0, 15.0},  {0, 50, 25.0},  {0, 99, 34.8},  {0, 100, 15.0}, {0, 175, 30.0},
        {1, 0, 20.0},  {1, 9.9, 20.0}, {1, 10, 30.0},  {1, 25, 25.0},  {1, 1000, 25.0},
        {2, 5, 20.0},  {2, 15, 30.0},  {2, 25, 20.0},  {2, 35, 30.0},
    };
    for (const auto &p : points)
        EXPECT_NEAR(u[p.unit].temp.at(static_cast<int64_t>(p.t * 1e6)), p.want, 1e-9) << p.unit << " at " << p.t;

    // Glitch: all 0xFF for the last 3 s of every 30 s, a normal record otherwise.
    const sim::Module &m = bus.modules[0];
    auto rec = [&](double t) { return sim::encode_record(u[2], m, 0, static_cast<int64_t>(t * 1e6)); };
    std::array<uint8_t, 4> ff{0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_NE(rec(26.9), ff);
    EXPECT_EQ(rec(27.0), ff);
    EXPECT_EQ(rec(29.9), ff);
    EXPECT_NE(rec(30.0), ff);
    EXPECT_EQ(rec(59.0), ff);

    for (const char *bad : {R"({ "ramp": 1 })", R"({ "steps": [] })", R"({ "ramp": 1, "to": 2, "steps": [[0, 1]] })"}) {
        std::string text = std::string(R"({ "modules": [ { "address": 1, "model": 4101, "channels": { "0": [ { "family": 40, "temp": )") +
                           bad + " } ] } } ] }";
        EXPECT_THROW(sim::parse_bus(text), sim::BusFileError) << bad;
    }
    EXPECT_THROW(sim::parse_bus(R"({ "modules": [ { "address": 1, "model": 4101, "channels": { "0": [
        { "family": 40, "glitch": { "every_s": 2, "for_s": 2 } } ] } } ] })"),
                 sim::BusFileError);
}

using GlitchSweep = CurveFixture;

TEST_F(GlitchSweep, GlitchSamplesLeaveGapsWhileTheOtherCurveGoesOn)
{
    sim::Module &m = add_module(0x01, 4101);
    m.channels[0].units = {sim::make_sensor(0x28, 1, 20.0), sim::make_sensor(0x28, 2, 30.0)};
    m.channels[0].units[1].glitch_every_s = 15;
    m.channels[0].units[1].glitch_for_s = 2;  // about one sample in ten
    view_on(0x01, true, {0, 1});
    sweep(40);

    // Which samples came back all 0xFF for the second unit.
    std::vector<bool> glitched;
    for (const auto &r : data_replies()) glitched.push_back(r[9] == 0xFF && r[10] == 0xFF && r[11] == 0xFF && r[12] == 0xFF);
    ASSERT_EQ(glitched.size(), 40u);
    int gaps = 0;
    const CurvePlot &p = curve_plot;
    int red_y = p.bottom - 100, yellow_y = p.bottom - 300;  // 20 and 30 degrees
    for (int k = 1; k < 40; ++k) {
        // Red: every segment. Yellow: no segment for a glitched sample.
        EXPECT_EQ(canvas().at(p.left + 2 * k, red_y), GFX_RGB(255, 0, 0)) << k;
        EXPECT_EQ(canvas().at(p.left + 2 * k, yellow_y) == GFX_RGB(255, 255, 0), !glitched[static_cast<size_t>(k)]) << k;
        gaps += glitched[static_cast<size_t>(k)];
    }
    EXPECT_GE(gaps, 3);
    EXPECT_LE(gaps, 8);
}

}  // namespace
