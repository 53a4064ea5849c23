// What the traffic log says about each kind of frame: requests by their command, replies by
// the request they answer, including replies that are cut short, misaddressed or echoed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/trace.h"

namespace {

std::vector<uint8_t> bytes(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string describe(int dir, const std::string &frame, const std::string &request = "", int echo = 0)
{
    const auto f = bytes(frame), r = bytes(request);
    char out[TRACE_LINE_MAX];
    const int n = trace_describe(dir, f.data(), (int)f.size(), echo, r.empty() ? nullptr : r.data(), (int)r.size(), out,
                                 sizeof out);
    EXPECT_EQ(n, (int)std::string(out).size());
    return out;
}

TEST(Trace, RequestsAreNamedByTheirCommand)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"$01M\r", "$01M  read name, module 01"},
        {"$FF2\r", "$FF2  read configuration, module FF"},
        {"$0A6\r", "$0A6  read channel counts, module 0A"},
        {"$01Z\r", "$01Z  read register, module 01"},
        {"#063\r", "#063  read data, module 06, CH3"},
        {"#068\r", "#068  read data, module 06, all channels"},
        {"&019\r", "&019  soft reset, module 01"},
        {"&012\r", "&012  read IDs, module 01, CH2"},
        {"*0A0\r", "*0A0  read sort numbers, module 0A, CH0"},
        {"%0102800600\r", "%0102800600  write configuration, module 01: new address 02, type 80, baud 9600, format 00"},
        {"/01\x55\r", "/01U  write digital output, module 01"},
        {"/01123\r", "/01123  write sort number, module 01, CH1"},
        {"/01305FF\r", "/01305FF  ITU output, module 01, CH3"},
        {"@011021\r", "@011021  switch digital ITU output, module 01, CH1"},
        {"@011031NN\r", "@011031NN  change ITU address, module 01, CH1"},
        {"@01103205\r", "@01103205  set ITU offset, module 01, CH1"},
        {"ABC", "ABC  echo probe: does the converter send the host's bytes back?"},
        {"AB\r", "AB (not a module request)"},
        {"Q01M\r", "Q01M (unknown lead)"},
        {"", " (not a module request)"},
    };
    for (const auto &[frame, text] : cases) EXPECT_EQ(describe(TRACE_TX, frame), text) << frame;
}

TEST(Trace, RepliesAreReadAgainstTheirRequest)
{
    struct Case {
        std::string reply, request;
        int echo;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"!01VOK4201\r", "$01M\r", 0, "!01 from module 01: name \"VOK4201\""},
        {"!01800600\r", "$012\r", 0, "!01 from module 01: type 80, baud 9600, format 00"},
        {"!0A010001\r", "$0AE\r", 0, "!0A from module 0A: fault 01, error channels 00, warning channels 01"},
        {"!011\r", "$01R\r", 0, "!01 from module 01: storage mode"},
        {"!01X\r", "$01R\r", 0, "!01 from module 01: normal mode"},
        {"!01FF01020304050607080000\r", "$016\r", 0, "!01 from module 01: state FF"},
        {"!02\r", "%0102800600\r", 0, "!02 from module 02"},
        {"!03\r", "%0102800600\r", 0, "!03 from module 03 (asked 02)"},
        {"!02VOK4201\r", "$01M\r", 0, "!02 from module 02 (asked 01): name \"VOK4201\""},
        {">01\r", "&019\r", 0, ">01 from module 01, reset accepted"},
        {std::string(">06\x00\x02", 5) + "\x0d\x01\x02\x03\x04\x05\x06\x07\r", "#063\r", 0,
         ">06 from module 06, status 0 (ok), 2 records of 4 bytes"},
        {std::string(">06\x02\x02", 5) + "\x01\x02\x03", "#063\r", 0,
         ">06 from module 06, status 2, 2 records of 4 bytes, cut short: 8 of 14 bytes"},
        {">06", "#063\r", 0, ">06 from module 06, data header cut short (3 bytes)"},
        {"?01\r", "$01Q\r", 0, "wrong lead '?'"},
        {std::string("\xFF\x00", 2), "$01M\r", 0, "wrong lead 0xFF"},
        {"!", "$01M\r", 0, "'!', cut short"},
        {"$01M\r!01VOK4201\r", "$01M\r", 5, "echo 5 bytes, !01 from module 01: name \"VOK4201\""},
        {"$01M\r", "$01M\r", 5, "echo 5 bytes, no reply bytes"},
        {"!01VOK4201\r", "", 0, "!01 from module 01"},  // nothing sent before: no request to read it by
    };
    for (const Case &c : cases) EXPECT_EQ(describe(TRACE_RX, c.reply, c.request, c.echo), c.text) << c.reply;
}

TEST(Trace, LongMeaningsAreCutAtTheBufferNotPastIt)
{
    const auto f = bytes("$01M\r");
    char out[12];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(trace_describe(TRACE_TX, f.data(), (int)f.size(), 0, nullptr, 0, out, 8), 7);
    EXPECT_EQ(std::string(out), "$01M  r");
    EXPECT_EQ(out[8], 'x');
}

}  // namespace
