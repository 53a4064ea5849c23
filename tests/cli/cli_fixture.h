// Shared set-up of vokcli's scenario tests: the demo bus (or one built by the test) behind a
// fake COM1 and a fake network converter at 127.0.0.1:10001, vokcli run in-process on
// virtual time with its output and errors captured.
#ifndef VOK_TESTS_CLI_FIXTURE_H
#define VOK_TESTS_CLI_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/fake/fake_platform.h"
#include "sim/sim.h"

struct CliRun {
    int rc;
    std::string out, err;
};

class CliFixture : public ::testing::Test {
protected:
    sim::Bus bus;
    std::unique_ptr<sim::SerialConverter> conv;
    std::unique_ptr<sim::NetConverter> netconv;
    std::vector<std::pair<bool, std::vector<uint8_t>>> traffic;  // (request?, bytes) as the bus saw them

    void SetUp() override
    {
        fake::reset();
        fake::reset_console();
        bus = sim::load_bus_file(std::string(VOK_TEST_SOURCE_DIR) + "/sim/buses/demo.json");
        attach();
    }

    // The small bus of the read, watch and field cases: module 0x21 (model 4201, type 80) with
    // two 1-Wire sensors on CH0, module 0x23 (model 4500) with a fixed first reading.
    void use_small_bus()
    {
        bus.modules.clear();
        sim::Module &m = bus.add(sim::make_module(0x21, 4201, 0x80));
        m.channels[0].units = {sim::make_sensor(0x28, 0x1001, 21.5), sim::make_sensor(0x28, 0x1002, -10.125)};
        bus.add(sim::make_module(0x23, 4500)).analog[0] = sim::Reading::constant(64.875);
    }

    // (Re)connects COM1 and the network converter to `bus`.
    void attach()
    {
        conv = std::make_unique<sim::SerialConverter>(&bus);
        netconv = std::make_unique<sim::NetConverter>(&bus);
        netconv->line_baud = 9600;
        fake::attach_serial("COM1", conv.get());
        fake::attach_tcp(sim::ip4(127, 0, 0, 1), 10001, netconv.get());
        traffic.clear();
        bus.on_traffic = [this](int64_t, bool request, const std::vector<uint8_t> &b) { traffic.emplace_back(request, b); };
    }

    // vokcli with its output to `out` (nullptr: captured into CliRun::out).
    static CliRun run(std::vector<std::string> args, FILE *out = nullptr)
    {
        args.insert(args.begin(), "vokcli");
        std::vector<char *> argv;
        for (auto &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        char *ob = nullptr, *eb = nullptr;
        size_t on = 0, en = 0;
        FILE *o = out ? out : open_memstream(&ob, &on);
        FILE *e = open_memstream(&eb, &en);
        CliRun r;
        r.rc = cli_main((int)args.size(), argv.data(), o, e);
        if (!out) fclose(o);
        fclose(e);
        if (!out) r.out.assign(ob, on);
        r.err.assign(eb, en);
        free(ob);
        free(eb);
        return r;
    }

    static std::vector<std::string> lines(const std::string &text)
    {
        std::vector<std::string> out;
        size_t at = 0;
        while (at < text.size()) {
            size_t nl = text.find('\n', at);
            if (nl == std::string::npos) nl = text.size();
            out.push_back(text.substr(at, nl - at));
            at = nl + 1;
        }
        return out;
    }

    static std::string slurp(const std::string &path)
    {
        std::ifstream f(path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

    // The unit's eight ID bytes in hex, with `sep` after each ("28 6A ... " or "286A...").
    static std::string id_hex(const sim::Unit &u, const char *sep = "")
    {
        std::string s;
        char x[4];
        for (uint8_t b : u.id) {
            snprintf(x, sizeof x, "%02X", b);
            s += x;
            s += sep;
        }
        return s;
    }

    std::string temp_path(const std::string &name) const
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        return std::string(::testing::TempDir()) + "vokcli_" + info->name() + "_" + name;
    }
};

#endif
