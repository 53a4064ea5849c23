// ID-list lines and type codes built from ID records: the 1-Wire, ITU and all-channels
// readers, model 4103's ITU modules, the numbering work area and the table capacities.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/state.h"
#include "display/sensor_ids.h"

namespace {

using Ids = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t> flat(const Ids &ids)
{
    std::vector<uint8_t> out;
    for (const auto &id : ids) out.insert(out.end(), id.begin(), id.end());
    return out;
}

class SensorIds : public ::testing::Test {
protected:
    Module m{};
    IdList list{};
    void SetUp() override
    {
        state_reset();
        m = Module{};
    }
};

TEST_F(SensorIds, OneWireLinePrefixFollowsSortValidity)
{
    const Ids ids = {{0x10, 1, 2, 3, 4, 5, 6, 7}, {0x22, 9, 9, 9, 9, 9, 9, 9}, {0x26, 0, 0, 0, 0, 0, 0, 0},
                     {0x28, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07}};
    m.model = 4301;
    m.itu_count[1] = 4;
    auto bytes = flat(ids);

    fill_sensor_ids(&m, 1, 4, bytes.data(), &list);
    ASSERT_EQ(list.count, 4);
    EXPECT_STREQ(list.line[3], "03(--)->28 A1 B2 C3 D4 E5 F6 07 ");
    EXPECT_STREQ(numbering.line_store[3], list.line[3]);
    const uint8_t want_types[] = {0x10, 0x22, 0x26, 0x28};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ItuTypeTable[1][i], want_types[i]) << i;
    // Without valid sort numbers the numbering work area keeps what it had.
    EXPECT_EQ(numbering.old_number[0], 0);

    m.sort_valid = 1;
    m.sort_no[1][0] = 7;
    m.sort_no[1][3] = 12;
    fill_sensor_ids(&m, 1, 4, bytes.data(), &list);
    EXPECT_STREQ(list.line[0], "00(07)->10 01 02 03 04 05 06 07 ");
    EXPECT_STREQ(list.line[3], "03(12)->28 A1 B2 C3 D4 E5 F6 07 ");
    EXPECT_EQ(numbering.old_number[3], 12);
    EXPECT_EQ(numbering.new_number[3], 12);

    // All channels: no sort numbers, the types go to the all-channels table, and the
    // numbering work area (one channel's) is left alone.
    std::strcpy(numbering.line_store[0], "kept");
    fill_sensor_ids(&m, 8, 4, bytes.data(), &list);
    EXPECT_STREQ(list.line[3], "03(--)->28 A1 B2 C3 D4 E5 F6 07 ");
    EXPECT_EQ(ItuTypeTableAll[1], 0x22);
    EXPECT_STREQ(numbering.line_store[0], "kept");
}

TEST_F(SensorIds, Model4103ChannelsOneAndTwoAndAllAreItuModules)
{
    m.model = 4103;
    m.itu_count[0] = 2;
    m.itu_count[2] = 3;
    m.itu_total = 5;
    const Ids ids = {{0x28, 1, 1, 1, 1, 1, 1, 0x11}, {0x28, 2, 2, 2, 2, 2, 2, 0x22},
                     {0x89, 0, 0, 0, 0, 0, 0, 0}, {0x89, 0, 0, 0, 0, 0, 0, 0}, {0x89, 0, 0, 0, 0, 0, 0, 0}};
    auto bytes = flat(ids);

    fill_sensor_ids(&m, 2, 3, bytes.data(), &list);
    ASSERT_EQ(list.count, 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(list.line[i], "VOK4701-ITU温湿度模块");
        EXPECT_EQ(ItuTypeTable[2][i], 0x89);
        EXPECT_STREQ(numbering.line_store[i], "VOK4701-ITU温湿度模块");
    }

    fill_sensor_ids(&m, 8, 5, bytes.data(), &list);
    ASSERT_EQ(list.count, 5);
    EXPECT_STREQ(list.line[0], "00(--)->28 01 01 01 01 01 01 11 ");
    EXPECT_STREQ(list.line[1], "01(--)->28 02 02 02 02 02 02 22 ");
    for (int i = 2; i < 5; ++i) EXPECT_STREQ(list.line[i], "VOK4701-ITU温湿度模块");
    const uint8_t types[] = {0x28, 0x28, 0x89, 0x89, 0x89};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ItuTypeTableAll[i], types[i]) << i;

    // Without units on channel 0 every unit of the total is an ITU module.
    m.itu_count[0] = 0;
    ItuTypeTableAll[0] = 0;
    fill_sensor_ids(&m, 8, 3, bytes.data(), &list);
    EXPECT_EQ(ItuTypeTableAll[0], 0x89);
    EXPECT_STREQ(list.line[0], "VOK4701-ITU温湿度模块");
}

TEST_F(SensorIds, ItuTypeTexts)
{
    struct Row { int type; const char *own_channel; const char *all_channels; };
    const Row rows[] = {
        {0, "4700单湿度ITU---12-34 ", "4700单湿度ITU---12-34 "},
        {1, "4701温湿度ITU---12-34 ", "4701温湿度ITU---12-34 "},
        {2, "4702高温型ITU---12-34 ", "4702高温型ITU---12-34 "},
        {3, "4703-8温度ITU---12-34 ", "4703-8温度ITU---12-34 "},
        {4, "4704-8输入ITU---12-34 ", "4704-8输入ITU---12-34 "},
        {5, "4705-8输出ITU---12-34 ", "4705-8输出ITU---12-34 "},
        {6, "4706-4入4出ITU---12-34 ", "4706-4入4出ITU---12-34 "},
        {7, "(07 ]未知ITU---12-34 ", "(07 ]未知ITU---12-34 "},
        {8, "5808-TVOC ITU---12-34 ", "(08 ]未知ITU---12-34 "},
        {11, "4711-4模拟量ITU---12-34 ", "4711-4模拟量ITU---12-34 "},
        {12, "(0C ]未知ITU---12-34 ", "(0C ]未知ITU---12-34 "},
        {0x7F, "(7F ]未知ITU---12-34 ", "(7F ]未知ITU---12-34 "},
    };
    m.model = 4562;
    for (const Row &r : rows) {
        const std::vector<uint8_t> id = {static_cast<uint8_t>(r.type), 0x12, 0x34, 0, 0, 0, 0, 0};
        m.sort_no[4][0] = 9;
        fill_itu_ids(&m, 4, 1, id.data(), &list);
        EXPECT_EQ(std::string(list.line[0]), std::string("00(09)->") + r.own_channel) << r.type;
        EXPECT_EQ(ItuTypeTable[4][0], r.type);
        fill_all_ids(1, id.data(), &list);
        EXPECT_EQ(std::string(list.line[0]), std::string("00(--)->") + r.all_channels) << r.type;
        EXPECT_EQ(ItuTypeTableAll[0], r.type);
    }
    // Models 4562/4563 keep ID bytes 1 and 2 for the ITU dialogs.
    EXPECT_EQ(m.itu_id1[4][0], 0x12);
    EXPECT_EQ(m.itu_id2[4][0], 0x34);
}

TEST_F(SensorIds, AllChannelsTellOneWireUnitsFromItusByIdBytesThreeToSeven)
{
    const Ids ids = {{0x28, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07},  // 1-Wire: 0xA8
                     {0x01, 0x12, 0x34, 0, 0, 0, 0, 0},                   // ITU type 1
                     {0x10, 0x01, 0x02, 0, 0, 0, 0, 0x5A},                // 1-Wire: 0x90
                     {0x05, 0x00, 0x00, 0, 0, 0, 0, 0x01},                // 0x85: no family, unknown
                     {0x42, 0x00, 0x00, 0x01, 0, 0, 0, 0}};               // 1-Wire: 0xC2
    auto bytes = flat(ids);
    fill_all_ids(5, bytes.data(), &list);
    ASSERT_EQ(list.count, 5);
    EXPECT_STREQ(list.line[0], "00(--)->28 A1 B2 C3 D4 E5 F6 07 ");
    EXPECT_STREQ(list.line[1], "01(--)->4701温湿度ITU---12-34 ");
    EXPECT_STREQ(list.line[2], "02(--)->10 01 02 00 00 00 00 5A ");
    EXPECT_STREQ(list.line[3], "03(--)->(85 ]未知ITU---00-00 ");
    EXPECT_STREQ(list.line[4], "04(--)->42 00 00 01 00 00 00 00 ");
    const uint8_t types[] = {0xA8, 0x01, 0x90, 0x85, 0xC2};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ItuTypeTableAll[i], types[i]) << i;
}

TEST_F(SensorIds, CountsAreRefusedPerModelAndCappedToTheTables)
{
    struct Row { int model; int channel; int count; int reader; int want; };
    const Row rows[] = {
        {4301, 0, 0, ID_READER_SENSORS, 0},
        {4301, 5, 3, ID_READER_SENSORS, 3},
        {4101, 1, 3, ID_READER_SENSORS, 0},   // alarm bytes, not units, beyond CH0
        {4102, 7, 3, ID_READER_SENSORS, 0},
        {4103, 2, 3, ID_READER_SENSORS, 3},
        {4103, 3, 3, ID_READER_SENSORS, 0},
        {4103, 3, 3, ID_READER_ITUS, 3},      // the refusal is the 1-Wire reader's only
        {4560, 2, 200, ID_READER_ITUS, 64},   // a channel holds 64 units
    };
    for (const Row &r : rows) {
        Module mod{};
        mod.model = r.model;
        mod.itu_count[r.channel] = static_cast<uint8_t>(r.count);
        EXPECT_EQ(id_read_count(&mod, r.reader, r.channel), r.want) << r.model << " CH" << r.channel;
    }
    Module all{};
    all.itu_total = 8 * 255;
    EXPECT_EQ(id_read_count(&all, ID_READER_ALL, 8), 512);
    all.itu_total = 0;
    EXPECT_EQ(id_read_count(&all, ID_READER_ALL, 8), 0);
}

}  // namespace
