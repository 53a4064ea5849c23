// vokcli export and discover: the sensor list file with the IDs the bus really holds, its
// failures by exit code, and the converters a discovery finds on the fake network.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_fixture.h"

namespace {

using CliExport = CliFixture;
using CliDiscover = CliFixture;

std::string fresh_dir(const std::string &path)
{
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

TEST_F(CliExport, WritesTheModulesFileWithTheIdsOnTheBus)
{
    const std::string dir = fresh_dir(temp_path("out"));
    const CliRun r = run({"export", "01", "--port", "COM1", "--dir", dir});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, dir + "/model01.txt\n");
    EXPECT_EQ(r.err, "");
    const std::string file = slurp(dir + "/model01.txt");
    const sim::Module &m = *bus.find(0x01);
    // Every channel head in order; every unit of a channel with its ID as the bus has it.
    size_t at = 0;
    for (int c = 0; c < 8; ++c) {
        const auto &units = m.channels[(size_t)c].units;
        const std::string head = "\r\n Model addr:01H, ch:" + std::to_string(c) + ", num:" + std::to_string(units.size());
        const size_t h = file.find(head, at);
        ASSERT_EQ(h, at) << c;
        at = h + head.size();
        for (size_t i = 0; i < units.size(); ++i) {
            const std::string id = id_hex(units[i], " ") + "\r\n";
            const size_t line = file.find(id, at);
            ASSERT_NE(line, std::string::npos) << c << " " << i;
            at = line + id.size();
        }
    }
}

TEST_F(CliExport, FailuresSayWhatWentWrongByExitCode)
{
    const std::string dir = fresh_dir(temp_path("out"));
    CliRun r = run({"export", "05", "--port", "COM1", "--dir", dir});  // type 40: no list kept
    EXPECT_EQ(r.rc, 4);
    EXPECT_EQ(r.err, "vokcli: module 0x05 is a VOK4501 of type code 40, for which no sensor list is kept\n");
    EXPECT_FALSE(std::filesystem::exists(dir + "/model05.txt"));

    r = run({"export", "20", "--port", "COM1", "--dir", dir});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "vokcli: no reply from module 0x20 on COM1 at 9600 baud: check the address, the converter type and the baud rate\n");

    r = run({"export", "01", "--port", "COM1", "--dir", dir + "/missing"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(lines(r.err).size(), 1u);

    // The ID replies come three bytes short: the file is written with "--" for those IDs and
    // the command says so.
    bus.find(0x01)->faults.short_by = 3;
    r = run({"export", "01", "--port", "COM1", "--dir", dir});
    EXPECT_EQ(r.rc, 1) << r.err;
    EXPECT_EQ(r.err.rfind("vokcli: module 0x01 did not answer every ID read", 0), 0u) << r.err;
    EXPECT_NE(slurp(dir + "/model01.txt").find("->-- -- -- -- -- -- -- -- \r\n"), std::string::npos);
}

TEST_F(CliDiscover, ListsTheConvertersOfEachNetwork)
{
    const uint32_t mask24 = sim::ip4(255, 255, 255, 0);
    fake::set_interfaces({sim::ip4(127, 0, 0, 1), sim::ip4(10, 1, 1, 5)}, {sim::ip4(255, 0, 0, 0), mask24});
    netconv->config.ip = sim::ip4(10, 1, 1, 50);
    netconv->config.mask = mask24;
    netconv->config.tcp_port = 10001;
    fake::attach_udp(netconv.get());
    sim::NetConverter second(&bus);
    second.config.mac = {0x00, 0x20, 0x4A, 0x00, 0x00, 0x02};
    second.config.ip = 0;  // no fixed address: answers from its DHCP lease
    second.config.dhcp_ip = sim::ip4(10, 1, 1, 77);
    second.config.mask = mask24;
    second.config.tcp_port = 4001;
    second.line_baud = 38400;
    fake::attach_udp(&second);

    const CliRun r = run({"discover"});
    ASSERT_EQ(r.rc, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    EXPECT_EQ(out[0], "mac                ip               port   baud   network");
    EXPECT_EQ(out[1], "00:20:4A:12:34:56  10.1.1.50        10001  9600   10.1.1.5/24");
    EXPECT_EQ(out[2], "00:20:4A:00:00:02  10.1.1.77         4001  38400  10.1.1.5/24  (no fixed address: answered from this one)");

    const CliRun j = run({"discover", "--json"});
    ASSERT_EQ(j.rc, 0) << j.err;
    EXPECT_NE(j.out.find("{\"mac\": \"00:20:4A:00:00:02\", \"ip\": \"10.1.1.77\", \"ip_unset\": true, \"port\": 4001, "
                         "\"baud\": 38400, \"network\": \"10.1.1.5/24\"}"),
              std::string::npos)
        << j.out;
    // Only the host's own broadcast addresses were asked, never a converter's default address.
    for (const auto &e : fake::net_log()) {
        if (e.kind == fake::NetEvent::SendTo) {
            EXPECT_EQ(e.ip, sim::ip4(10, 1, 1, 255));
        }
    }
}

TEST_F(CliDiscover, NoConverterOrNoNetworkEndsWithOneLine)
{
    fake::set_interfaces({sim::ip4(127, 0, 0, 1), sim::ip4(10, 1, 1, 5)}, {sim::ip4(255, 0, 0, 0), sim::ip4(255, 255, 255, 0)});
    CliRun r = run({"discover"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "vokcli: no network converter answered on UDP port 30718 on 1 network: check the cable and that the converter is on\n");
    fake::set_interfaces({sim::ip4(127, 0, 0, 1)}, {sim::ip4(255, 0, 0, 0)});
    r = run({"discover"});
    EXPECT_EQ(r.rc, 3);
    EXPECT_EQ(r.err.rfind("vokcli: no network interface besides loopback", 0), 0u) << r.err;
}

}  // namespace
