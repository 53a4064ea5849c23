// The demo bus shows every kind of reading: each channel of each demo module is read the
// way the data display reads it (IDs, then records) and every decoder row must turn up.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "display/decode.h"
#include "sim/sim.h"

namespace {

// The data reply of a 5-byte request to the module at `address`, all pieces joined.
std::vector<uint8_t> ask(sim::Bus &bus, uint8_t address, char lead, char digit)
{
    const char hex[] = "0123456789ABCDEF";
    const uint8_t frame[5] = {(uint8_t)lead, (uint8_t)hex[address >> 4], (uint8_t)hex[address & 15],
                              (uint8_t)digit, '\r'};
    std::vector<uint8_t> out;
    for (const auto &p : bus.handle(frame, 5, 1'000'000, 9600).pieces)
        out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

TEST(DemoBus, EveryDecoderRowAppears)
{
    sim::Bus bus = sim::load_bus_file(std::string(VOK_SOURCE_DIR) + "/sim/buses/demo.json");
    std::string all;
    int out_of_tolerance_4563 = 0;
    for (sim::Module &s : bus.modules) {
        Module m{};
        m.model = s.model();
        snprintf(m.firmware, sizeof m.firmware, "%s", s.firmware.c_str());
        for (int c = 0; c < 8; c++) m.itu_count[c] = (uint8_t)s.count(c);
        const bool mixed = m.model == 4562 || m.model == 4563;
        for (int c = 0; c <= 8; c++) {
            if (c == 8 && !mixed && m.model != 4103) continue;
            if (m.model == 4500 && c != 3) continue;
            const auto ids = ask(bus, s.address, '&', (char)('0' + c));
            const auto data = ask(bus, s.address, '#', (char)('0' + c));
            ASSERT_GE(data.size(), 6u);
            const int n = data[4];
            ASSERT_EQ(data.size(), 6u + 4u * n) << s.address << " ch " << c;
            for (int i = 0; i < n; i++) {
                const uint8_t *rec = &data[5 + 4 * i];
                const uint8_t *id = m.model == 4500 ? nullptr : &ids.at(5 + 8 * i);
                const bool one_wire = id != nullptr && (id[3] | id[4] | id[5] | id[6] | id[7]) != 0;
                Reading r;
                if (m.model == 4500) {
                    decode_sensor_record(rec, 0x28, i, 3, &m, &r);
                } else if (mixed && c == 8) {
                    decode_all_record(rec, one_wire ? (id[0] + 0x80) & 0xFF : id[0], i, &m, &r);
                } else if (m.model == 4560 || m.model == 4598 || (mixed && (s.kind_mask_b >> c & 1))) {
                    decode_itu_record(rec, id[0], i, c, &m, &r);
                } else {
                    const int t = m.model == 4103 && (c == 1 || c == 2 || (c == 8 && i >= m.itu_count[0]))
                                      ? 0x89 : id[0];
                    const int k = decode_sensor_record(rec, t, i, c, &m, &r);
                    if (m.model == 4563) out_of_tolerance_4563 += k;
                }
                char line[160];
                snprintf(line, sizeof line, "%02X/%d  %s\n", s.address, c, r.text);
                all += line;
            }
        }
    }
    printf("%s", all.c_str());
    for (const char *mark :
         {"(--B20--)(", "(-W20-)(", "(--S22--)(", "(-IO 3C-)(", "-12.5(-12.50)℃", "V)", "%)", "(-----)",
          "℃-", "%RH)", "( +1  +2 )(", "( -4  +3 )(", "( -5  -7 )(", "(--------------)", "+62.0%RH",
          "%(+", "℃(+", "--热电偶开路!--", "CH2--+18.750℃", "CH6 --------", "(8  I)1010--0101",
          "(8O)0000--1111", "(4  I)0101--1010(4O)", "mA", "CH2 --------", "(----------)",
          "5E-01-00-00H", "-40.06", "10.00V)", "03/8  0a->(", "03/2  10->(", "08/8  00->(--B20--)("}) {
        EXPECT_NE(all.find(mark), std::string::npos) << mark;
    }
    // ITU types 7, 9, 10 and 0x3C are unknown: their records print as four hex bytes.
    for (const char *hex : {"D2-04-00-00H", "4D-00-00-00H", "34-12-00-00H", "02-01-00-00H"})
        EXPECT_NE(all.find(hex), std::string::npos) << hex;
    EXPECT_EQ(out_of_tolerance_4563, 3);  // CH2: -4 once, then -5 and -7
}

}  // namespace
