// vokcli read, ids and watch on a bus built here: the units' IDs and decoded readings in
// text, CSV and JSON lines; the CSV log of a watch with its period, resumption and Ctrl-C.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/cli/cli_fixture.h"

namespace {

class CliRead : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        use_small_bus();  // and sort numbers, a unit on CH2, an ITU module at 0x22
        sim::Module &m = *bus.find(0x21);
        m.channels[0].units[0].sort = 7;
        m.channels[0].units[1].sort = 3;
        m.channels[2].units = {sim::make_sensor(0x28, 0x1003, 125.0)};
        m.channels[2].units[0].sort = 1;
        bus.find(0x23)->analog[1] = sim::Reading::constant(62.5);
        bus.add(sim::make_module(0x22, 4560)).channels[1].units = {sim::make_itu(2, 0x05, 0x06, 437.5)};
    }
};

using CliWatch = CliRead;

TEST_F(CliRead, TableCsvAndJsonCarryTheIdsAndDecodedReadings)
{
    const sim::Module &m = *bus.find(0x21);
    const std::string a = id_hex(m.channels[0].units[0]), b = id_hex(m.channels[0].units[1]),
                      c = id_hex(m.channels[2].units[0]);
    CliRun r = run({"read", "21", "--port", "COM1"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "module 21  VOK4201  model 4201  type 80  COM1 at 9600 baud\n"
                     "ch  unit  sort  id                reading\n"
                     "0   00    7     " + a + "  (--B20--)(+21.500)℃\n"
                     "0   01    3     " + b + "  (--B20--)(-10.125)℃\n"
                     "2   00    1     " + c + "  (--B20--)(+125.000)℃\n");
    EXPECT_EQ(r.err, "");

    r = run({"read", "21", "--port", "COM1", "--csv", "--channel", "0"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "module,channel,unit,sort,id,type,reading,value\n"
                     "21,0,0,7," + a + ",28,(--B20--)(+21.500)℃,21.5000\n"
                     "21,0,1,3," + b + ",28,(--B20--)(-10.125)℃,-10.1250\n");

    r = run({"read", "21", "--port", "127.0.0.1:10001", "--json", "--channel", "2"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "{\"module\": \"21\", \"channel\": 2, \"unit\": 0, \"sort\": 1, \"id\": \"" + c +
                         "\", \"type\": \"28\", \"text\": \"00(01)->" +
                         "28 03 10 00 00 01 00 " + c.substr(14) + " \", \"reading\": \"(--B20--)(+125.000)℃\", \"value\": 125.0000}\n");
}

TEST_F(CliRead, ItuAndFixedReadingModulesUseTheirOwnReaders)
{
    CliRun r = run({"ids", "22", "--port", "COM1", "--csv"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "module,channel,unit,sort,id,type,text\n"
                     "22,1,0,,0205060000000000,02,00(05)->4702高温型ITU---05-06 \n");
    r = run({"read", "22", "--port", "COM1", "--csv"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(lines(r.out)[1], "22,1,0,,0205060000000000,02,+437.50℃,");

    r = run({"read", "23", "--port", "COM1", "--csv", "--channel", "0"});  // model 4500: CH3 only
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vokcli: module 0x23 (VOK4500) has its readings on CH3 only: give --channel 3 or leave it out\n");
    r = run({"ids", "23", "--port", "COM1"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vokcli: module 0x23 (VOK4500) keeps no unit IDs: vokcli read 23 shows its readings\n");
    r = run({"read", "23", "--port", "COM1", "--csv", "--channel", "3"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "module,channel,unit,sort,id,type,reading,value\n"
                     "23,3,0,,,28,(--B20--)(+64.875)℃,64.8750\n"
                     "23,3,1,,,28,(--B20--)(+62.500)℃,62.5000\n");
}

TEST_F(CliRead, SilentModulesAndEmptyChannelsEndWithOneLine)
{
    CliRun r = run({"read", "30", "--port", "COM1"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vokcli: no reply from module 0x30 on COM1 at 9600 baud: check the address, the converter type and the baud rate\n");

    r = run({"read", "21", "--port", "COM1", "--channel", "5"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "vokcli: module 0x21 (VOK4201) has no units on CH5 that vokmon shows: give another --channel\n");

    // A module that answers with the wrong lead: one line with what came back, nothing made up.
    bus.find(0x21)->faults.wrong_lead = true;
    for (const char *cmd : {"read", "ids", "export"}) {
        r = run({cmd, "21", "--port", "COM1"});
        EXPECT_EQ(r.rc, 4) << cmd;
        EXPECT_EQ(r.out, "") << cmd;
        EXPECT_EQ(r.err, "vokcli: module 0x21 answered its name request with \"?21VOK4201\\r\", not with its name: check the "
                         "converter type and the baud rate\n") << cmd;
    }
}

TEST_F(CliWatch, TenPeriodsGiveTenReadoutsAtTheirTimesAndAResumableFile)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    CliRun r = run({"watch", "21", "--channel", "0", "--period", "2", "--count", "10", "--out", csv, "--port", "COM1"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 10u);
    EXPECT_EQ(r.err.rfind("watch done: 10 readouts (0 failed), 20 rows appended to " + csv + ", 0 reconnects\n", 0), 0u) << r.err;
    auto rows = lines(slurp(csv));
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0], "time,elapsed_s,module,channel,unit,id,reading,value,status");
    const std::regex row("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[-+]\\d\\d:\\d\\d,(\\d+\\.\\d{3}),21,0,([01]),[0-9A-F]{16},"
                         "\\(--B20--\\)\\(([-+][0-9.]+)\\)℃,(-?[0-9.]+),ok");
    for (int k = 0; k < 20; ++k) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(rows[(size_t)k + 1], m, row)) << rows[(size_t)k + 1];
        EXPECT_EQ(std::stod(m[1]), k % 2 ? k - 1 : k) << rows[(size_t)k + 1];  // on the period's grid
        EXPECT_EQ(m[2], k % 2 ? "1" : "0");
        EXPECT_EQ(std::stod(m[4]), k % 2 ? -10.125 : 21.5);
    }

    // Interrupted mid-row (the process killed while writing): the next run mends the file
    // and goes on without a second header.
    {
        std::ofstream f(csv, std::ios::app | std::ios::binary);
        f << "2026-12-07T10:00:00.000+01:00,20.000,21,0,0,28";
    }
    r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "2", "--out", csv, "--port", "COM1", "--quiet"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "");
    rows = lines(slurp(csv));
    ASSERT_EQ(rows.size(), 25u);
    for (size_t k = 1; k < rows.size(); ++k) EXPECT_TRUE(std::regex_match(rows[k], row)) << rows[k];

    // Another file is not written over.
    const std::string other = temp_path("other.csv");
    {
        std::ofstream f(other);
        f << "a,b\n1,2\n";
    }
    r = run({"watch", "21", "--channel", "0", "--period", "1", "--out", other, "--port", "COM1"});
    EXPECT_EQ(r.rc, 5);
    EXPECT_EQ(slurp(other), "a,b\n1,2\n");
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
}

TEST_F(CliWatch, CtrlCEndsTheWatchWithASummaryAndEveryRowWritten)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    fake::interrupt_at_us(fake::now_us() + 7500000);  // during the wait for the fourth readout
    CliRun r = run({"watch", "21", "--channel", "2", "--period", "2.5", "--out", csv, "--port", "127.0.0.1:10001", "--quiet"});
    EXPECT_EQ(r.rc, 130) << r.err;
    EXPECT_EQ(r.err, "watch stopped by Ctrl-C: 3 readouts (0 failed), 3 rows appended to " + csv + ", 0 reconnects\n" +
                         "  CH2 unit 00 " + id_hex(bus.find(0x21)->channels[2].units[0]) +
                         ": min 125.000  max 125.000  last 125.000\n");
    EXPECT_EQ(lines(slurp(csv)).size(), 4u);
}

TEST_F(CliWatch, AModuleThatStopsAnsweringIsCountedNotFatal)
{
    const std::string csv = temp_path("watch.csv");
    std::remove(csv.c_str());
    bus.find(0x21)->faults.silent = false;
    // Silent from the third readout on (the parameters and IDs were read before).
    CliRun r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "1", "--out", csv, "--port", "COM1", "--quiet"});
    ASSERT_EQ(r.rc, 0);
    bus.find(0x21)->faults.silent = true;
    r = run({"watch", "21", "--channel", "0", "--period", "1", "--count", "2", "--out", csv, "--port", "COM1", "--quiet"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "vokcli: no reply from module 0x21 on COM1 at 9600 baud: check the address, the converter type and the baud rate\n");
}

}  // namespace
