// voksim's command line and run-time control commands, acting on the simulated world.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/voksim.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool parse(std::vector<std::string> args, voksim::Options &o, std::string &err)
{
    args.insert(args.begin(), "voksim");
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    return voksim::parse_options((int)argv.size(), argv.data(), o, err);
}

TEST(VoksimOptions, Faces)
{
    voksim::Options o;
    std::string err;
    ASSERT_TRUE(parse({"bus.json", "--tcp", "127.0.0.1:0", "--udp", "127.0.0.2", "--udp",
                       "127.0.0.3:4000/24", "--pty", "/tmp/x", "--echo", "--restart-scale", "0.1"},
                      o, err))
        << err;
    EXPECT_EQ(o.bus_file, "bus.json");
    EXPECT_TRUE(o.tcp);
    EXPECT_EQ(o.tcp_at.port, 0);
    ASSERT_EQ(o.udp.size(), 2u);
    EXPECT_EQ(o.udp[0].port, 30718);
    EXPECT_EQ(o.udp[0].prefix, -1);
    EXPECT_EQ(o.udp[1].host, "127.0.0.3");
    EXPECT_EQ(o.udp[1].port, 4000);
    EXPECT_EQ(o.udp[1].prefix, 24);
    EXPECT_EQ(o.echo, 1);

    voksim::Options bad;
    EXPECT_FALSE(parse({"bus.json"}, bad, err));
    EXPECT_EQ(err, "nothing to serve: give --pty, --tcp or --udp");
    EXPECT_FALSE(parse({"--tcp", "127.0.0.1"}, bad, err));
    EXPECT_EQ(err, "--tcp wants HOST:PORT, not 127.0.0.1");
    EXPECT_FALSE(parse({"--udp", "127.0.0.1/40"}, bad, err));
    EXPECT_FALSE(parse({"--tcp", "127.0.0.1:0", "--bogus"}, bad, err));
    EXPECT_EQ(err, "unknown option --bogus");
}

struct Control : ::testing::Test {
    voksim::World w;
    void SetUp() override
    {
        voksim::Options o;
        o.tcp = true;
        o.tcp_at = {"127.0.0.1", 10001, -1};
        o.udp.push_back({"127.0.0.2", 30718, 16});
        std::string err;
        ASSERT_TRUE(voksim::build_world(o, w, err)) << err;
        sim::Module m = sim::make_module(0x01, 4560);
        m.channels[0].units = {sim::make_itu(1, 1, 2, 20.0), sim::make_itu(1, 1, 3, 21.0)};
        w.bus.add(m);
        w.bus.add(sim::make_module(0x02, 4500));
    }
    Bytes ask(const std::string &req, int64_t t = 0)
    {
        Bytes f(req.begin(), req.end());
        f.push_back(0x0D);
        Bytes out;
        for (const auto &p : w.bus.handle(f.data(), f.size(), t, 9600).pieces)
            out.insert(out.end(), p.bytes.begin(), p.bytes.end());
        return out;
    }
    sim::Unit &unit(int pos) { return w.bus.modules[0].channels[0].units[pos]; }
};

TEST_F(Control, WorldFromOptions)
{
    ASSERT_EQ(w.nets.size(), 1u);
    EXPECT_EQ(w.nets[0]->config.ip, sim::ip4(127, 0, 0, 2));
    EXPECT_EQ(w.nets[0]->config.mask, sim::ip4(255, 255, 0, 0));
    EXPECT_EQ(w.nets[0]->config.tcp_port, 10001);
}

TEST_F(Control, Readings)
{
    EXPECT_EQ(w.control("set 01 0 1 temp -4.5", 0), "ok");
    EXPECT_DOUBLE_EQ(unit(1).temp.at(123), -4.5);
    EXPECT_EQ(w.control("ramp 01 0 0 temp 40 10", 5'000'000), "ok");
    EXPECT_DOUBLE_EQ(unit(0).temp.at(5'000'000), 20.0);
    EXPECT_DOUBLE_EQ(unit(0).temp.at(10'000'000), 30.0);
    EXPECT_DOUBLE_EQ(unit(0).temp.at(60'000'000), 40.0);
    EXPECT_EQ(w.control("sine 01 0 0 hum 50 10 40", 0), "ok");
    EXPECT_NEAR(unit(0).hum.at(10'000'000), 60.0, 1e-9);
    EXPECT_EQ(w.control("absent 01 0 1 on", 0), "ok");
    const Bytes d = ask("#010");
    EXPECT_EQ(Bytes(d.begin() + 9, d.begin() + 13), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(w.control("open 01 0 0 on", 0), "ok");
    EXPECT_TRUE(unit(0).open);
    EXPECT_EQ(w.control("digital-in 02 0x0F", 0), "ok");
    EXPECT_EQ(ask("#020")[3], 0x0F);
    EXPECT_EQ(w.control("analog 02 1 12.5", 0), "ok");
    const Bytes t = ask("#022");
    EXPECT_EQ(std::string(t.begin() + 11, t.begin() + 16), "012.5");
}

TEST_F(Control, FaultsAndPower)
{
    EXPECT_EQ(w.control("fault 01 wrong-lead on", 0), "ok");
    EXPECT_EQ(ask("$01R")[0], '?');
    EXPECT_EQ(w.control("fault 01 garbage FF 00", 0), "ok");
    EXPECT_EQ(ask("$01R"), (Bytes{0xFF, 0x00, '?', '0', '1', '0', 0x0D}));
    EXPECT_EQ(w.control("fault 01 clear", 0), "ok");
    EXPECT_EQ(ask("$01R"), (Bytes{'!', '0', '1', '0', 0x0D}));
    // A write-protected module refuses the mode switch and keeps its mode; reads still work.
    EXPECT_EQ(w.control("fault 01 refuse-writes on", 0), "ok");
    EXPECT_EQ(ask("$01W"), (Bytes{'?', '0', '1', 0x0D}));
    EXPECT_EQ(ask("$01R"), (Bytes{'!', '0', '1', '0', 0x0D}));
    EXPECT_EQ(w.control("fault 01 refuse-writes off", 0), "ok");
    EXPECT_EQ(w.control("fault 01 split 3 20", 0), "ok");
    EXPECT_EQ(w.bus.modules[0].faults.split_pieces, 3);
    EXPECT_EQ(w.control("fault-status 01 4 0x81 2", 0), "ok");
    EXPECT_EQ(ask("$01E"), (Bytes{'!', '0', '1', '0', '4', '8', '1', '0', '2', 0x0D}));
    w.bus.restart_scale = 0.01;
    EXPECT_EQ(w.control("power 01", 1'000'000), "ok restarting");
    EXPECT_TRUE(ask("$01M", 1'010'000).empty());
    EXPECT_FALSE(ask("$01M", 1'200'000).empty());
    EXPECT_EQ(w.control("echo on", 0), "ok");
    EXPECT_TRUE(w.serial.echo);
    EXPECT_EQ(w.control("tcp-close-after 3", 0), "ok");
    EXPECT_EQ(w.nets[0]->close_after_bytes, 3);
    EXPECT_EQ(w.control("quit", 0), "ok bye");
    EXPECT_TRUE(w.quit);
}

TEST_F(Control, Refusals)
{
    EXPECT_EQ(w.control("set 07 0 0 temp 1", 0), "error: no module at that address");
    EXPECT_EQ(w.control("set 01 0 9 temp 1", 0), "error: no unit at that position");
    EXPECT_EQ(w.control("set 01 8 0 temp 1", 0), "error: set ADDR CH POS ...");
    EXPECT_EQ(w.control("set 01 0 0 pressure 1", 0), "error: set ADDR CH POS temp|hum ...");
    EXPECT_EQ(w.control("set 01 0 0 temp nan", 0), "error: set ADDR CH POS temp|hum VALUE");
    EXPECT_EQ(w.control("fault 01 slow", 0), "error: fault ADDR slow N");
    EXPECT_EQ(w.control("fault 01 melt", 0), "error: unknown fault melt");
    EXPECT_EQ(w.control("echo maybe", 0), "error: echo on|off");
    EXPECT_EQ(w.control("frobnicate 01", 0), "error: unknown command frobnicate (try help)");
    EXPECT_EQ(w.control("", 0), "");
    EXPECT_NE(w.control("list", 0).find("01 VOK4560 type 40 baud code 06 units 2 0 0 0 0 0 0 0"),
              std::string::npos);
}

}  // namespace
