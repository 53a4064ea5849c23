// vokcli raw and the traffic log against the demo bus: the request as typed with its CR,
// the reply raw and decoded, exit codes by what came back, and a log whose frames are the
// frames the bus really carried.
#include <fstream>
#include <sstream>

#include "tests/cli/cli_fixture.h"

namespace {

using CliRaw = CliFixture;

std::string hex(const std::vector<uint8_t> &b)
{
    std::string s;
    char x[4];
    for (size_t i = 0; i < b.size(); ++i) {
        snprintf(x, sizeof x, i ? " %02X" : "%02X", b[i]);
        s += x;
    }
    return s.empty() ? "--" : s;
}

std::vector<std::string> read_lines(const std::string &path)
{
    std::ifstream f(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(f, l);) out.push_back(l);
    return out;
}

TEST_F(CliRaw, RequestGoesOutWithItsCrAndTheReplyIsShownThreeWays)
{
    const CliRun r = run({"raw", "$01M", "--port", "COM1"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "request  $01M\\r                   24 30 31 4D 0D\n"
              "reply    !01VOK4201\\r             21 30 31 56 4F 4B 34 32 30 31 0D\n"
              "meaning  !01 from module 01: name \"VOK4201\"\n"
              "answer   !01VOK4201\n");
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(std::string(traffic[0].second.begin(), traffic[0].second.end()), "$01M\r");

    // A data reply with raw record bytes, as JSON; the network converter gets the long read.
    const CliRun j = run({"raw", "*0A0", "--port", "127.0.0.1:10001", "--json"});
    ASSERT_EQ(j.rc, 0) << j.err;
    EXPECT_EQ(j.out.rfind("{\"request\": \"*0A0\\\\r\", \"request_hex\": \"2A 30 41 30 0D\", "
                          "\"reply\": \">0A\\\\x00\\\\x05\\\\x01\\\\x02\\\\x03\\\\x04\\\\x05\\\\r\", "
                          "\"reply_hex\": \"3E 30 41 00 05 01 02 03 04 05 0D\", "
                          "\"meaning\": \">0A from module 0A, status 0 (ok), 5 records of 1 byte\", "
                          // the terminal's answer: lead and address, then ten bytes from the status
                          "\"answer\": \">0A--00 05 01 02 03 04 05 0D ", 0), 0u) << j.out;
}

TEST_F(CliRaw, EchoingConverterShowsTheReplyWithoutTheEcho)
{
    conv->echo = true;
    const CliRun r = run({"raw", "$02F", "--port", "COM1"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("reply    !02V2.05\\r"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("meaning  !02 from module 02: firmware \"V2.05\""), std::string::npos) << r.out;
}

TEST_F(CliRaw, SilenceWrongLeadAndBadRequestsHaveTheirOwnExitCodes)
{
    CliRun r = run({"raw", "$20M", "--port", "COM1"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("reply    No response!"), std::string::npos);
    EXPECT_EQ(r.err, "vokcli: no reply from module 0x20 on COM1 at 9600 baud: check the address, the converter type and the baud rate\n");

    r = run({"raw", "$01Q", "--port", "COM1"});  // not a command the module knows: '?01'
    EXPECT_EQ(r.rc, 4);
    EXPECT_NE(r.out.find("meaning  wrong lead '?'"), std::string::npos) << r.out;

    r = run({"raw", "$0123456789ABCDEF01", "--port", "COM1"});
    EXPECT_EQ(r.rc, 4);  // 19 characters are still sent (and module 01 does not know them)
    EXPECT_EQ(std::string(traffic.back().second.begin(), traffic.back().second.end()), "?01\r");
    r = run({"raw", "$0123456789ABCDEF012", "--port", "COM1"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.err, "vokcli: a request has 1 to 19 characters without its CR, e.g. '$01M'\n");
}

// The log has one line per frame; its bytes are exactly the requests the bus heard and the
// replies it sent, in order, and every line says what the frame is.
TEST_F(CliRaw, TraceLogLinesAreTheFramesOnTheBus)
{
    const std::string log = temp_path("trace.log");
    std::remove(log.c_str());
    const CliRun r = run({"search", "--port", "127.0.0.1:10001", "--fast", "--quiet", "--trace", log});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto got = read_lines(log);
    ASSERT_GT(got.size(), 300u);
    EXPECT_EQ(got[0].rfind("# traffic log opened ", 0), 0u);
    std::vector<std::string> expected;
    for (const auto &[request, bytes] : traffic)
        expected.push_back(std::string(request ? "TX " : "RX ") + hex(bytes));
    std::vector<std::string> logged;
    double last = 0;
    for (size_t i = 1; i < got.size(); ++i) {
        const std::string &l = got[i];
        const size_t bar = l.find(" | ");
        ASSERT_NE(bar, std::string::npos) << l;
        ASSERT_GT(l.size(), bar + 3) << l;  // a meaning on every line
        const double t = std::stod(l.substr(0, 10));
        EXPECT_GE(t, last);
        last = t;
        const std::string frame = l.substr(11, bar - 11);
        if (frame.rfind("RX --", 0) == 0) continue;  // a probe nobody answered
        logged.push_back(frame);
    }
    EXPECT_EQ(logged, expected);
    // Lines spelled out for a probe answered, a silent one and a data reply.
    auto has = [&](const std::string &s) {
        for (const auto &l : got)
            if (l.find(s) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("TX 24 30 31 4D 0D | $01M  read name, module 01"));
    EXPECT_TRUE(has("RX 21 30 31 56 4F 4B 34 32 30 31 0D | !01 from module 01: name \"VOK4201\""));
    EXPECT_TRUE(has("RX -- | no reply (link result -2)"));
    EXPECT_TRUE(has("| *0A0  read sort numbers, module 0A, CH0"));
    EXPECT_TRUE(has("| >0A from module 0A, status 0 (ok), 5 records of 1 byte"));
}

}  // namespace
