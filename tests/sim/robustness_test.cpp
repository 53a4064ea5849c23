// Whatever arrives from outside — random frames on the line, mangled bus files — the simulator
// answers or refuses without crashing, and every answer is a well-formed frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "sim/sim.h"

namespace {

TEST(Robustness, RandomFramesGetWellFormedAnswersOrSilence)
{
    sim::Bus bus = sim::load_bus_file(std::string(VOK_SOURCE_DIR) + "/sim/buses/demo.json");
    bus.restart_scale = 0.0001;
    std::mt19937 rng(12345);
    const char leads[] = "$%#&*/^~@";
    const char body[] = "0123456789ABCDEF2MF6ETRW8N*9";
    int answered = 0;
    for (int i = 0; i < 20000; i++) {
        std::vector<uint8_t> f;
        f.push_back((uint8_t)leads[rng() % 9]);
        f.push_back('0');
        f.push_back((uint8_t)("0123456789AB"[rng() % 12]));
        const int extra = (int)(rng() % 10);
        for (int k = 0; k < extra; k++)
            f.push_back(rng() % 4 ? (uint8_t)body[rng() % (sizeof body - 1)] : (uint8_t)rng());
        f.push_back(0x0D);
        const sim::Response r = bus.handle(f.data(), f.size(), (int64_t)i * 1000, 9600);
        if (r.empty())
            continue;
        answered++;
        std::vector<uint8_t> all;
        for (const auto &p : r.pieces)
            all.insert(all.end(), p.bytes.begin(), p.bytes.end());
        ASSERT_GE(all.size(), 4u);
        EXPECT_TRUE(all[0] == '!' || all[0] == '>' || all[0] == '?') << sim::printable(f);
        EXPECT_EQ(all.back(), 0x0D) << sim::printable(f);
    }
    EXPECT_GT(answered, 1000);
}

TEST(Robustness, RandomBytesOnTheLine)
{
    sim::Bus bus = sim::load_bus_file(std::string(VOK_SOURCE_DIR) + "/sim/buses/demo.json");
    sim::SerialConverter conv(&bus);
    conv.echo = true;
    std::mt19937 rng(777);
    int64_t t = 0;
    std::vector<uint8_t> out;
    for (int i = 0; i < 2000; i++) {
        std::vector<uint8_t> chunk(rng() % 40);
        for (auto &b : chunk)
            b = (uint8_t)(rng() % 3 ? "$#&*/0123456789M6\r"[rng() % 18] : rng());
        t = conv.send(t, chunk.data(), chunk.size(), 9600);
        conv.take(t, out);
    }
    conv.take(sim::NEVER - 1, out);
    EXPECT_EQ(conv.next_arrival_us(), sim::NEVER);
    // Two CRs end any half frame the noise left; then the line serves again.
    conv.echo = false;
    const std::string req = "\r\r$02M\r";
    t = conv.send(t + 60000000, (const uint8_t *)req.data(), req.size(), 9600);  // past restarts
    out.clear();
    conv.take(sim::NEVER - 1, out);
    EXPECT_EQ(std::string(out.begin(), out.end()), "!02VOK4101\r");
}

TEST(Robustness, MangledBusFilesAreRefusedCleanly)
{
    std::string text;
    {
        FILE *f = std::fopen((std::string(VOK_SOURCE_DIR) + "/sim/buses/demo.json").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    std::mt19937 rng(99);
    int refused = 0;
    for (int i = 0; i < 1000; i++) {
        std::string t = text;
        const int edits = 1 + (int)(rng() % 3);
        for (int k = 0; k < edits; k++) {
            const size_t at = rng() % t.size();
            switch (rng() % 3) {
            case 0: t.erase(at, 1 + rng() % 8); break;
            case 1: t.insert(at, 1, "{}[]\",:0x-9ez\n"[rng() % 14]); break;
            default: t[at] = (char)rng(); break;
            }
        }
        try {
            sim::parse_bus(t, "m.json");
        } catch (const sim::BusFileError &e) {
            refused++;
            EXPECT_EQ(e.file, "m.json");
            EXPECT_GE(e.line, 1);
        }
    }
    EXPECT_GT(refused, 500);
}

}  // namespace
