// Units warmed one after another (and the control command that asks for it), and the sort
// number write as the module takes it: refused beyond the channel, applied at the restart.
#include <gtest/gtest.h>

#include <string>

#include "sim/voksim.h"
#include "sim/warm.h"

namespace {

std::vector<uint8_t> ask(sim::Bus &bus, const std::string &req, int64_t t = 0)
{
    std::vector<uint8_t> f(req.begin(), req.end());
    f.push_back(0x0D);
    std::vector<uint8_t> out;
    for (const auto &p : bus.handle(f.data(), f.size(), t, 9600).pieces) out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

// The positions above 32 °C at bus second s.
std::vector<int> warm_at(const sim::Module &m, double s)
{
    std::vector<int> out;
    const auto &units = m.channels[1].units;
    for (size_t i = 0; i < units.size(); ++i)
        if (units[i].temp.at(static_cast<int64_t>(s * 1e6)) > 32.0) out.push_back(static_cast<int>(i));
    return out;
}

TEST(Warm, UnitsCrossOneAfterAnotherInTheGivenOrder)
{
    sim::Module m = sim::make_module(0x01, 4301, 0x80);
    for (int i = 0; i < 4; ++i) m.channels[1].units.push_back(sim::make_sensor(0x28, static_cast<uint32_t>(i + 1), 25.0));
    ASSERT_TRUE(sim::warm_in_turn(m, 1, {2, 0, 3}, 20.0, 40.0, 10.0, 5.0));
    EXPECT_EQ(warm_at(m, 0.0), std::vector<int>{});
    EXPECT_EQ(warm_at(m, 10.5), std::vector<int>{});        // unit 2 rising, at 30 °C
    EXPECT_EQ(warm_at(m, 11.0), std::vector<int>{2});
    EXPECT_EQ(warm_at(m, 16.0), (std::vector<int>{0, 2}));
    EXPECT_EQ(warm_at(m, 100.0), (std::vector<int>{0, 2, 3}));
    EXPECT_DOUBLE_EQ(m.channels[1].units[1].temp.at(0), 25.0);  // not in the order: untouched

    // A position beyond the channel refuses the whole order.
    EXPECT_FALSE(sim::warm_in_turn(m, 1, {0, 4}, 40.0, 20.0, 0.0, 1.0));
    EXPECT_DOUBLE_EQ(m.channels[1].units[0].temp.at(200'000'000), 40.0);
}

TEST(Warm, ControlCommandStartsOneGapFromNow)
{
    voksim::World w;
    sim::Module &m = w.bus.add(sim::make_module(0x01, 4301, 0x80));
    for (int i = 0; i < 3; ++i) m.channels[1].units.push_back(sim::make_sensor(0x28, static_cast<uint32_t>(i + 1), 25.0));
    EXPECT_EQ(w.control("warm 01 1 4 20 40 1 0", 50'000'000), "ok");
    EXPECT_EQ(warm_at(w.bus.modules[0], 54.0), std::vector<int>{});
    EXPECT_EQ(warm_at(w.bus.modules[0], 55.0), std::vector<int>{1});
    EXPECT_EQ(warm_at(w.bus.modules[0], 59.0), (std::vector<int>{0, 1}));
    for (const char *bad : {"warm 01 1 4 20 40", "warm 01 1 4 20 40 3", "warm 01 9 4 20 40 0", "warm 01 1 -1 20 40 0",
                            "warm 01 1 4 20 40 x", "warm 02 1 4 20 40 0"})
        EXPECT_EQ(w.control(bad, 0).rfind("error:", 0), 0u) << bad;
}

TEST(SortWrite, RefusedBeyondTheChannelAndAppliedAtTheRestart)
{
    sim::Bus bus;
    sim::Module &m = bus.add(sim::make_module(0x01, 4301, 0x80));
    for (int i = 0; i < 3; ++i) {
        m.channels[0].units.push_back(sim::make_sensor(0x28, static_cast<uint32_t>(i + 1), 25.0));
        m.channels[0].units.back().sort = static_cast<uint8_t>(i);
    }
    bus.restart_scale = 0;
    const auto write = [&](int pos, int number) {
        return ask(bus, std::string("/010") + char(pos + 0x10) + char(number + 0x10));
    };
    EXPECT_EQ(write(3, 5)[0], '?');
    EXPECT_EQ(write(2, 12), (std::vector<uint8_t>{'!', '0', '1', 0x0D}));
    EXPECT_EQ(write(0, 64), (std::vector<uint8_t>{'!', '0', '1', 0x0D}));
    // Until the restart the read still gives the old numbers.
    EXPECT_EQ(ask(bus, "*010"), (std::vector<uint8_t>{'>', '0', '1', 0, 3, 0, 1, 2, 0x0D}));
    bus.power_cycle(0x01, 0);
    EXPECT_EQ(ask(bus, "*010", 1000), (std::vector<uint8_t>{'>', '0', '1', 0, 3, 64, 1, 12, 0x0D}));
}

}  // namespace
