// Reading decoders: line texts, values and out-of-tolerance counts per type code and module.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "display/decode.h"

namespace {

Module make_module(int model, const char *firmware = "V1.00", int itu_count0 = 0)
{
    Module m;
    memset(&m, 0, sizeof m);
    m.model = model;
    strncpy(m.firmware, firmware, sizeof m.firmware - 1);
    m.itu_count[0] = (uint8_t)itu_count0;
    return m;
}

enum Decoder { SENSOR, ITU, ALL };

struct Case {
    const char *what;
    Decoder decoder;
    int model;
    const char *firmware;
    int t;
    int i;
    int channel;
    uint8_t rec[4];
    const char *text;
    int has_value;
    float value;
    int out_of_tolerance;
};

const char *const FW_CAL = "V2.30";  // '2' at position 1, '3' at position 3

const Case CASES[] = {
    // 1-Wire family units through the sensor reader.
    {"0x28 +125", SENSOR, 4101, "V1.00", 0x28, 0, 0, {0xD0, 0x07, 0x4B, 0x46},
     "00->(--B20--)(+125.000)℃", 1, 125.0f, 0},
    {"0x28 negative", SENSOR, 4101, "V1.00", 0x28, 1, 0, {0x5E, 0xFF, 0x4B, 0x46},
     "01->(--B20--)(-10.125)℃", 1, -10.125f, 0},
    {"0x28 W13 branch", SENSOR, 4101, "V1.00", 0x28, 2, 0, {0x90, 0x01, 0xFF, 0xFF},
     "02->(-W20-)(+1.56250)℃", 1, 1.5625f, 0},
    {"0x28 W13 negative", SENSOR, 4101, "V1.00", 0x28, 2, 0, {0x80, 0xF3, 0xFF, 0xFF},
     "02->(-W20-)(-12.50000)℃", 1, -12.5f, 0},
    {"0x28 low bits keep T16", SENSOR, 4101, "V1.00", 0x28, 2, 0, {0x92, 0x01, 0xFF, 0xFF},
     "02->(--B20--)(+25.125)℃", 1, 25.125f, 0},
    {"0x28 calibrated -4 +3", SENSOR, 4563, FW_CAL, 0x28, 3, 0, {0x90, 0x01, 0xC3, 0x10},
     "03->( -4  +3 )(+25.000)℃", 1, 25.0f, 1},
    {"0x28 calibrated both low", SENSOR, 4563, "V2.40", 0x28, 3, 0, {0x90, 0x01, 0xDF, 0x10},
     "03->( -5  -7 )(+25.000)℃", 1, 25.0f, 2},
    {"0x28 calibrated in tolerance", SENSOR, 4563, FW_CAL, 0x28, 3, 0, {0x90, 0x01, 0xB7, 0x10},
     "03->( -3  +7 )(+25.000)℃", 1, 25.0f, 0},
    {"0x28 4563 other firmware", SENSOR, 4563, "V2.50", 0x28, 3, 0, {0x90, 0x01, 0xC3, 0x10},
     "03->(--B20--)(+25.000)℃", 1, 25.0f, 0},
    {"0x28 4562 never calibrated", SENSOR, 4562, FW_CAL, 0x28, 3, 0, {0x90, 0x01, 0xC3, 0x10},
     "03->(--B20--)(+25.000)℃", 1, 25.0f, 0},
    {"0x10 refined", SENSOR, 4101, "V1.00", 0x10, 0, 0, {0x32, 0x00, 0x0C, 0x10},
     "00->+25.0(+25.00)℃", 1, 25.0f, 0},
    {"0x10 negative refined", SENSOR, 4101, "V1.00", 0x10, 0, 0, {0xCE, 0xFF, 0x0C, 0x10},
     "00->-25.0(-25.00)℃", 1, -25.0f, 0},
    {"0x10 no count per degree", SENSOR, 4101, "V1.00", 0x10, 0, 0, {0x33, 0x00, 0x0C, 0x00},
     "00->+25.5(+25.50)℃", 1, 25.5f, 0},
    {"0x22", SENSOR, 4101, "V1.00", 0x22, 4, 0, {0x94, 0x01, 0x00, 0x00},
     "04->(--S22--)(+25.250)℃", 1, 25.25f, 0},
    {"0x42 with IO byte", SENSOR, 4101, "V1.00", 0x42, 5, 0, {0x5E, 0xFF, 0x0A, 0x00},
     "05->(-IO 0A-)(-10.125)℃", 1, -10.125f, 0},
    {"0x26 no second input", SENSOR, 4560, "V1.00", 0x26, 0, 0, {0x00, 0x18, 0xFF, 0x10},
     "00->(+24.000℃)(-----)", 1, 24.0f, 0},
    {"0x26 voltage clamped", SENSOR, 4563, "V1.00", 0x26, 0, 0, {0x00, 0x18, 0xE8, 0x03},
     "00->(+24.000℃)(10.00V)", 1, 24.0f, 0},
    {"0x1E voltage", SENSOR, 4300, "V1.00", 0x1E, 0, 0, {0x00, 0x03, 0x2C, 0x01},
     "00->(+3.000℃)(3.00V)", 1, 3.0f, 0},
    {"0x26 humidity", SENSOR, 4101, "V1.00", 0x26, 0, 0, {0x00, 0x18, 0x64, 0x00},
     "00->(+24.000℃)(+83.4%)", 1, 24.0f, 0},
    {"0x26 humidity clamped high", SENSOR, 4101, "V1.00", 0x26, 0, 0, {0x00, 0x18, 0xF0, 0x00},
     "00->(+24.000℃)(+100.0%)", 1, 24.0f, 0},
    {"0x89 both", SENSOR, 4103, "V1.00", 0x89, 1, 1, {0x07, 0x64, 0x90, 0x09},
     "07->(-25.000℃-50.0%RH)", 1, -25.0f, 0},
    {"0x89 no temperature", SENSOR, 4103, "V1.00", 0x89, 1, 2, {0x07, 0x64, 0x90, 0xFF},
     "07->(----℃-50.0%RH)", 0, 0.0f, 0},
    {"0x89 no humidity", SENSOR, 4103, "V1.00", 0x89, 1, 2, {0x07, 0xFF, 0x90, 0x01},
     "07->(+25.000℃-----%RH)", 1, 25.0f, 0},
    {"4103 ALL, CH0 unit", SENSOR, 4103, "V1.00", 0x28, 1, 8, {0x90, 0x01, 0x00, 0x00},
     "01->(--B20--)(+25.000)℃", 1, 25.0f, 0},
    {"4103 ALL, ITU module by address", SENSOR, 4103, "V1.00", 0x89, 2, 8, {0x1A, 0x64, 0x00, 0x00},
     "1a->(+0.000℃-50.0%RH)", 1, 0.0f, 0},
    {"all bytes absent", SENSOR, 4101, "V1.00", 0x28, 6, 0, {0xFF, 0xFF, 0xFF, 0xFF},
     "06->(--------------)", 0, 0.0f, 0},
    {"unknown family", SENSOR, 4101, "V1.00", 0x3B, 7, 0, {0x01, 0x02, 0x03, 0x04},
     "07->", 0, 0.0f, 0},

    // ITUs.
    {"type 0", ITU, 4560, "V1.00", 0, 0, 0, {0x00, 0x75, 0x00, 0x00}, "00->+58.5%RH", 0, 0, 0},
    {"type 0 absent", ITU, 4560, "V1.00", 0, 0, 0, {0x00, 0x75, 0xFF, 0xFF}, "00->(----------)", 0, 0, 0},
    {"type 1", ITU, 4560, "V1.00", 1, 1, 0, {0x00, 0x64, 0x90, 0x01}, "01->+25.000℃(+50.0%RH)", 0, 0, 0},
    {"type 1 no temperature", ITU, 4560, "V1.00", 1, 1, 0, {0x00, 0x64, 0xFF, 0xFF}, "01->----(+50.0%RH)", 0, 0, 0},
    {"type 1 no humidity", ITU, 4560, "V1.00", 1, 1, 0, {0x00, 0xFF, 0x90, 0x09}, "01->-25.000℃(------%RH)", 0, 0, 0},
    {"type 1 absent", ITU, 4560, "V1.00", 1, 1, 0, {0x00, 0xFF, 0xFF, 0xFF}, "01->(----------)", 0, 0, 0},
    {"type 1 on 4598", ITU, 4598, "V1.00", 1, 1, 0, {0x0A, 0x64, 0x90, 0x31}, "01->3.0%(+25.0c-50.0%-3)", 0, 0, 0},
    {"type 1 on 4598 absent", ITU, 4598, "V1.00", 1, 1, 0, {0xFF, 0x64, 0x90, 0x31}, "01->(----------)", 0, 0, 0},
    {"type 2", ITU, 4560, "V1.00", 2, 2, 0, {0x00, 0x10, 0x06, 0x00}, "02->+388.00℃", 0, 0, 0},
    {"type 2 open", ITU, 4560, "V1.00", 2, 2, 0, {0x00, 0x37, 0x80, 0x00}, "02->--热电偶开路!--", 0, 0, 0},
    {"type 3", ITU, 4560, "V1.00", 3, 3, 0, {0x00, 0x90, 0xA9, 0x00}, "03->CH5---25.000℃", 0, 0, 0},
    {"type 3 point missing", ITU, 4560, "V1.00", 3, 3, 0, {0x00, 0xFF, 0xB0, 0x00}, "03->CH5 --------", 0, 0, 0},
    {"type 4", ITU, 4560, "V1.00", 4, 4, 0, {0x00, 0xA5, 0x00, 0x00}, "04->(8  I)1010--0101", 0, 0, 0},
    {"type 5", ITU, 4560, "V1.00", 5, 5, 0, {0x00, 0x00, 0x81, 0x00}, "05->(8O)1000--0001", 0, 0, 0},
    {"type 6", ITU, 4560, "V1.00", 6, 6, 0, {0x00, 0xF9, 0x02, 0x00}, "06->(4  I)1001--0010(4O)", 0, 0, 0},
    {"type 6 absent", ITU, 4560, "V1.00", 6, 6, 0, {0x00, 0xF9, 0xFF, 0xFF}, "06->(----------)", 0, 0, 0},
    {"type 11 full scale", ITU, 4560, "V1.00", 11, 7, 0, {0x00, 0xFF, 0x23, 0x00}, "07->C1- 5.000V/20.000mA", 0, 0, 0},
    {"type 11 point missing", ITU, 4560, "V1.00", 11, 7, 0, {0x00, 0xFF, 0x33, 0x00}, "07->CH1 --------", 0, 0, 0},
    {"type 8 as hex", ITU, 4560, "V1.00", 8, 8, 0, {0x08, 0x12, 0x34, 0x56}, "08->08-12-34-56H", 0, 0, 0},
    {"unknown type as hex", ITU, 4560, "V1.00", 9, 9, 0, {0xFF, 0xFF, 0xFF, 0xFF}, "09->FF-FF-FF-FFH", 0, 0, 0},

    // All channels of a 4562/4563.
    {"ALL absent", ALL, 4563, "V1.00", 1, 10, 8, {0xFF, 0xFF, 0xFF, 0xFF}, "10->(--------------)", 0, 0, 0},
    {"ALL ITU type 1", ALL, 4563, "V1.00", 1, 10, 8, {0x00, 0x64, 0x90, 0x01}, "10->+25.000℃(+50.0%RH)", 0, 0, 0},
    {"ALL 0xA8 calibrated, not counted", ALL, 4563, FW_CAL, 0xA8, 11, 8, {0x90, 0x01, 0xC3, 0x10},
     "11->( -4  +3 )(+25.000)℃", 1, 25.0f, 0},
    {"ALL 0x90", ALL, 4562, "V1.00", 0x90, 12, 8, {0x32, 0x00, 0x0C, 0x10}, "12->+25.0(+25.00)℃", 1, 25.0f, 0},
    {"ALL 0xA2", ALL, 4562, "V1.00", 0xA2, 12, 8, {0x94, 0x01, 0, 0}, "12->(--S22--)(+25.250)℃", 1, 25.25f, 0},
    {"ALL 0xC2", ALL, 4562, "V1.00", 0xC2, 12, 8, {0x94, 0x01, 0x3C, 0}, "12->(-IO 3C-)(+25.250)℃", 1, 25.25f, 0},
    {"ALL 0xA6 voltage", ALL, 4562, "V1.00", 0xA6, 13, 8, {0x00, 0x18, 0x2C, 0x01},
     "13->(+24.000℃)(3.00V)", 1, 24.0f, 0},
    {"ALL 0x9E voltage", ALL, 4562, "V1.00", 0x9E, 13, 8, {0x00, 0x18, 0x2C, 0x01},
     "13->(+24.000℃)(3.00V)", 1, 24.0f, 0},
    {"ALL type 8 as hex", ALL, 4563, "V1.00", 8, 14, 8, {0x08, 0x12, 0x34, 0x56}, "14->08-12-34-56H", 0, 0, 0},
    {"ALL 0x28 without mark as hex", ALL, 4563, "V1.00", 0x28, 14, 8, {0x90, 0x01, 0x4B, 0x46},
     "14->90-01-4B-46H", 0, 0, 0},
};

TEST(Decode, EveryTypeAndModuleRule)
{
    for (const Case &c : CASES) {
        SCOPED_TRACE(c.what);
        Module m = make_module(c.model, c.firmware, 2);
        Reading r;
        memset(&r, 0x5A, sizeof r);  // nothing of an earlier line may survive
        int counted = c.decoder == SENSOR ? decode_sensor_record(c.rec, c.t, c.i, c.channel, &m, &r)
                      : c.decoder == ITU  ? decode_itu_record(c.rec, c.t, c.i, c.channel, &m, &r)
                                          : decode_all_record(c.rec, c.t, c.i, &m, &r);
        EXPECT_EQ(std::string(c.text), r.text);
        EXPECT_EQ(c.has_value, r.has_value);
        if (c.has_value) {
            EXPECT_FLOAT_EQ(c.value, r.value);
        }
        EXPECT_EQ(c.out_of_tolerance, r.out_of_tolerance);
        EXPECT_EQ(c.out_of_tolerance, counted);
    }
}

TEST(Decode, Model4103Prefixes)
{
    // Channels 1 and 2 name each ITU module by its own address, in decimal.
    Module m = make_module(4103, "V1.00", 3);
    const uint8_t rec[4] = {0x0C, 0x64, 0x90, 0x01};
    Reading r;
    decode_sensor_record(rec, 0x89, 0, 2, &m, &r);
    EXPECT_STREQ("12->(+25.000℃-50.0%RH)", r.text);
    // On "ALL" the first itu_count[0] units are the CH0 sensors, numbered by position.
    decode_sensor_record(rec, 0x89, 2, 8, &m, &r);
    EXPECT_STREQ("02->(+25.000℃-50.0%RH)", r.text);
    decode_sensor_record(rec, 0x89, 3, 8, &m, &r);
    EXPECT_STREQ("0c->(+25.000℃-50.0%RH)", r.text);
    // Other models keep the position on every channel.
    Module other = make_module(4101);
    decode_sensor_record(rec, 0x89, 3, 2, &other, &r);
    EXPECT_STREQ("03->(+25.000℃-50.0%RH)", r.text);
}

TEST(Decode, NumberFormatsAtTheirEdges)
{
    EXPECT_FLOAT_EQ(-0.0625f, temp_t16(0xFF, 0xFF));
    EXPECT_FLOAT_EQ(-55.0f, temp_t16(0x90, 0xFC));
    EXPECT_FLOAT_EQ(127.9375f, temp_t16(0xFF, 0x07));
    EXPECT_FLOAT_EQ(-0.03125f, temp_t32(0xF8, 0xFF));
    EXPECT_FLOAT_EQ(-128.0f, temp_t32(0x00, 0x80));
    EXPECT_FLOAT_EQ(-0.03125f, temp_w13(0xF8, 0xFF));
    EXPECT_FLOAT_EQ(-128.0f, temp_w13(0x00, 0x80));
    EXPECT_FLOAT_EQ(-127.9375f, temp_sm16(0xFF, 0x0F));
    // The sign bit over a zero magnitude keeps its sign (a unit just below zero), in every
    // sign-and-magnitude decoder.
    Module m = make_module(4103);
    const uint8_t rec[4] = {0x00, 0x00, 0x00, 0x08};
    Reading r;
    decode_sensor_record(rec, 0x89, 0, 0, &m, &r);
    EXPECT_STREQ("00->(-0.000℃-00.0%RH)", r.text);
    Module itu = make_module(4560);
    const uint8_t point[4] = {0x00, 0x00, 0x68, 0x00};  // point 3, sign bit, zero magnitude
    decode_itu_record(point, 3, 1, 0, &itu, &r);
    EXPECT_STREQ("01->CH3---0.000℃", r.text);
    int high, low;
    calibration_offsets(0x08, &high, &low);
    EXPECT_EQ(0, high);
    EXPECT_EQ(0, low);  // 8 is minus zero
}

TEST(Decode, TypeCodeLookupStaysInsideTheTables)
{
    state_reset();
    ItuTypeTable[3][63] = 0x28;
    ItuTypeTableAll[511] = 0xA8;
    EXPECT_EQ(0x28, reading_type_code(3, 63));
    EXPECT_EQ(0xA8, reading_type_code(CHANNEL_ALL, 511));
    EXPECT_EQ(0xFF, reading_type_code(3, 64));
    EXPECT_EQ(0xFF, reading_type_code(CHANNEL_ALL, 512));
    EXPECT_EQ(0xFF, reading_type_code(9, 0));
    EXPECT_EQ(0xFF, reading_type_code(-1, 0));
}

}  // namespace
