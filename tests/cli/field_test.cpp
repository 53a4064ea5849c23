// vokcli left running at a plant: a watch through a failing read, a refused reopen and a
// converter that closes its connection keeps a row for every period; bad inputs of every
// command end quickly with their exit code and one line.
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "platform/fake/fake_platform.h"
#include "tests/cli/cli_fixture.h"

namespace {

class CliField : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        use_small_bus();
    }

    // Runs `action` once, when the bus sees the n-th readout request ('#') from now on.
    void at_readout(int n, std::function<void()> action)
    {
        auto seen = std::make_shared<int>(0);
        bus.on_traffic = [this, n, seen, action](int64_t, bool request, const std::vector<uint8_t> &b) {
            traffic.emplace_back(request, b);
            if (request && !b.empty() && b[0] == '#' && ++*seen == n) action();
        };
    }

    // slot elapsed time (ms) -> the statuses of its rows.
    static std::map<long, std::set<std::string>> slots(const std::string &csv)
    {
        std::map<long, std::set<std::string>> out;
        const auto rows = lines(csv);
        for (size_t k = 1; k < rows.size(); ++k) {
            const std::string &r = rows[k];
            const size_t a = r.find(','), b = r.find(',', a + 1);
            out[std::lround(std::stod(r.substr(a + 1, b - a - 1)) * 1000)].insert(r.substr(r.rfind(',') + 1));
        }
        return out;
    }
};

TEST_F(CliField, WatchOnASerialPortThatFailsAReadAndARefusedReopen)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    at_readout(4, [] {  // the readout of slot 3 fails, and so does the first reopen
        fake::fail_next(fake::Fail::Read);
        fake::fail_next(fake::Fail::Open);
    });
    const CliRun r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "12", "--out", csv, "--port", "COM1", "--quiet"});
    EXPECT_EQ(r.rc, 0) << r.err;
    const auto s = slots(slurp(csv));
    ASSERT_EQ(s.size(), 12u) << slurp(csv);
    long k = 0;
    int failed = 0;
    for (const auto &[ms, statuses] : s) {
        EXPECT_GE(ms, 1000 * k) << "slots stay on the grid";
        EXPECT_LT(ms, 1000 * (k + 1)) << "slots stay on the grid";
        EXPECT_EQ(statuses.size(), 1u) << "slot " << k;
        // Slot 5 opens the port again (with the echo probe and the module's parameters);
        // that may take the time of slot 6 too.
        if (k == 3) EXPECT_EQ(*statuses.begin(), "no reply");
        else if (k == 4) EXPECT_EQ(*statuses.begin(), "link down");
        else if (k == 6) EXPECT_TRUE(statuses.count("ok") || statuses.count("missed"));
        else EXPECT_EQ(*statuses.begin(), "ok") << "slot " << k;
        failed += statuses.count("ok") ? 0 : 1;
        ++k;
    }
    // Every readout has its readings decoded, also after the reopen.
    EXPECT_EQ(slurp(csv).find(",,,ok"), std::string::npos) << slurp(csv);
    EXPECT_NE(r.err.find("vokcli: watch: reopening COM1 at 9600 baud for the next readout\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vokcli: watch: next try to open COM1 at 9600 baud in 1 s\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vokcli: watch: COM1 at 9600 baud open again, module 0x21 answers\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("watch done: " + std::to_string(12 - failed) + " readouts (" + std::to_string(failed) + " failed), " +
                         std::to_string(2 * (12 - failed)) + " rows appended to " + csv + ", 1 reconnect\n"),
              std::string::npos)
        << r.err;
}

TEST_F(CliField, WatchThroughAConverterThatKeepsClosingItsConnection)
{
    const std::string csv = temp_path("watch.csv");
    // The bytes one connection carries for the module's parameters and a readout.
    std::remove(csv.c_str());
    auto reply_bytes = [this] {
        size_t n = 0;
        for (const auto &[request, b] : traffic) n += request ? 0 : b.size();
        return n;
    };
    ASSERT_EQ(run({"watch", "21", "--channel", "0", "--period", "1", "--count", "1", "--out", csv, "--port", "127.0.0.1:10001"}).rc, 0);
    const size_t one = reply_bytes();
    traffic.clear();
    ASSERT_EQ(run({"watch", "21", "--channel", "0", "--period", "1", "--count", "2", "--out", csv, "--port", "127.0.0.1:10001"}).rc, 0);
    const size_t readout = reply_bytes() - one;
    std::remove(csv.c_str());
    // Every connection ends halfway through its fourth readout.
    netconv->close_after_bytes = (int)(one + 2 * readout + readout / 2);
    const CliRun r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "12", "--out", csv, "--port", "127.0.0.1:10001", "--quiet"});
    EXPECT_EQ(r.rc, 0) << r.err;
    const auto s = slots(slurp(csv));
    ASSERT_EQ(s.size(), 12u) << slurp(csv);
    int failed = 0;
    for (const auto &[ms, statuses] : s) {
        EXPECT_EQ(statuses.size(), 1u) << ms;
        failed += statuses.count("ok") ? 0 : 1;
    }
    // Three readouts per connection, the fourth cut off: slots 3, 7 and 11 fail.
    EXPECT_EQ(failed, 3) << slurp(csv);
    EXPECT_EQ(slurp(csv).find(",,,ok"), std::string::npos) << slurp(csv);
    EXPECT_NE(r.err.find("watch done: 9 readouts (3 failed), 18 rows appended to " + csv + ", 2 reconnects\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("vokcli: watch: the network converter closed the connection: reopening 127.0.0.1:10001 at 9600 "
                         "baud for the next readout\n"),
              std::string::npos)
        << r.err;

    // Closed right after the third readout: the next slot sees the closed connection and
    // reopens before it reads, so no readout is lost.
    std::remove(csv.c_str());
    netconv->close_after_bytes = (int)(one + 2 * readout);
    const CliRun q = run({"watch", "21", "--channel", "0", "--period", "2", "--count", "12", "--out", csv, "--port", "127.0.0.1:10001", "--quiet"});
    EXPECT_EQ(q.rc, 0) << q.err;
    EXPECT_EQ(slurp(csv).find(",,,,,"), std::string::npos) << slurp(csv);
    EXPECT_NE(q.err.find("vokcli: watch: the network converter closed the connection: reopening 127.0.0.1:10001 at 9600 baud\n"),
              std::string::npos)
        << q.err;
    EXPECT_NE(q.err.find("watch done: 12 readouts (0 failed), 24 rows appended to " + csv + ", 3 reconnects\n"), std::string::npos)
        << q.err;
}

// A module gone for good: the watch ends after --give-up-after with the code of the fault.
TEST_F(CliField, WatchGivesUpWhenToldAndSaysSo)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    const int64_t begin = fake::now_us();
    at_readout(3, [this] { bus.find(0x21)->faults.silent = true; });
    const CliRun r = run({"watch", "21", "--channel", "0", "--period", "1", "--give-up-after", "5", "--out", csv, "--port", "COM1", "--quiet"});
    EXPECT_EQ(r.rc, 1) << r.err;
    EXPECT_LT(fake::now_us() - begin, 10000000);
    EXPECT_NE(r.err.find("vokcli: watch gives up: no readings from module 0x21 for 5 s (--give-up-after)\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("watch gave up: 2 readouts ("), std::string::npos) << r.err;
    const auto s = slots(slurp(csv));
    EXPECT_EQ(s.begin()->second, std::set<std::string>{"ok"});
    EXPECT_EQ(s.rbegin()->second.count("ok"), 0u);
}

TEST_F(CliField, ExcelFilesStartWithAByteOrderMarkAndAreContinued)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    for (int k = 0; k < 2; ++k) {
        const CliRun r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "1", "--excel", "--out", csv, "--port", "COM1", "--quiet"});
        ASSERT_EQ(r.rc, 0) << r.err;
    }
    const std::string text = slurp(csv);
    EXPECT_EQ(text.rfind("\xEF\xBB\xBFtime,elapsed_s,module,channel,unit,id,reading,value,status\n", 0), 0u) << text;
    EXPECT_EQ(lines(text).size(), 5u) << text;
}

struct BadInput {
    std::vector<std::string> args;
    int rc;
    std::string err_start;
    double max_s;   // virtual seconds the command may take (a serial request with its retries: 6)
};

// Each bad input ends within its bound, with its exit code and one error line. "@DIR" stands
// for a directory, "@CFG" for a file of 300 bytes, "@FULL" sends the output to /dev/full.
TEST_F(CliField, BadInputsOfEveryCommandEndQuicklyWithOneLine)
{
    const std::string dir = temp_path("dir");
    std::filesystem::create_directories(dir);
    const std::string cfg = temp_path("vokcfg.cfg");
    std::ofstream(cfg, std::ios::binary) << std::string(300, 'x');
    const std::vector<BadInput> cases = {
        {{"watch", "21", "--channel", "0", "--period", "1", "--out", "@DIR", "--port", "COM1"}, 5, "vokcli: --out @DIR is a directory: give a file name", 0.1},
        {{"watch", "21", "--channel", "0", "--period", "1", "--out", "/dev/full", "--port", "COM1"}, 5, "vokcli: cannot write /dev/full (No space left on device)", 0.1},
        {{"read", "21", "--port", "COM1", "--trace", "@DIR"}, 5, "vokcli: cannot write the traffic log @DIR", 0.1},
        {{"read", "21", "--port", "COM1", "@FULL"}, 5, "vokcli: writing the output failed (No space left on device)", 5},
        {{"ids", "21", "--port", "COM1", "@FULL"}, 5, "vokcli: writing the output failed", 5},
        {{"raw", "$21M", "--port", "COM1", "@FULL"}, 5, "vokcli: writing the output failed", 5},
        {{"search", "--fast", "--quiet", "--port", "COM1", "@FULL"}, 5, "vokcli: writing the output failed", 10},
        {{"read", "7F", "--port", "COM1"}, 1, "vokcli: no reply from module 0x7F on COM1 at 9600 baud: check the address, the converter type and the baud rate", 6},
        {{"read", "7F", "--port", "127.0.0.1:10001"}, 1, "vokcli: no reply from module 0x7F on 127.0.0.1:10001 at 9600 baud", 3},
        {{"ids", "7F", "--port", "127.0.0.1:10001"}, 1, "vokcli: no reply from module 0x7F", 3},
        {{"export", "7F", "--dir", "@DIR", "--port", "127.0.0.1:10001"}, 1, "vokcli: no reply from module 0x7F", 3},
        {{"watch", "7F", "--channel", "0", "--period", "1", "--out", "@DIR/w.csv", "--port", "127.0.0.1:10001"}, 1, "vokcli: no reply from module 0x7F", 3},
        {{"raw", "$7FM", "--port", "127.0.0.1:10001"}, 1, "vokcli: no reply from module 0x7F", 3},
        {{"read", "21", "--port", "COM1", "--baud", "19200"}, 1, "vokcli: no reply from module 0x21 on COM1 at 19200 baud: check the address, the converter type and the baud rate", 6},
        {{"read", "23", "--port", "COM1", "--channel", "1"}, 2, "vokcli: module 0x23 (VOK4500) has its readings on CH3 only", 5},
        {{"search", "--config", "@CFG"}, 2, "vokcli: @CFG is no settings file: vokcfg.cfg has 16 bytes, this one 300", 0.1},
    };
    for (const BadInput &c : cases) {
        std::vector<std::string> args;
        FILE *full = nullptr;
        for (const std::string &a : c.args) {
            if (a == "@FULL") full = std::fopen("/dev/full", "w");
            else args.push_back(std::regex_replace(std::regex_replace(a, std::regex("@DIR"), dir), std::regex("@CFG"), cfg));
        }
        const std::string want = std::regex_replace(std::regex_replace(c.err_start, std::regex("@DIR"), dir), std::regex("@CFG"), cfg);
        SCOPED_TRACE(args[0] + " " + args[1] + " ...");
        const int64_t begin = fake::now_us();
        const CliRun r = run(args, full);
        if (full) std::fclose(full);
        EXPECT_EQ(r.rc, c.rc) << r.err;
        EXPECT_EQ(r.err.rfind(want, 0), 0u) << r.err;
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_LE(fake::now_us() - begin, (int64_t)(c.max_s * 1e6));
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
