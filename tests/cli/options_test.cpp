// vokcli's command line: addresses as the program shows them, options before or after the
// command, and the values each subcommand ends up with.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "cli/options.h"
#include "link/fast_probe.h"

namespace {

CliOptions parse(std::vector<std::string> args, int *rc = nullptr, std::string *error = nullptr)
{
    // CliOptions points into argv, as main's options point into the real one: the strings
    // must outlive the options returned.
    static std::list<std::vector<std::string>> kept;
    args.insert(args.begin(), "vokcli");
    kept.push_back(args);
    std::vector<char *> argv;
    for (auto &a : kept.back()) argv.push_back(a.data());
    CliOptions o;
    char e[CLI_ERROR_MAX];
    const int r = cli_parse((int)argv.size(), argv.data(), &o, e, sizeof e);
    if (rc) *rc = r;
    if (error) *error = e;
    return o;
}

TEST(CliOptions, AddressesAreHexAsTheProgramShowsThem)
{
    const std::vector<std::pair<const char *, int>> cases = {
        {"01", 1}, {"7F", 0x7F}, {"7f", 0x7F}, {"FF", 255}, {"0", 0}, {"A", 10}, {"7FH", 0x7F},
        {"0x12", 0x12}, {"0X0a", 10}, {"100", -1}, {"", -1}, {"H", -1}, {"0x", -1}, {"1G", -1},
        {"12H3", -1}, {"-1", -1}, {" 1", -1},
    };
    for (const auto &[text, value] : cases) EXPECT_EQ(parse_address(text), value) << text;
}

TEST(CliOptions, OptionsStandAnywhereInEitherSpelling)
{
    int rc = -1;
    CliOptions o = parse({"--port=COM3", "read", "7F", "--channel", "all", "--csv", "--baud=38400", "--trace", "t.log"}, &rc);
    ASSERT_EQ(rc, EXIT_OK);
    EXPECT_EQ(o.command, CLI_READ);
    EXPECT_STREQ(o.port, "COM3");
    EXPECT_EQ(o.address, 0x7F);
    EXPECT_EQ(o.channel, CLI_CHANNEL_ALL);
    EXPECT_EQ(o.format, FORMAT_CSV);
    EXPECT_EQ(o.baud, 38400);
    EXPECT_STREQ(o.trace, "t.log");
    EXPECT_EQ(o.converter, -1);
    EXPECT_EQ(o.wait_ms, -1);

    o = parse({"watch", "01", "--channel", "3", "--period", "1.5", "--out", "w.csv", "--count", "10",
               "--port", "h:1", "--converter", "4", "--wait", "1200"}, &rc);
    ASSERT_EQ(rc, EXIT_OK);
    EXPECT_EQ(o.channel, 3);
    EXPECT_DOUBLE_EQ(o.period_s, 1.5);
    EXPECT_STREQ(o.out, "w.csv");
    EXPECT_EQ(o.count, 10);
    EXPECT_EQ(o.converter, 4);
    EXPECT_EQ(o.wait_ms, 1200);
    EXPECT_DOUBLE_EQ(o.give_up_s, 0);
    EXPECT_EQ(o.excel, 0);
    o = parse({"watch", "01", "--channel", "3", "--period", "1", "--out", "w.csv", "--give-up-after=600", "--excel"}, &rc);
    ASSERT_EQ(rc, EXIT_OK);
    EXPECT_DOUBLE_EQ(o.give_up_s, 600);
    EXPECT_EQ(o.excel, 1);

    o = parse({"raw", "$01M", "--port", "/dev/ttyUSB0"}, &rc);
    ASSERT_EQ(rc, EXIT_OK);
    EXPECT_STREQ(o.request, "$01M");
    o = parse({"search", "--fast", "--json", "--quiet"}, &rc);
    EXPECT_TRUE(o.fast && o.quiet && o.format == FORMAT_JSON);
}

TEST(CliOptions, EachCommandRefusesWhatItCannotUse)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"read"}, "read needs a module address in hex, e.g. vokcli read 01"},
        {{"read", "1FF"}, "'1FF' is no module address: give two hex digits 00-FF, e.g. 01 or 7F"},
        {{"read", "01", "02"}, "unexpected argument '02' (vokcli read --help)"},
        {{"read", "01", "--channel", "8"}, "--channel '8': give a channel 0-7 or 'all'"},
        {{"read", "01", "--fast"}, "read does not take --fast"},
        {{"watch", "01", "--period", "1", "--out", "f"}, "watch needs --channel 0-7"},
        {{"watch", "01", "--channel", "all", "--period", "1", "--out", "f"}, "watch needs --channel 0-7"},
        {{"watch", "01", "--channel", "1", "--out", "f"}, "watch needs --period SECONDS"},
        {{"watch", "01", "--channel", "1", "--period", "0.1", "--out", "f"}, "--period '0.1': give the period in seconds, 0.5 to 86400"},
        {{"watch", "01", "--channel", "1", "--period", "2"}, "watch needs --out FILE.csv"},
        {{"watch", "01", "--channel", "1", "--period", "2", "--out", "f", "--json"}, "watch does not take --format/--json/--csv"},
        {{"export", "01", "--channel", "1"}, "export does not take --channel"},
        {{"watch", "01", "--channel", "1", "--period", "2", "--out", "f", "--give-up-after", "0"},
         "--give-up-after '0': give the seconds without a reading after which watch ends, 1 or more"},
        {{"read", "01", "--give-up-after", "5"}, "read does not take --give-up-after"},
        {{"search", "--excel"}, "search does not take --excel"},
        {{"ids", "01", "--count", "0"}, "--count '0': give the number of readings, 1 or more"},
        {{"discover", "01"}, "unexpected argument '01' (vokcli discover --help)"},
        {{"search", "--format", "xml"}, "--format 'xml': give text, csv or json"},
        {{"search", "--bogus"}, "unknown option '--bogus' (vokcli --help)"},
        {{"search", "--fast=1"}, "unknown option '--fast=1' (vokcli --help)"},
        {{"raw"}, "raw needs a request without its CR, e.g. vokcli raw '$01M'"},
    };
    for (const auto &[args, message] : cases) {
        int rc = -1;
        std::string error;
        parse(args, &rc, &error);
        EXPECT_EQ(rc, EXIT_USAGE) << args[0];
        EXPECT_EQ(error, message);
    }
}

// The fast scan's listening window: a margin over the median turnaround, never more than the
// search schedule's own wait; and the address a late reply gives away.
TEST(FastProbe, WindowFollowsTheMedianTurnaroundUpToTheFirstWait)
{
    FastTiming ft{};
    ft.first_window_us = 70000;
    ft.byte_us = 1041;  // 9600 baud
    EXPECT_EQ(fast_window_us(&ft), 70000);  // nothing measured yet
    fast_measured(&ft, 8000);
    EXPECT_EQ(ft.window_us, 8000 + 2000 + 2 * 1041);
    fast_measured(&ft, 30000);  // one late look of a busy host ...
    fast_measured(&ft, 8400);
    EXPECT_EQ(ft.window_us, 8400 + 2100 + 2 * 1041);  // ... does not widen the window
    for (int k = 0; k < 80; ++k) fast_measured(&ft, 90000);  // more samples than are kept
    EXPECT_EQ(ft.samples, 83);
    EXPECT_EQ(ft.window_us, 70000);
}

TEST(FastProbe, ReplyAddressIsTheFirstLeadWithTwoHexDigits)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"!01VOK4201\r", 0x01}, {">0A\x00\x05", 0x0A}, {"\xFF!FFx", 0xFF}, {"$01M\r!02X", 0x02},
        {"!0a", -1}, {"!1", -1}, {"", -1}, {"?01\r", -1}, {"!G1!12", 0x12},
    };
    for (const auto &[text, address] : cases)
        EXPECT_EQ(fast_reply_address(reinterpret_cast<const uint8_t *>(text.data()), (int)text.size()), address) << text;
}

}  // namespace
