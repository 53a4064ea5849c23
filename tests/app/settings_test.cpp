// Settings file: byte layout, round trip, short and long files, failure results; channel kinds.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/state.h"
#include "platform/headless/ui_headless.h"

namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        state_reset();
        headless::reset();
        char tmpl[] = "/tmp/vokcfg_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        snprintf(main_window.start_dir, sizeof main_window.start_dir, "%s", dir.c_str());
    }
    void TearDown() override {
        std::error_code ec;
        fs::current_path("/tmp", ec);
        fs::remove_all(dir, ec);
    }
    void write_file(const std::vector<uint8_t> &bytes) {
        std::ofstream f(dir + "/vokcfg.cfg", std::ios::binary);
        f.write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    }
    std::vector<uint8_t> read_file() {
        std::ifstream f(dir + "/vokcfg.cfg", std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
    }
    static uint32_t ip(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        const uint8_t bytes[4] = {a, b, c, d};
        uint32_t v;
        memcpy(&v, bytes, 4);
        return v;
    }
    std::string dir;
};

const std::vector<uint8_t> kSample = {
    3, 4, 7, 0xAA,            // COM3, 38400, type 7, reserved
    10, 1, 2, 3,              // 10.1.2.3
    0x39, 0x30,               // port 12345
    7, 0xBB,                  // net baud index 7 (out of range, kept), reserved
    0xB0, 0x04,               // 1200 ms
    0xCC, 0xDD};              // reserved

TEST_F(SettingsFile, SaveWritesTheSixteenByteLayout) {
    link_settings.com_port = 3;
    link_settings.baud_index = 4;
    link_settings.converter_type = 7;
    link_settings.net_ip = ip(10, 1, 2, 3);
    link_settings.net_port = 12345;
    link_settings.net_baud_index = 7;
    link_settings.reply_wait_ms = 1200;
    ASSERT_EQ(settings_save(nullptr), SETTINGS_OK);
    std::vector<uint8_t> expected = kSample;
    expected[3] = expected[11] = expected[14] = expected[15] = 0;
    EXPECT_EQ(read_file(), expected);
    EXPECT_TRUE(headless::boxes().empty());
}

TEST_F(SettingsFile, LoadTakesTheSevenFieldsAndTheAddressTexts) {
    write_file(kSample);
    link_settings.new_baud_index = 1;
    ASSERT_EQ(settings_load(), SETTINGS_OK);
    EXPECT_EQ(link_settings.com_port, 3);
    EXPECT_EQ(link_settings.baud_index, 4);
    EXPECT_EQ(link_settings.converter_type, 7);
    EXPECT_EQ(link_settings.net_ip, ip(10, 1, 2, 3));
    EXPECT_EQ(link_settings.net_port, 12345);
    EXPECT_EQ(link_settings.net_baud_index, 7);  // no range test on load
    EXPECT_EQ(link_settings.reply_wait_ms, 1200);
    EXPECT_EQ(link_settings.new_baud_index, 1);  // not stored
    EXPECT_EQ(net_state.ip, ip(10, 1, 2, 3));
    EXPECT_STREQ(net_state.ip_text, "10.1.2.3");
    EXPECT_STREQ(net_state.host_text, "10.1.2.3");
}

TEST_F(SettingsFile, RoundTripKeepsEveryStoredField) {
    link_settings.com_port = 8;
    link_settings.baud_index = 0;
    link_settings.converter_type = 4;
    link_settings.net_ip = ip(127, 0, 0, 1);
    link_settings.net_port = 65535;
    link_settings.net_baud_index = 3;
    link_settings.reply_wait_ms = 15000;
    link_settings.new_baud_index = 4;
    ASSERT_EQ(settings_save(nullptr), SETTINGS_OK);
    const LinkSettings saved = link_settings;
    state_reset();
    snprintf(main_window.start_dir, sizeof main_window.start_dir, "%s", dir.c_str());
    ASSERT_EQ(settings_load(), SETTINGS_OK);
    EXPECT_EQ(link_settings.com_port, saved.com_port);
    EXPECT_EQ(link_settings.baud_index, saved.baud_index);
    EXPECT_EQ(link_settings.converter_type, saved.converter_type);
    EXPECT_EQ(link_settings.net_ip, saved.net_ip);
    EXPECT_EQ(link_settings.net_port, saved.net_port);
    EXPECT_EQ(link_settings.net_baud_index, saved.net_baud_index);
    EXPECT_EQ(link_settings.reply_wait_ms, saved.reply_wait_ms);
    EXPECT_EQ(link_settings.new_baud_index, 2);
}

TEST_F(SettingsFile, ShortMissingAndLongFiles) {
    // Missing file.
    EXPECT_EQ(settings_load(), SETTINGS_NO_FILE);
    // 15 bytes: nothing taken.
    write_file(std::vector<uint8_t>(kSample.begin(), kSample.end() - 1));
    EXPECT_EQ(settings_load(), SETTINGS_SHORT);
    EXPECT_EQ(link_settings.com_port, 1);
    EXPECT_EQ(link_settings.converter_type, 0);
    EXPECT_EQ(link_settings.net_ip, default_net_ip());
    EXPECT_EQ(net_state.ip_text[0], 0);
    // More than 16 bytes: the first 16 count.
    std::vector<uint8_t> longer = kSample;
    longer.insert(longer.end(), {9, 9, 9, 9});
    write_file(longer);
    EXPECT_EQ(settings_load(), SETTINGS_OK);
    EXPECT_EQ(link_settings.com_port, 3);
    EXPECT_EQ(link_settings.reply_wait_ms, 1200);
}

TEST_F(SettingsFile, DefaultsAfterAFailedLoadKeepTheConverterAddress) {
    link_settings.com_port = 5;
    link_settings.baud_index = 0;
    link_settings.converter_type = 6;
    link_settings.reply_wait_ms = 900;
    link_settings.new_baud_index = 0;
    ASSERT_NE(settings_load(), SETTINGS_OK);
    settings_apply_defaults();
    EXPECT_EQ(link_settings.com_port, 1);
    EXPECT_EQ(link_settings.baud_index, 2);
    EXPECT_EQ(link_settings.new_baud_index, 2);
    EXPECT_EQ(link_settings.converter_type, 0);
    EXPECT_EQ(link_settings.reply_wait_ms, 50);
    EXPECT_EQ(link_settings.net_ip, ip(192, 168, 1, 100));
    EXPECT_EQ(link_settings.net_port, 10001);
    EXPECT_EQ(link_settings.net_baud_index, 2);
}

TEST_F(SettingsFile, SaveFailures) {
    // Cannot be created: no message.
    fs::create_directory(dir + "/vokcfg.cfg");
    EXPECT_EQ(settings_save(nullptr), SETTINGS_NO_FILE);
    EXPECT_TRUE(headless::boxes().empty());
    fs::remove(dir + "/vokcfg.cfg");
    // Created but the bytes do not fit: the message first, then -2.
    fs::create_symlink("/dev/full", dir + "/vokcfg.cfg");
    UiWindow owner = headless::new_window();
    EXPECT_EQ(settings_save(owner), SETTINGS_SHORT);
    ASSERT_EQ(headless::boxes().size(), 1u);
    EXPECT_EQ(headless::boxes()[0].text, "write vok cfg err");
    EXPECT_EQ(headless::boxes()[0].caption, "ERROR!");
    EXPECT_EQ(headless::boxes()[0].owner, owner);
}

TEST(ChannelKinds, OnlyModels4562And4563HaveThem) {
    state_reset();
    module_table.current = 2;
    Module &m = module_table.module[2];
    m.model = 4562;
    m.chan_mask_a = 0x81;
    m.chan_mask_b = 0x12;
    channel_kind.a[8] = channel_kind.b[8] = 1;
    update_channel_kinds();
    EXPECT_EQ(std::vector<int>(channel_kind.a, channel_kind.a + 9),
              (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(std::vector<int>(channel_kind.b, channel_kind.b + 9),
              (std::vector<int>{0, 1, 0, 0, 1, 0, 0, 0, 0}));

    // Model 4560: the previous kinds stay.
    m.model = 4560;
    m.chan_mask_a = 0xFF;
    update_channel_kinds();
    EXPECT_EQ(channel_kind.a[1], 0);
    EXPECT_EQ(channel_kind.a[7], 1);
}

}  // namespace

namespace {

TEST(StartValues, HoldBeforeAndAfterReset) {
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        const uint8_t *ip = reinterpret_cast<const uint8_t *>(&link_settings.net_ip);
        EXPECT_EQ(std::vector<int>(ip, ip + 4), (std::vector<int>{192, 168, 1, 100}));
        EXPECT_EQ(link_settings.com_port, 1);
        EXPECT_EQ(link_settings.baud_index, 2);
        EXPECT_EQ(link_settings.new_baud_index, 2);
        EXPECT_EQ(link_settings.net_port, 10001);
        EXPECT_EQ(link_settings.net_baud_index, 2);
        EXPECT_EQ(link_settings.reply_wait_ms, 50);
        EXPECT_EQ(net_state.port_entered, 10001);
        EXPECT_EQ(net_state.tcp, SOCK_INVALID);
        EXPECT_EQ(link_state.port, SERIAL_INVALID);
        EXPECT_EQ(real_time.period_index, 1);
        EXPECT_EQ(real_time.max_points, 300);
        EXPECT_EQ(real_time.restart, 1);
        link_settings.com_port = 4;
        real_time.restart = 0;
        state_reset();
    }
}

}  // namespace
