// Plant file: a full file read as written, and one row per fault with the line and the text
// the user sees.
#include <gtest/gtest.h>

#include <string>

#include "monitor/plant.h"

namespace {

const char Good[] = R"({
  "database": "plant.db",
  "retention_days": 90,
  "links": [
    {"name": "store-1", "port": "/dev/ttyUSB0", "baud": 19200, "period_s": 2.5,
     "modules": [{"address": "01"}, {"address": "7FH", "channels": [0, 3]}],
     "alarms": [{"module": "01", "channel": 2, "high": 30.5, "low": -5},
                {"link_down_periods": 2}]},
    {"name": "cold.room", "port": "127.0.0.1:10001", "period_s": 10, "modules": "search"}
  ],
  "alarms": [{"unit_id": "28ff0011223344aa", "high": 8}, {"silent_periods": 3}]
}
)";

Plant P;

TEST(PlantFile, ReadsEveryFieldAndDefault)
{
    char error[PLANT_ERROR_MAX] = "";
    ASSERT_EQ(plant_parse(Good, "plant.json", &P, error, sizeof error), 0) << error;
    EXPECT_STREQ(P.database, "plant.db");
    EXPECT_EQ(P.retention_days, 90);
    ASSERT_EQ(P.link_count, 2);
    const PlantLink &a = P.link[0], &b = P.link[1];
    EXPECT_EQ(a.converter, 0);
    EXPECT_EQ(a.baud, 19200);
    EXPECT_EQ(a.period_ms, 2500);
    EXPECT_EQ(a.line, 5);
    ASSERT_EQ(a.module_count, 2);
    EXPECT_EQ(a.module[0].address, 0x01);
    EXPECT_EQ(a.module[0].channels, 0);
    EXPECT_EQ(a.module[1].address, 0x7F);
    EXPECT_EQ(a.module[1].channels, 0x09);
    EXPECT_EQ(b.converter, 4);  // host:port means the network converter
    EXPECT_EQ(b.baud, 9600);
    EXPECT_EQ(b.search, 1);
    ASSERT_EQ(P.alarm_count, 4);
    EXPECT_EQ(P.alarm[0].kind, ALARM_LIMIT);
    EXPECT_EQ(P.alarm[0].link, 0);
    EXPECT_EQ(P.alarm[0].module, 1);
    EXPECT_EQ(P.alarm[0].channel, 2);
    EXPECT_TRUE(P.alarm[0].has_high && P.alarm[0].has_low);
    EXPECT_DOUBLE_EQ(P.alarm[0].low, -5);
    EXPECT_EQ(P.alarm[1].kind, ALARM_LINK_DOWN);
    EXPECT_EQ(P.alarm[1].periods, 2);
    EXPECT_EQ(P.alarm[2].link, -1);
    EXPECT_STREQ(P.alarm[2].unit_id, "28FF0011223344AA");
    EXPECT_FALSE(P.alarm[2].has_low);
    EXPECT_EQ(P.alarm[3].kind, ALARM_SILENT);
    EXPECT_EQ(P.alarm[3].module, -1);
}

// A link with one field replaced, on line 3 of a small file.
std::string with_link(const std::string &fields)
{
    return "{\"database\": \"p.db\",\n \"links\": [\n  {" + fields + "}\n ]\n}\n";
}
const std::string L = R"("name": "a", "port": "/dev/ttyS0", "period_s": 1, )";

struct Fault {
    std::string text;
    const char *error;
};

TEST(PlantFile, EachFaultIsOneLineWithItsLine)
{
    const Fault rows[] = {
        {"{\"database\": \"p.db\",\n \"links\": [\n", "p.json:3: not valid JSON: syntax error while parsing value"},
        {"{\"database\": \"p.db\", \"database\": \"q.db\"}", "p.json:1: key 'database' given twice in the same object"},
        {with_link(L + R"("modules": "search", "baud": 1e400)"), "p.json:3: not valid JSON: number overflow parsing '1e400'"},
        {"[]", "p.json:1: the file: give an object"},
        {"{\"links\": []}", "p.json:1: the file: 'database' is missing"},
        {"{\"database\": \"p.db\",\n \"link\": []}", "p.json:2: link: unknown key; this object takes database, retention_days, links, alarms"},
        {"{\"database\": \"p.db\",\n \"links\": []}", "p.json:2: links: give a list of the links to poll"},
        {with_link(L + R"("modules": "search", "baud": 9601)"), "p.json:3: links[0].baud: 9601 is not valid: give the bus speed"},
        {with_link(L + R"("modules": "search", "baud": "9600")"), "p.json:3: links[0].baud: \"9600\" is not valid"},
        {with_link(L + R"("modules": "search", "converter": 8)"), "p.json:3: links[0].converter: 8 is not valid"},
        {with_link(L + R"("modules": "search", "wait_ms": 5)"), "p.json:3: links[0].wait_ms: 5 is not valid"},
        {with_link(L + R"("modules": "search", "perod_s": 2)"), "p.json:3: links[0].perod_s: unknown key"},
        {with_link(R"("name": "a", "port": "x", "period_s": 0.1, "modules": "search")"), "links[0].period_s: 0.1 is not valid: give the period in seconds"},
        {with_link(R"("name": "a", "port": "x", "modules": "search")"), "p.json:3: links[0]: 'period_s' is missing"},
        {with_link(R"("name": "a b", "port": "x", "period_s": 1, "modules": "search")"), "links[0].name: \"a b\" is not valid"},
        {with_link(L + R"("modules": "all")"), "links[0].modules: give \"search\" or a list"},
        {with_link(L + R"("modules": [{"address": "100"}])"), "links[0].modules[0].address: \"100\" is not valid"},
        {with_link(L + R"("modules": [{"address": 1}])"), "links[0].modules[0].address: 1 is not valid"},
        {with_link(L + R"("modules": [{"address": "01"},
   {"address": "0x01"}])"), "p.json:4: links[0].modules[1].address: module 01 is listed twice"},
        {with_link(L + R"("modules": [{"address": "01", "channels": [8]}])"), "links[0].modules[0].channels[0]: 8 is no channel"},
        {with_link(L + R"("modules": [{"address": "01", "channels": [1, 1]}])"), "channels[1]: channel 1 is listed twice"},
        {with_link(L + R"("modules": "search", "alarms": [{}])"), "links[0].alarms[0]: one rule per alarm"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": 5, "silent_periods": 2}])"), "one rule per alarm"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": 5, "low": 5}])"), "links[0].alarms[0].low: 5 is not below the high limit 5"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": "hot"}])"), "alarms[0].high: \"hot\" is not valid: give a number"},
        {with_link(L + R"("modules": "search", "alarms": [{"silent_periods": 0}])"), "alarms[0].silent_periods: 0 is not valid"},
        {with_link(L + R"("modules": "search", "alarms": [{"link_down_periods": 1, "module": "01"}])"), "leave out module, channel and unit_id"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": 1, "channel": 1}])"), "alarms[0].channel: a channel is named with its module"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": 1, "unit_id": "28FF"}])"), "alarms[0].unit_id: \"28FF\" is not valid"},
        {with_link(L + R"("modules": "search", "alarms": [{"high": 1, "unit_id": "28FF0011223344AA", "module": "01"}])"), "give either unit_id or module/channel"},
        {"{\"database\": \"p.db\", \"links\": [{" + L + "\"modules\": \"search\"}],\n \"alarms\": [{\"high\": 1, \"module\": \"01\"}]}",
         "p.json:2: alarms[0].module: a module is named within a link"},
        {"{\"database\": \"p.db\", \"links\": [\n {" + L + "\"modules\": \"search\"},\n {" + L + "\"modules\": \"search\"}]}",
         "p.json:3: links[1].name: \"a\" names link 0 already (line 2)"},
        {"{\"database\": \"p.db\", \"links\": [\n {\"name\": \"a\", \"port\": \"Host:1\", \"period_s\": 1, \"modules\": \"search\"},\n"
         " {\"name\": \"b\", \"port\": \"host:1\", \"period_s\": 1, \"modules\": \"search\"}]}",
         "p.json:3: links[1].port: \"host:1\" is the port of link \"a\" already"},
    };
    for (const Fault &f : rows) {
        char error[PLANT_ERROR_MAX] = "";
        EXPECT_EQ(plant_parse(f.text.c_str(), "p.json", &P, error, sizeof error), -1) << f.text;
        EXPECT_NE(std::string(error).find(f.error), std::string::npos) << "got: " << error << "\nwant: " << f.error;
        EXPECT_EQ(std::string(error).find('\n'), std::string::npos) << error;
    }
}

TEST(PlantFile, SerialPathsDifferingInCaseAreTwoPorts)
{
    const std::string text = "{\"database\": \"p.db\", \"links\": [\n"
                             " {\"name\": \"a\", \"port\": \"/dev/ttyS0\", \"period_s\": 1, \"modules\": \"search\"},\n"
                             " {\"name\": \"b\", \"port\": \"/dev/ttys0\", \"period_s\": 1, \"modules\": \"search\"}]}";
    char error[PLANT_ERROR_MAX] = "";
    EXPECT_EQ(plant_parse(text.c_str(), "p.json", &P, error, sizeof error), 0) << error;
}

TEST(PlantFile, MissingFileSaysSo)
{
    char error[PLANT_ERROR_MAX] = "";
    EXPECT_EQ(plant_load("/nonexistent/plant.json", &P, error, sizeof error), -1);
    EXPECT_STREQ(error, "cannot read the plant file /nonexistent/plant.json: check the path and its permissions");
}

}  // namespace
