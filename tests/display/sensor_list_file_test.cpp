// Sensor list file on virtual time against the in-process bus: the bytes of the file, the
// channels written per type code, the ID reads sent, and every failure path.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "display/sensor_list_file.h"
#include "tests/ui/ui_fixture.h"

namespace {

namespace fs = std::filesystem;

class SensorListFile : public UiFixture {
protected:
    fs::path dir, old_dir;

    void SetUp() override
    {
        UiFixture::SetUp();
        old_dir = fs::current_path();
        dir = fs::temp_directory_path() / ("vok_list_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
    }

    void TearDown() override
    {
        fs::current_path(old_dir);
        fs::remove_all(dir);
    }

    // A module on the bus and its entry in the table as the search would have left it.
    sim::Module &module_at(int address, int type_code, int model = 4201)
    {
        sim::Module &s = add_module(address, model, static_cast<uint8_t>(type_code));
        Module &m = module_table.module[0];
        module_table.count = 1;
        module_table.current = 0;
        m.address = static_cast<uint8_t>(address);
        m.type_code = type_code;
        m.model = model;
        return s;
    }

    // Units as the bus holds them; the table gets their count and sort numbers.
    void put_units(sim::Module &s, int c, std::vector<sim::Unit> units)
    {
        Module &m = module_table.module[0];
        m.itu_count[c] = static_cast<uint8_t>(units.size());
        for (size_t i = 0; i < units.size(); i++) m.sort_no[c][i] = units[i].sort;
        s.channels[c].units = std::move(units);
    }

    static std::string file(const char *name)
    {
        std::ifstream in(name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static std::vector<std::string> box_texts()
    {
        std::vector<std::string> out;
        for (const auto &b : headless::boxes()) out.push_back(b.caption + ": " + b.text);
        return out;
    }
};

sim::Unit sensor(const char *id_hex, int sort)
{
    sim::Unit u = sim::make_sensor(0x28, 1, 20.0);
    std::istringstream in(id_hex);
    for (auto &b : u.id) {
        int v;
        in >> std::hex >> v;
        b = static_cast<uint8_t>(v);
    }
    u.sort = static_cast<uint8_t>(sort);
    return u;
}

TEST_F(SensorListFile, EveryChannelOfAType134ModuleByteForByteThroughAnEchoingConverter)
{
    sim::Module &s = module_at(0x1A, 134);
    put_units(s, 0, {sensor("28 6A 1F 5B 03 00 00 C4", 12), sensor("28 01 02 03 04 05 06 9F", 3)});
    put_units(s, 3, {sensor("01 12 34 00 00 00 00 00", 7)});
    module_table.module[0].sort_valid = 1;
    conv->echo = true;
    open_serial(0, 2);
    probe_echo();
    ASSERT_EQ(link_state.echo_len, 5);
    requests.clear();

    EXPECT_EQ(export_sensor_list(window), 0);

    const std::string expect =
        "\r\n Model addr:26H, ch:0, num:2"
        "\r\n --------------------------------------\r\n"
        "00(12)->28 6A 1F 5B 03 00 00 C4 \r\n"
        "01(03)->28 01 02 03 04 05 06 9F \r\n"
        "\r\n Model addr:26H, ch:1, num:0"
        "\r\n Model addr:26H, ch:2, num:0"
        "\r\n Model addr:26H, ch:3, num:1"
        "\r\n --------------------------------------\r\n"
        "00(07)->01 12 34 00 00 00 00 00 \r\n"
        "\r\n Model addr:26H, ch:4, num:0"
        "\r\n Model addr:26H, ch:5, num:0"
        "\r\n Model addr:26H, ch:6, num:0"
        "\r\n Model addr:26H, ch:7, num:0";
    EXPECT_EQ(file("model26.txt"), expect);
    // Channels without units send nothing.
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"&1A0", "&1A3"}));
    EXPECT_TRUE(headless::boxes().empty());
}

TEST_F(SensorListFile, ChannelsWrittenFollowTheTypeCode)
{
    sim::Module &s = module_at(0x05, 130);
    put_units(s, 0, {sensor("28 AA BB CC DD EE FF 11", 1)});
    put_units(s, 1, {sensor("28 11 22 33 44 55 66 77", 2)});
    open_serial(0, 2);

    EXPECT_EQ(export_sensor_list(window), 0);
    // No sort numbers read: every line shows "--" for them.
    EXPECT_EQ(file("model05.txt"),
              "\r\n Model addr:05H, ch:0, num:1"
              "\r\n --------------------------------------\r\n"
              "00(--)->28 AA BB CC DD EE FF 11 \r\n");
    EXPECT_EQ(distinct_requests(), (std::vector<std::string>{"&050"}));

    for (int type : {129, 64, 135}) {
        SCOPED_TRACE(type);
        fs::remove("model05.txt");
        requests.clear();
        module_table.module[0].type_code = type;
        EXPECT_EQ(export_sensor_list(window), 1);
        EXPECT_FALSE(fs::exists("model05.txt"));
        EXPECT_TRUE(requests.empty());
    }
    for (int type : {128, 131}) {
        SCOPED_TRACE(type);
        module_table.module[0].type_code = type;
        EXPECT_EQ(export_sensor_list(window), 0);
        EXPECT_NE(file("model05.txt").find("ch:7, num:0"), std::string::npos);
    }
}

// A channel whose IDs could not be read keeps its head, separator and one line per unit,
// but shows its IDs as unread instead of zeros; the other channels are still written.
TEST_F(SensorListFile, ChannelWithoutAnAnswerIsMarkedUnreadAndTheRestIsWritten)
{
    sim::Module &s = module_at(0x1A, 128);
    put_units(s, 0, {sensor("28 6A 1F 5B 03 00 00 C4", 1), sensor("28 01 02 03 04 05 06 9F", 2)});
    put_units(s, 1, {sensor("28 11 22 33 44 55 66 77", 5)});
    module_table.module[0].sort_valid = 1;
    open_serial(0, 2);
    ModuleReply reply;

    struct Fault {
        const char *what;
        std::function<void(sim::Module &)> set;
        int result;
    };
    const Fault faults[] = {
        {"silent", [](sim::Module &m) { m.faults.silent = true; }, CHANNEL_IDS_NO_ANSWER},
        {"short reply", [](sim::Module &m) { m.faults.short_by = 3; }, CHANNEL_IDS_BAD_REPLY},
        {"wrong lead", [](sim::Module &m) { m.faults.wrong_lead = true; }, CHANNEL_IDS_BAD_REPLY},
        {"wrong address", [](sim::Module &m) { m.faults.wrong_address = true; }, CHANNEL_IDS_BAD_REPLY},
    };
    for (const Fault &f : faults) {
        SCOPED_TRACE(f.what);
        headless::boxes().clear();
        sim::Module &bad = *bus.find(0x1A);
        bad.faults = sim::Faults{};
        f.set(bad);
        EXPECT_EQ(read_channel_ids(0, window, &reply), f.result);
        ASSERT_EQ(box_texts(), (std::vector<std::string>{"系统提示: 模块未应答，请重试一次!"}));
        EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK | UI_ICON_WARNING);
    }

    // Channel 0 fails, channel 1 answers.
    headless::boxes().clear();
    sim::Module &m = *bus.find(0x1A);
    m.faults = sim::Faults{};
    m.faults.short_by = 9;
    bus.on_traffic = [&](int64_t, bool request, const std::vector<uint8_t> &b) {
        if (request && b.size() > 3 && b[3] == '1') m.faults.short_by = 0;
    };
    EXPECT_EQ(export_sensor_list(window), 0);
    const std::string text = file("model26.txt");
    EXPECT_EQ(text.substr(0, 171),
              "\r\n Model addr:26H, ch:0, num:2"
              "\r\n --------------------------------------\r\n"
              "00(01)->-- -- -- -- -- -- -- -- \r\n"
              "01(02)->-- -- -- -- -- -- -- -- \r\n"
              "\r\n Model addr:26H, ch:1, num:1");
    EXPECT_NE(text.find("00(05)->28 11 22 33 44 55 66 77 \r\n"), std::string::npos);
    EXPECT_EQ(box_texts().size(), 1u);
    EXPECT_EQ(read_channel_ids(2, window, &reply), CHANNEL_IDS_NONE);
}

TEST_F(SensorListFile, FileErrorsAreShownAndLeaveWhatWasWritten)
{
    sim::Module &s = module_at(0x1A, 130);
    put_units(s, 0, {sensor("28 6A 1F 5B 03 00 00 C4", 1), sensor("28 01 02 03 04 05 06 9F", 2)});
    open_serial(0, 2);

    fs::create_directory("model26.txt");  // cannot be opened as a file
    EXPECT_EQ(export_sensor_list(window), 0);
    EXPECT_EQ(box_texts(), (std::vector<std::string>{"ERROR!: file handle err"}));
    EXPECT_EQ(headless::boxes()[0].flags, UI_MB_OK);
    EXPECT_TRUE(requests.empty());
    fs::remove("model26.txt");

    // A file size limit cuts the writes short at a chosen byte: in the head, in the
    // separator, in the second line.
    struct rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    void (*old_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct Cut {
        rlim_t at;
        int result;
        const char *message;
    };
    const int head = 30, separator = 43, line = 34;
    const Cut cuts[] = {
        {10, -1, "ERROR!: write file header err"},
        {head + 20, -1, "ERROR!: write file header err"},
        {head + separator + line + 5, -2, "ERROR!: write file info err"},
    };
    for (const Cut &c : cuts) {
        SCOPED_TRACE(c.at);
        headless::boxes().clear();
        fs::remove("model26.txt");
        struct rlimit lim = old_limit;
        lim.rlim_cur = c.at;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
        const int result = export_sensor_list(window);
        setrlimit(RLIMIT_FSIZE, &old_limit);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(box_texts(), (std::vector<std::string>{c.message}));
        EXPECT_EQ(fs::file_size("model26.txt"), c.at);
    }
    signal(SIGXFSZ, old_handler);
}

TEST(SensorListLines, WidthsAndMarks)
{
    const uint8_t id[8] = {0x28, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07};
    char out[SENSOR_LIST_LINE_MAX];
    EXPECT_EQ(sensor_list_line(out, sizeof out, 3, -1, id), SENSOR_LIST_LINE_LEN);
    EXPECT_STREQ(out, "03(--)->28 A1 B2 C3 D4 E5 F6 07 \r\n");
    // Three-digit numbers widen the line rather than being cut.
    EXPECT_EQ(sensor_list_line(out, sizeof out, 100, 255, id), SENSOR_LIST_LINE_LEN + 2);
    EXPECT_STREQ(out, "100(255)->28 A1 B2 C3 D4 E5 F6 07 \r\n");
    char head[SENSOR_LIST_HEAD_MAX];
    EXPECT_EQ(sensor_list_head(head, sizeof head, 255, 7, 255), 33);
    EXPECT_STREQ(head, "\r\n Model addr:255H, ch:7, num:255");
}

}  // namespace
