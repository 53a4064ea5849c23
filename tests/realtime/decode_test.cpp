// Curve readers' record rules: values, error patterns and glitch readings per type code and
// mode, the 4500 text readings and the value-to-row mapping.
#include <gtest/gtest.h>

#include "display/realtime.h"

namespace {

enum { OK = CURVE_SAMPLE_OK, ERR = CURVE_SAMPLE_ERROR };

struct Row {
    uint8_t rec[4];
    int type, temperature, points;
    int result;
    float v;  // expected value when OK
};

TEST(CurveDecode, ReaderARules)
{
    const float held = 21.25f;
    const Row rows[] = {
        // 0x10: half degrees refined by count remain / count per degree.
        {{0x32, 0x00, 0x0C, 0x10}, 0x10, 1, 3, OK, 25.0f},
        {{0xCE, 0xFF, 0x04, 0x10}, 0x10, 1, 3, OK, -25.0f + 0.75f - 0.25f},
        {{0xFE, 0xFF, 0x04, 0x10}, 0x10, 1, 3, OK, held},            // glitch: held
        {{0xFE, 0xFF, 0x0C, 0x10}, 0x10, 1, 0, OK, 0.25f - 1.25f},   // not on the first sample
        {{0x32, 0x00, 0x0C, 0x00}, 0x10, 1, 3, ERR, 0},              // no count: nothing to divide
        // 0x22 / 0x28: 1/16 degree two's complement, FF FF repeats the held value.
        {{0xD0, 0x07, 0x4B, 0x46}, 0x28, 1, 3, OK, 125.0f},
        {{0x5E, 0xFF, 0x4B, 0x46}, 0x22, 1, 3, OK, -10.125f},
        {{0xFF, 0xFF, 0x4B, 0x46}, 0x28, 1, 3, OK, held},
        {{0xFF, 0xFF, 0x4B, 0x46}, 0x22, 1, 0, OK, -0.0625f},
        {{0xFF, 0x07, 0x4B, 0x46}, 0x28, 1, 3, OK, 127.9375f},       // positive: FF is a value
        // 0x1E / 0x26: 1/32 degree, and the humidity of the two voltage bytes.
        {{0x40, 0x19, 0x60, 0x96}, 0x26, 1, 3, OK, 25.25f},
        {{0xC0, 0xFC, 0x60, 0x96}, 0x1E, 1, 3, OK, -(32 * 3 + 8) * 0.03125f},
        {{0x40, 0x19, 0x60, 0x96}, 0x26, 0, 3, OK, ((0x60 + 112.0f) / (0x96 + 336.0f) - 0.2354f) / 0.00474f},
        {{0x40, 0x19, 0xFF, 0x96}, 0x26, 0, 3, ERR, 0},
        {{0x40, 0x19, 0x00, 0xFE}, 0x1E, 0, 3, OK, 0.0f},             // below 0 %RH: 0
        // 0x89: sign-magnitude temperature, humidity in half percent.
        {{0x01, 0x5B, 0x58, 0x09}, 0x89, 1, 3, OK, -(256 + 0x58) * 0.0625f},
        {{0x01, 0x5B, 0x58, 0xFF}, 0x89, 1, 3, ERR, 0},
        {{0x01, 0x5B, 0x58, 0xFF}, 0x89, 0, 3, OK, 45.5f},
        {{0x01, 0xFF, 0x58, 0x01}, 0x89, 0, 3, ERR, 0},
        // All four bytes 0xFF: error in both modes; types without a rule give nothing.
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0x28, 1, 3, ERR, 0},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0x89, 0, 3, ERR, 0},
        {{0x00, 0x12, 0x00, 0x00}, 0x42, 1, 3, ERR, 0},
        {{0xD0, 0x07, 0x4B, 0x46}, 0x28, 0, 3, ERR, 0},
    };
    for (const Row &r : rows) {
        float v = -999;
        int got = curve_decode_a(r.rec, r.type, r.temperature, r.points, held, &v);
        SCOPED_TRACE(testing::Message() << std::hex << r.type << " " << int(r.rec[0]) << " " << int(r.rec[1]) << " "
                                        << int(r.rec[2]) << " " << int(r.rec[3]) << " mode " << r.temperature);
        EXPECT_EQ(got, r.result);
        if (r.result == OK) {
            EXPECT_FLOAT_EQ(v, r.v);
        }
    }
}

TEST(CurveDecode, ReaderCRules)
{
    const Row rows[] = {
        {{0x0A, 0x5B, 0x58, 0x01}, 1, 1, 0, OK, 21.5f},
        {{0x0A, 0x5B, 0x58, 0x09}, 1, 1, 0, OK, -21.5f},
        {{0x0A, 0x5B, 0x58, 0x01}, 1, 0, 0, OK, 45.5f},
        {{0x00, 0xFE, 0x00, 0x00}, 0, 0, 0, OK, 100.0f},   // 127 %RH shown as 100
        {{0x00, 0x5B, 0x00, 0x00}, 0, 1, 0, ERR, 0},       // humidity ITU has no temperature
        {{0x0A, 0x5B, 0xFF, 0xFF}, 1, 0, 0, ERR, 0},
        {{0x0A, 0x5B, 0xFF, 0x01}, 1, 1, 0, OK, 0x1FF * 0.0625f},
        {{0x0A, 0x5B, 0x58, 0x01}, 2, 1, 0, ERR, 0},
    };
    for (const Row &r : rows) {
        float v = -999;
        EXPECT_EQ(curve_decode_c(r.rec, r.type, r.temperature, &v), r.result) << r.type;
        if (r.result == OK) {
            EXPECT_FLOAT_EQ(v, r.v);
        }
    }
}

TEST(CurveDecode, Model4500TextAndRows)
{
    const uint8_t text[] = "055.0,962.5,";
    EXPECT_FLOAT_EQ(curve_decode_b(text), 55.0f);
    EXPECT_FLOAT_EQ(curve_decode_b(text + 6), 962.5f);
    // Rows: bottom edge at the low end, top edge at the high end, truncated toward zero.
    EXPECT_EQ(curve_y(15.0f, 15.0f, 35.0f, 450), 450);
    EXPECT_EQ(curve_y(35.0f, 15.0f, 35.0f, 450), 50);
    EXPECT_EQ(curve_y(15.04f, 15.0f, 35.0f, 450), 450);
    EXPECT_EQ(curve_y(15.06f, 15.0f, 35.0f, 450), 449);
    EXPECT_EQ(curve_y(50.0f, 5.0f, 95.0f, 450), 250);
}

TEST(CurveReaders, WhichModuleUsesWhat)
{
    Module m{};
    struct Case {
        int model, type_code, kind_a, kind_b;
        int a, b, c, hum, dialog;
    } cases[] = {
        {4101, 0x80, 0, 0, 1, 0, 0, 0, 1}, {4102, 0x83, 0, 0, 1, 0, 0, 0, 1}, {4301, 0x40, 0, 0, 0, 0, 0, 1, 0},
        {4501, 0x40, 0, 0, 1, 0, 0, 0, 1}, {4500, 0x40, 0, 0, 0, 1, 0, 0, 0}, {4560, 0x40, 0, 0, 0, 0, 1, 1, 1},
        {4562, 0x40, 1, 0, 1, 0, 0, 0, 1}, {4563, 0x40, 0, 1, 0, 0, 1, 1, 1}, {4562, 0x40, 0, 0, 0, 0, 0, 0, 1},
        {3901, 0x84, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        m.model = c.model;
        m.type_code = c.type_code;
        channel_kind.a[3] = c.kind_a;
        channel_kind.b[3] = c.kind_b;
        EXPECT_EQ(uses_reader_a(&m, 3), c.a) << c.model;
        EXPECT_EQ(uses_reader_b(&m), c.b) << c.model;
        EXPECT_EQ(is_th_channel(&m, 3), c.c) << c.model;
        EXPECT_EQ(humidity_allowed(&m, 3), c.hum) << c.model;
        EXPECT_EQ(has_curve_dialog(&m), c.dialog) << c.model;
    }
    m.model = 4103;
    EXPECT_EQ(humidity_allowed(&m, 1), 1);
    EXPECT_EQ(humidity_allowed(&m, 3), 0);
}

}  // namespace
