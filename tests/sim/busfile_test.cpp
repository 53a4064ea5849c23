// Bus files: the shipped buses load as described, and malformed ones are refused with the
// file, the line and what is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "sim/sim.h"

namespace {

std::string bus_path(const char *name) { return std::string(VOK_SOURCE_DIR) + "/sim/buses/" + name; }

TEST(BusFile, ShippedBusesLoad)
{
    const sim::Bus demo = sim::load_bus_file(bus_path("demo.json"));
    std::vector<int> models;
    for (const auto &m : demo.modules)
        models.push_back(m.model());
    for (int want : {4101, 4103, 4500, 4501, 4560, 4598, 4562, 4563})
        EXPECT_NE(std::find(models.begin(), models.end(), want), models.end()) << want;
    bool temp_type = false;
    for (const auto &m : demo.modules)
        temp_type = temp_type || (m.type_code >= 0x80 && m.type_code <= 0x83 && m.model() != 4101 &&
                                  m.model() != 4103);
    EXPECT_TRUE(temp_type);

    const sim::Bus ends = sim::load_bus_file(bus_path("two_ends.json"));
    ASSERT_EQ(ends.modules.size(), 2u);
    EXPECT_EQ(ends.modules[0].address, 0x00);
    EXPECT_EQ(ends.modules[1].address, 0xFF);

    EXPECT_TRUE(sim::load_bus_file(bus_path("empty.json")).modules.empty());
    EXPECT_EQ(sim::load_bus_file(bus_path("sixty_four.json")).modules.size(), 64u);
    const sim::Bus full = sim::load_bus_file(bus_path("full_channel.json"));
    const auto &units = full.modules[0].channels[0].units;
    ASSERT_EQ(units.size(), 64u);
    EXPECT_EQ(units[0].sort, 1);
    EXPECT_EQ(units[63].sort, 64);
    EXPECT_NE(units[0].id, units[1].id);
}

TEST(BusFile, FieldsAndReadings)
{
    const sim::Bus b = sim::parse_bus(R"({
      "restart_scale": 0.5,
      "converter": { "echo": true, "kind": "radio", "line_baud": 19200, "ip": "127.0.0.2",
                     "mac": "00 20 4A 00 00 07", "port": 4001 },
      "modules": [ { "address": "0x1A", "model": 4563, "baud": 19200, "firmware": "V2.30",
                     "mode": "1", "fault": { "code": 3, "errors": "0x81", "warnings": 2 },
                     "kind_mask_a": 1, "kind_mask_b": "0x02",
                     "faults": { "slow_ms": 250, "garbage": "FF 00", "split_pieces": 2 },
                     "channels": { "1": [ { "family": "0x28", "serial": 5,
                        "temp": { "script": [[0, 10], [10, 30]] } },
                        { "id": "01 12 34 00 00 00 00 00", "sort": 9, "hum": { "const": 70 } } ] } } ]
    })", "inline");
    EXPECT_EQ(b.restart_scale, 0.5);
    EXPECT_TRUE(b.converter.echo);
    EXPECT_EQ(b.converter.kind, sim::ConverterKind::Radio);
    EXPECT_EQ(b.converter.line_baud, 19200u);
    EXPECT_EQ(b.converter.net.ip, sim::ip4(127, 0, 0, 2));
    EXPECT_EQ(b.converter.net.mac[5], 7);
    const sim::Module &m = b.modules[0];
    EXPECT_EQ(m.address, 0x1A);
    EXPECT_EQ(m.name, "VOK4563");
    EXPECT_EQ(m.baud_code, 7);
    EXPECT_EQ(m.error_mask, 0x81);
    EXPECT_EQ(m.faults.slow_ms, 250);
    EXPECT_EQ(m.faults.garbage, (std::vector<uint8_t>{0xFF, 0x00}));
    const auto &u = m.channels[1].units;
    ASSERT_EQ(u.size(), 2u);
    EXPECT_DOUBLE_EQ(u[0].temp.at(5'000'000), 20.0);
    EXPECT_TRUE(u[1].itu);
    EXPECT_EQ(u[1].id[1], 0x12);
    EXPECT_EQ(u[1].sort, 9);
    EXPECT_DOUBLE_EQ(u[1].hum.at(0), 70.0);
}

// Returns "file:line: what" of the refusal, or "" when the text was accepted.
std::string refusal(const std::string &text)
{
    try {
        sim::parse_bus(text, "bad.json");
    } catch (const sim::BusFileError &e) {
        return e.what();
    }
    return "";
}

TEST(BusFile, MalformedFilesNameFileLineAndFault)
{
    EXPECT_EQ(refusal("{\n \"modules\": [\n  { \"address\": 1, \"model\": 4560 },\n ]\n}"),
              "bad.json:4: not valid JSON: syntax error while parsing value - unexpected ']'; expected '[', '{', or a literal");
    EXPECT_EQ(refusal("{\n \"modules\": [\n  { \"address\": 300, \"model\": 4560 }\n ]\n}"),
              "bad.json:3: address must be 0..255");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1,\n \"modle\": 4560 } ] }"),
              "bad.json:2: unknown key \"modle\"");
    EXPECT_EQ(refusal("{ \"modules\": [\n { \"address\": 1, \"model\": 4560 },\n"
                      " { \"address\": \"0x01\", \"model\": 4501 } ] }"),
              "bad.json:3: two modules at address 1");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560, \"baud\": 9601 } ] }"),
              "bad.json:1: baud must be 1200, 2400, 4800, 9600, 19200 or 38400");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560,\n \"channels\": { \"8\": [] } } ] }"),
              "bad.json:2: channels keys are the channel numbers \"0\" to \"7\", not \"8\"");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560, \"channels\": { \"0\": [\n"
                      "  { \"family\": 40, \"count\": 40 }, { \"family\": 40, \"count\": 30 } ] } } ] }"),
              "bad.json:2: channels 0: more than 64 units on one channel");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560, \"name\": \"VOK45\" } ] }"),
              "bad.json:1: name must be 7 characters");
    EXPECT_EQ(refusal("{ \"modules\": [] } x"),
              "bad.json:1: not valid JSON: syntax error while parsing value - invalid literal; last read: '\"modules\": [] } x'; "
              "expected end of input");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560,\n \"channels\": { \"0\": [ { \"family\": 40,\n"
                      " \"temp\": { \"sine\": 1, \"drift\": 2 } } ] } } ] }"),
              "bad.json:3: temp needs exactly one of const, drift, sine, script, ramp, steps");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560, \"firmware\": \"V1.0\n\" } ] }"),
              "bad.json:1: not valid JSON: syntax error while parsing value - invalid string: control character U+000A (LF) "
              "must be escaped to \\u000A or \\n; last read: '\"V1.0<U+000A>'");
    EXPECT_EQ(refusal("[]"), "bad.json:1: the bus file must be an object");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1e400, \"model\": 4560 } ] }"),
              "bad.json:1: not valid JSON: number overflow parsing '1e400'");
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560, \"turnaround_ms\": -1e999 } ] }"),
              "bad.json:1: not valid JSON: number overflow parsing '-1e999'");
    EXPECT_EQ(refusal(""),
              "bad.json:1: not valid JSON: syntax error while parsing value - unexpected end of input; expected '[', '{', or a literal");
    // A number too large for a double names its own line, not the start of the file.
    EXPECT_EQ(refusal("{ \"modules\": [\n { \"address\": 1,\n \"model\": 4560e999 } ] }"),
              "bad.json:3: not valid JSON: number overflow parsing '4560e999'");
    // A key given twice is refused, not silently collapsed to one of its values.
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1,\n \"address\": 2, \"model\": 4560 } ] }"),
              "bad.json:2: duplicate key \"address\"");
    // Of several faults, the first in the file is named.
    EXPECT_EQ(refusal("{ \"modules\": [ { \"address\": 1, \"model\": 4560,\n \"zz\": 1, \"aa\": 2 } ] }"),
              "bad.json:2: unknown key \"zz\"");
    EXPECT_EQ(refusal("{ \"comment\":\n" + std::string(80, '[') + std::string(80, ']') + ", \"modules\": [] }"),
              "bad.json:2: nested deeper than 64 levels");
}

TEST(BusFile, ByteOrderMarkIsSkipped)
{
    const sim::Bus b = sim::parse_bus("\xEF\xBB\xBF{ \"modules\": [\n { \"address\": 1, \"model\": 4560 } ] }", "bom.json");
    ASSERT_EQ(b.modules.size(), 1u);
    try {
        sim::parse_bus("\xEF\xBB\xBF{ \"modules\": [\n { \"address\": 1, \"model\": 45600 } ] }", "bom.json");
        FAIL() << "accepted model 45600";
    } catch (const sim::BusFileError &e) {
        EXPECT_STREQ(e.what(), "bom.json:2: model must be 0..9999");
    }
}

TEST(BusFile, MissingFileIsRefused)
{
    try {
        sim::load_bus_file("/nonexistent/bus.json");
        FAIL() << "accepted a missing file";
    } catch (const sim::BusFileError &e) {
        EXPECT_EQ(e.file, "/nonexistent/bus.json");
        EXPECT_STREQ(e.what(), "/nonexistent/bus.json:0: cannot open the file");
    }
}

}  // namespace
