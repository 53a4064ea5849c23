// Dotted-quad text of IPv4 addresses (network byte order in memory).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/net.h"

namespace {

uint32_t wire(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t ip;
    memcpy(&ip, bytes, 4);
    return ip;
}

std::string text(uint32_t ip)
{
    char out[16];
    memset(out, 'x', sizeof out);
    ip_to_text(ip, out);
    return out;
}

TEST(IpText, FormatsInWireOrder)
{
    EXPECT_EQ(text(wire(192, 168, 1, 100)), "192.168.1.100");
    EXPECT_EQ(text(wire(0, 0, 0, 0)), "0.0.0.0");
    EXPECT_EQ(text(wire(255, 255, 255, 255)), "255.255.255.255");  // the longest: 15 + NUL
    EXPECT_EQ(text(wire(0, 0, 1, 0)), "0.0.1.0");
}

TEST(IpText, ParsesAndRoundTrips)
{
    uint32_t ip = 0;
    ASSERT_EQ(ip_from_text("10.0.2.15", &ip), 0);
    EXPECT_EQ(ip, wire(10, 0, 2, 15));
    ASSERT_EQ(ip_from_text("255.255.255.0", &ip), 0);
    EXPECT_EQ(ip, wire(255, 255, 255, 0));
    ASSERT_EQ(ip_from_text("010.001.000.009", &ip), 0);  // leading zeros are decimal
    EXPECT_EQ(ip, wire(10, 1, 0, 9));
    for (uint32_t v : {wire(1, 2, 3, 4), wire(172, 16, 254, 1), wire(0, 255, 0, 255)}) {
        uint32_t back = 0;
        ASSERT_EQ(ip_from_text(text(v).c_str(), &back), 0);
        EXPECT_EQ(back, v);
    }
}

TEST(IpText, RejectsAnythingButFourDecimalParts)
{
    uint32_t ip = 0x5A5A5A5A;
    for (const char *bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "1..2.3", ".1.2.3",
                            "1.2.3.", "1.2.3.4 ", " 1.2.3.4", "1.2.3.-4", "a.b.c.d", "1.2.3.4x",
                            "0x7f.0.0.1", "1234.1.1.1", "0001.1.1.1"}) {
        EXPECT_NE(ip_from_text(bad, &ip), 0) << '"' << bad << '"';
    }
    EXPECT_EQ(ip, 0x5A5A5A5Au);  // untouched on failure
    EXPECT_NE(ip_from_text(nullptr, &ip), 0);
    EXPECT_NE(ip_from_text("1.2.3.4", nullptr), 0);
}

}  // namespace
