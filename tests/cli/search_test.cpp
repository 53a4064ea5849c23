// vokcli search against the demo bus on virtual time: the table and JSON, the normal scan's
// traffic, the fast scan (same modules, far quicker), echoing converters, settings files.
#include <algorithm>
#include <cstdio>
#include <regex>
#include <set>

#include "app/settings.h"
#include "app/state.h"
#include "platform/console.h"
#include "tests/cli/cli_fixture.h"

namespace {

using CliSearch = CliFixture;

std::vector<std::string> json_addresses(const std::string &json)
{
    std::vector<std::string> out;
    std::regex re("\"address\": \"([0-9A-F]{2})\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), re); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

double json_number(const std::string &json, const std::string &key)
{
    std::smatch m;
    std::regex re("\"" + key + "\": ([0-9.]+)");
    return std::regex_search(json, m, re) ? std::stod(m[1]) : -1;
}

TEST_F(CliSearch, TableListsTheModulesAfterProbingEveryAddressOnce)
{
    bus.modules.clear();
    sim::Module &low = bus.add(sim::make_module(0x00, 4201, 0x80));
    low.firmware = "V1.20";
    low.channels[0].units = {sim::make_sensor(0x28, 1, 20.0), sim::make_sensor(0x28, 2, 21.0)};
    low.channels[2].units = {sim::make_sensor(0x28, 3, 22.0)};
    sim::Module &high = bus.add(sim::make_module(0xFF, 3903, 0x82));
    high.fault_code = 1;
    high.warning_mask = 1;
    high.mode = '1';
    const CliRun r = run({"search", "--port", "COM1"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "addr  name     model  type  firmware  mode     units  per channel      fault\n"
              "00    VOK4201  4201   80    V1.20     search       3  2 0 1 0 0 0 0 0  none\n"
              "FF    VOK3903  3903   82    V1.00     storage      0  0 0 0 0 0 0 0 0  01 errors 00 warnings 01\n");
    // One line of summary on stderr, no progress line (stderr is no terminal here).
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("2 modules found in ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);

    // The scan probes 00..FF in order, each address in one try (two transmissions when silent).
    std::vector<std::string> probes;
    for (const auto &[request, bytes] : traffic) {
        std::string f(bytes.begin(), bytes.end());
        if (request && f.size() == 5 && f[0] == '$' && f[3] == 'M' && (probes.empty() || probes.back() != f))
            probes.push_back(f);
    }
    ASSERT_GE(probes.size(), 256u);
    for (int a = 0; a < 256; ++a) {
        char probe[8];
        snprintf(probe, sizeof probe, "$%02XM\r", a);
        EXPECT_EQ(probes[(size_t)a], probe);
    }
}

TEST_F(CliSearch, FastScanFindsTheSameModulesInUnderFiveSecondsOnSerialAndNetwork)
{
    for (const char *port : {"COM1", "127.0.0.1:10001"}) {
        SCOPED_TRACE(port);
        const CliRun normal = run({"search", "--port", port, "--json"});
        const CliRun fast = run({"search", "--port", port, "--json", "--fast"});
        ASSERT_EQ(normal.rc, 0) << normal.err;
        ASSERT_EQ(fast.rc, 0) << fast.err;
        const auto found = json_addresses(fast.out);
        EXPECT_EQ(found, json_addresses(normal.out));
        EXPECT_EQ(found.size(), bus.modules.size());
        // Everything but the timing is the same document.
        std::regex times("\"(scan_s|elapsed_s)\": [0-9.]+|\"fast\": (true|false)");
        EXPECT_EQ(std::regex_replace(fast.out, times, ""), std::regex_replace(normal.out, times, ""));
        const double fast_scan = json_number(fast.out, "scan_s");
        const double normal_scan = json_number(normal.out, "scan_s");
        EXPECT_GT(fast_scan, 0);
        EXPECT_LT(fast_scan, 5.0);
        EXPECT_GT(normal_scan, 4 * fast_scan);
        EXPECT_EQ(json_number(fast.out, "addresses"), 256);
    }
}

TEST_F(CliSearch, FastScanHearsSlowerModulesAfterAQuickOneAndAnEchoingConverter)
{
    // A module that answers 2 ms later than the first one found is still heard: the window
    // keeps a margin over the turnaround measured.
    bus.find(0x06)->turnaround_us += 2000;
    conv->echo = true;
    const CliRun r = run({"search", "--port", "COM1", "--json", "--fast"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(json_addresses(r.out).size(), bus.modules.size()) << r.out;
    EXPECT_NE(r.out.find("\"name\": \"VOK4560\""), std::string::npos);
}

// Modules that answer much later than the others are found as the normal scan finds them:
// the late reply gives them away and they are asked again. A module that answers under
// another address is listed by neither scan, and both say so.
TEST_F(CliSearch, FastScanAsksAgainWhenAReplyComesAfterItsWindow)
{
    bus.find(0x03)->faults.slow_ms = 30;      // reply after the next probe's window
    bus.find(0x07)->faults.slow_ms = 6;       // reply during the next probe's window
    bus.find(0x09)->faults.wrong_address = true;
    const std::string wrong = "vokcli: the probe of 09 is answered as module 0A, also when asked alone: a module that "
                              "gives a wrong address, not listed\n";
    for (const char *port : {"COM1", "127.0.0.1:10001"}) {
        SCOPED_TRACE(port);
        const CliRun normal = run({"search", "--port", port, "--json", "--quiet"});
        const CliRun fast = run({"search", "--port", port, "--json", "--quiet", "--fast"});
        EXPECT_EQ(json_addresses(fast.out), json_addresses(normal.out));
        EXPECT_EQ(json_addresses(fast.out).size(), bus.modules.size() - 1);
        EXPECT_EQ(normal.err, wrong);
        EXPECT_EQ(fast.err, wrong);
        // The address given wrong is asked once more alone.
        EXPECT_LT(json_number(fast.out, "scan_s"), 5.5);
    }
}

// A module slower than the probe's wait answers into the probe of the next address: vokcli
// names it instead of listing a module at the next address, and the next module, asked
// again, is still found.
TEST_F(CliSearch, ALateReplyIsReportedNotListed)
{
    bus.modules.clear();
    bus.add(sim::make_module(0x05, 4201, 0x80));
    bus.add(sim::make_module(0x06, 4201, 0x80));
    bus.add(sim::make_module(0x08, 4201, 0x80));
    for (const char *port : {"COM1", "127.0.0.1:10001"}) {
        SCOPED_TRACE(port);
        bus.find(0x05)->faults.slow_ms = 0;
        const CliRun base = run({"search", "--port", port, "--json", "--quiet"});
        ASSERT_EQ(json_addresses(base.out), (std::vector<std::string>{"05", "06", "08"})) << base.err;
        // Slow enough to miss its own probe's wait, quick enough to land in the next one.
        int64_t window_ms = 0;
        for (int slow : {150, 300, 600, 900}) {
            bus.find(0x05)->faults.slow_ms = slow;
            const CliRun r = run({"search", "--port", port, "--json", "--quiet"});
            const auto found = json_addresses(r.out);
            EXPECT_EQ(std::count(found.begin(), found.end(), "07"), 0) << slow << " ms: " << r.out;
            EXPECT_NE(std::find(found.begin(), found.end(), "06"), found.end()) << slow << " ms: " << r.out << r.err;
            EXPECT_NE(std::find(found.begin(), found.end(), "08"), found.end()) << slow << " ms: " << r.out;
            if (r.err.find("vokcli: module 05 answered late, after the probe of ") != std::string::npos) window_ms = slow;
            EXPECT_EQ(r.rc, 0) << r.err;
        }
        EXPECT_GT(window_ms, 0) << "no slow reply landed in a later probe";
    }
}

// On a terminal a progress line counts down; Ctrl-C stops the scan where it is and the
// modules found so far are still read and listed.
TEST_F(CliSearch, ProgressLineOnATerminalAndCtrlCStopsTheScan)
{
    fake::set_terminal(CONSOLE_STDERR, true);
    CliRun r = run({"search", "--port", "COM1", "--fast"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("\rsearch: address 00, 0 found, "), std::string::npos);
    EXPECT_NE(r.err.find("\rsearch: address FF, " + std::to_string(bus.modules.size()) + " found, 0 s left"),
              std::string::npos);
    EXPECT_EQ(r.err.find("stopped"), std::string::npos);

    fake::set_terminal(CONSOLE_STDERR, false);
    fake::interrupt_at_us(fake::now_us() + 1000000);  // about a second into the scan
    const int64_t asked = fake::now_us();
    r = run({"search", "--port", "COM1", "--json"});
    ASSERT_EQ(r.rc, 130) << r.err;
    EXPECT_LT(fake::now_us() - asked, 2000000);  // within one exchange of the interrupt
    const double addresses = json_number(r.out, "addresses");
    EXPECT_GT(addresses, 1);
    EXPECT_LT(addresses, 20);
    const auto found = json_addresses(r.out);
    ASSERT_FALSE(found.empty());
    EXPECT_LT(std::stoi(found.back(), nullptr, 16), addresses);
    // The addresses found are listed; their parameters are not read.
    EXPECT_NE(r.out.find("{\"address\": \"" + found.front() + "\", \"read\": false}"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"name\""), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(", stopped by Ctrl-C\n"), std::string::npos) << r.err;

    // Ctrl-C halfway through the parameter reads: the modules read so far are listed in full.
    fake::reset_console();
    r = run({"search", "--port", "COM1", "--fast", "--json"});
    const double scan_s = json_number(r.out, "scan_s"), all_s = json_number(r.out, "elapsed_s");
    fake::interrupt_at_us(fake::now_us() + (int64_t)((scan_s + all_s) / 2 * 1e6));
    r = run({"search", "--port", "COM1", "--fast"});
    ASSERT_EQ(r.rc, 130) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), bus.modules.size() + 1) << r.out;
    EXPECT_NE(rows[1].find("VOK"), std::string::npos) << r.out;
    EXPECT_NE(rows.back().find("(parameters not read: stopped by Ctrl-C)"), std::string::npos) << r.out;
}

TEST_F(CliSearch, EmptyBusEndsWithOneErrorLineAndExitOne)
{
    bus.modules.clear();
    const CliRun r = run({"search", "--port", "COM1", "--fast", "--quiet"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vokcli: no module answered on COM1 at 9600 baud: check the converter type, the speed and the wiring\n");
    const CliRun j = run({"search", "--port", "COM1", "--fast", "--json", "--quiet"});
    EXPECT_EQ(j.rc, 1);
    EXPECT_NE(j.out.find("\"modules\": []}"), std::string::npos) << j.out;
}

TEST_F(CliSearch, ModulesAtAnotherSpeedStaySilent)
{
    const CliRun r = run({"search", "--port", "COM1", "--baud", "19200", "--fast", "--quiet"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("on COM1 at 19200 baud"), std::string::npos);
}

TEST_F(CliSearch, LinkComesFromTheSettingsFileAndOptionsOverrideIt)
{
    // Network converter stored by vokmon: type 4, 127.0.0.1:10001, 9600 baud.
    state_reset();
    link_settings.converter_type = CONVERTER_NET;
    link_settings.baud_index = 2;
    ip_from_text("127.0.0.1", &link_settings.net_ip);
    link_settings.net_port = 10001;
    uint8_t bytes[SETTINGS_FILE_SIZE];
    settings_encode(bytes);
    const std::string cfg = temp_path("vokcfg.cfg");
    FILE *f = fopen(cfg.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(bytes, 1, sizeof bytes, f);
    fclose(f);
    CliRun r = run({"search", "--config", cfg, "--fast", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("\"link\": \"127.0.0.1:10001 at 9600 baud\""), std::string::npos) << r.out;
    // --port and --converter win over the file: the serial port instead of the network.
    r = run({"search", "--config", cfg, "--port", "COM1", "--converter", "1", "--fast", "--json"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("\"link\": \"COM1 at 9600 baud\""), std::string::npos) << r.out;
}

// Every way to get the command line or the link wrong: one line on stderr, nothing on stdout,
// the exit code that tells the kind of mistake, and no hang.
TEST_F(CliSearch, BadOptionsAndUnreachableLinksGiveOneLineAndTheirExitCode)
{
    const std::string short_cfg = temp_path("short.cfg");
    FILE *f = fopen(short_cfg.c_str(), "wb");
    fputs("abc", f);
    fclose(f);
    struct Case {
        std::vector<std::string> args;
        int rc;
        std::string err_start;
    };
    const std::vector<Case> cases = {
        {{}, 2, "vokcli: no command given"},
        {{"frobnicate"}, 2, "vokcli: unknown command 'frobnicate'"},
        {{"search"}, 2, "vokcli: no link given: use --port"},
        {{"search", "--port"}, 2, "vokcli: option --port needs a value"},
        {{"search", "--port", "COM1", "--baud", "1234"}, 2, "vokcli: --baud '1234': the bus speed is one of"},
        {{"search", "--port", "COM1", "--converter", "8"}, 2, "vokcli: --converter '8'"},
        {{"search", "--port", "COM1", "--converter", "4"}, 2, "vokcli: --port COM1 is a serial port, but converter type 4"},
        {{"search", "--port", "127.0.0.1:10001", "--converter", "2"}, 2, "vokcli: --port 127.0.0.1:10001 is a network converter"},
        {{"search", "--port", "127.0.0.1:0"}, 2, "vokcli: --port '127.0.0.1:0': a network converter is given as host:port"},
        {{"search", "--port", "COM1", "--channel", "3"}, 2, "vokcli: search does not take --channel"},
        {{"search", "--port", "COM1", "--csv"}, 2, "vokcli: search writes text or --json"},
        {{"search", "--port", "COM1", "--wait", "5"}, 2, "vokcli: --wait '5': the reply wait is 10 to 15000 ms"},
        {{"search", "--port", "COM1", "extra"}, 2, "vokcli: unexpected argument 'extra'"},
        {{"search", "--config", "/nonexistent/vokcfg.cfg"}, 2, "vokcli: cannot open settings file"},
        {{"search", "--config", short_cfg}, 2, "vokcli: " + short_cfg + " is no settings file: vokcfg.cfg has 16 bytes, this one 3"},
        {{"search", "--port", "COM9"}, 3, "vokcli: cannot open serial port COM9: check the name"},
        {{"search", "--port", "127.0.0.1:10002"}, 3, "vokcli: no connection to the network converter 127.0.0.1:10002"},
        {{"search", "--port", "nohost.invalid:10001"}, 3, "vokcli: cannot resolve 'nohost.invalid'"},
        {{"search", "--port", "COM1", "--trace", "/nonexistent/dir/t.log"}, 5, "vokcli: cannot write the traffic log"},
    };
    for (const Case &c : cases) {
        std::string joined;
        for (const auto &a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const int64_t t0 = fake::now_us();
        const CliRun r = run(c.args);
        EXPECT_EQ(r.rc, c.rc);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(c.err_start, 0), 0u) << r.err;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_LT(fake::now_us() - t0, 1000000);  // refused at once, not after a scan
    }
}

TEST_F(CliSearch, HelpOfEachCommandNamesItsUsageAndTheLinkOptions)
{
    for (const char *cmd : {"search", "read", "watch", "ids", "export", "raw"}) {
        SCOPED_TRACE(cmd);
        const CliRun r = run({cmd, "--help"});
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.out.rfind(std::string("usage: vokcli ") + cmd, 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--port PORT"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const CliRun all = run({"--help"});
    EXPECT_EQ(all.rc, 0);
    EXPECT_NE(all.out.find("Exit codes:"), std::string::npos);
    EXPECT_EQ(run({"help", "discover"}).out.rfind("usage: vokcli discover", 0), 0u);
}

}  // namespace
