// Builders for modules and units in code, and text helpers for logs.
#include <cstdio>
#include <cstring>

#include "sim/sim.h"

namespace sim {

uint32_t ip4(uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    const uint8_t bytes[4] = {a, b, c, d};
    uint32_t ip;
    std::memcpy(&ip, bytes, 4);
    return ip;
}

Module make_module(uint8_t address, int model, uint8_t type_code)
{
    Module m;
    m.address = address;
    char name[16];
    std::snprintf(name, sizeof name, "VOK%04d", model % 10000);
    m.name = name;
    if (type_code == 0)
        type_code = (model >= 4101 && model <= 4103) ? 0x80 : 0x40;
    m.type_code = type_code;
    return m;
}

Unit make_sensor(uint8_t family, uint32_t serial, double celsius)
{
    Unit u;
    u.itu = false;
    u.id = {family, (uint8_t)serial, (uint8_t)(serial >> 8), (uint8_t)(serial >> 16),
            (uint8_t)(serial >> 24), 0x01, 0x00, 0x00};
    // Last ID byte: the 1-Wire CRC-8 over the first seven, as real units carry it.
    uint8_t crc = 0;
    for (int i = 0; i < 7; i++) {
        uint8_t b = u.id[i];
        for (int k = 0; k < 8; k++) {
            const uint8_t mix = (crc ^ b) & 1;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            b >>= 1;
        }
    }
    u.id[7] = crc;
    u.temp.value = celsius;
    return u;
}

Unit make_itu(uint8_t type, uint8_t id1, uint8_t id2, double value)
{
    Unit u;
    u.itu = true;
    u.id = {type, id1, id2, 0, 0, 0, 0, 0};
    u.temp.value = value;
    u.sort = id1;
    return u;
}

std::string hex_text(const std::vector<uint8_t> &bytes)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

std::string printable(const std::vector<uint8_t> &bytes)
{
    std::string s;
    char b[8];
    for (uint8_t c : bytes) {
        if (c == 0x0D)
            s += "\\r";
        else if (c >= 0x20 && c < 0x7F && c != '\\')
            s += (char)c;
        else {
            std::snprintf(b, sizeof b, "\\x%02X", c);
            s += b;
        }
    }
    return s;
}

}  // namespace sim
