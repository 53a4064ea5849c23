// Replies of a healthy module to each request of the catalogue, per model layout.
#include <algorithm>
#include <cstdio>
#include <string>

#include "protocol/protocol.h"
#include "sim/sim_internal.h"

namespace sim {

namespace {

using Bytes = std::vector<uint8_t>;

void put_hex(Bytes &out, uint8_t v)
{
    char d[2];
    format_hex_byte(v, d);
    out.push_back((uint8_t)d[0]);
    out.push_back((uint8_t)d[1]);
}

Bytes ack(const Module &m, char lead = '!')
{
    char d[2];
    format_address(m.address, d);
    return Bytes{(uint8_t)lead, (uint8_t)d[0], (uint8_t)d[1]};
}

Bytes finish(Bytes b)
{
    b.push_back(0x0D);
    return b;
}

uint8_t state_mask(const Module &m, int configured)
{
    if (configured >= 0)
        return (uint8_t)configured;
    uint8_t mask = 0;
    for (int c = 0; c < 8; c++)
        if (!m.channels[c].units.empty())
            mask |= (uint8_t)(1 << c);
    return mask;
}

bool is_456x(int model) { return model == 4562 || model == 4563; }

// $AA6 / $AA8: channel state and counts in the model's layout (22 bytes).
Bytes counts_reply(const Module &m, int mask_cfg)
{
    const int model = m.model();
    Bytes r = ack(m);
    if (model == 4500) {
        for (int c = 0; c < 8; c++)
            put_hex(r, (uint8_t)m.count(c));
        r.push_back('0');  // positions 19-20 carry nothing
        r.push_back('0');
        return finish(r);
    }
    put_hex(r, state_mask(m, mask_cfg));
    if (model == 4501) {
        for (int c = 0; c < 8; c++)
            r.push_back((uint8_t)m.count(c));
        for (int c = 0; c < 8; c++)
            r.push_back((uint8_t)m.count(c));
    } else if (model == 4103) {
        for (int c = 0; c < 3; c++)
            r.push_back((uint8_t)m.count(c));
        for (int i = 0; i < 12; i++)
            r.push_back(m.alarm[i]);
        r.push_back('0');
    } else if (model == 4101 || model == 4102) {
        put_hex(r, (uint8_t)m.count(0));
        for (int i = 0; i < 7; i++)
            put_hex(r, m.alarm[i]);
    } else {
        for (int c = 0; c < 8; c++)
            put_hex(r, (uint8_t)m.count(c));
    }
    return finish(r);
}

// Units of channel c (0..7), or of all channels in order for 8.
std::vector<const Unit *> units_of(const Module &m, int c)
{
    std::vector<const Unit *> out;
    for (int ch = 0; ch < 8; ch++) {
        if (c != 8 && ch != c)
            continue;
        const auto &us = m.channels[ch].units;
        for (size_t i = 0; i < us.size() && i < 64; i++)
            out.push_back(&us[i]);
    }
    return out;
}

int channel_of_digit(uint8_t d)
{
    return d >= '0' && d <= '8' ? d - '0' : -1;
}

// Data reply: '>' AA status count records CR.
Bytes data_reply(const Module &m, uint8_t status, const std::vector<const Unit *> &units,
                 const std::function<void(Bytes &, const Unit &, size_t)> &record)
{
    Bytes r = ack(m, '>');
    r.push_back(status);
    r.push_back((uint8_t)(units.size() & 0xFF));
    for (size_t i = 0; i < units.size(); i++)
        record(r, *units[i], i);
    return finish(r);
}

int channel_of_unit(const Module &m, const Unit *u)
{
    for (int c = 0; c < 8; c++)
        for (const Unit &x : m.channels[c].units)
            if (&x == u)
                return c;
    return 0;
}

Bytes wrong(const Module &m) { return finish(ack(m, '?')); }

}  // namespace

std::vector<uint8_t> module_reply(Module &m, const Request &rq)
{
    const uint8_t *f = rq.f;
    const size_t n = rq.n;  // CR included
    const uint8_t lead = f[0];
    const int model = m.model();

    if (lead == '$' && n == 5) {
        switch (f[3]) {
        case '2': {
            Bytes r = ack(m);
            put_hex(r, m.type_code);
            char d[2];
            format_dec2(m.baud_code, d);
            r.push_back((uint8_t)d[0]);
            r.push_back((uint8_t)d[1]);
            put_hex(r, m.format);
            return finish(r);
        }
        case 'M': {
            Bytes r = ack(m);
            std::string name = m.name;
            name.resize(7, ' ');
            r.insert(r.end(), name.begin(), name.end());
            return finish(r);
        }
        case 'F': {
            Bytes r = ack(m);
            std::string fw = m.firmware;
            fw.resize(5, ' ');
            r.insert(r.end(), fw.begin(), fw.end());
            return finish(r);
        }
        case '6':
            return counts_reply(m, m.state_mask);
        case '8':
            return counts_reply(m, m.state_mask2 >= 0 ? m.state_mask2 : m.state_mask);
        case 'E': {
            Bytes r = ack(m);
            put_hex(r, m.fault_code);
            put_hex(r, m.error_mask);
            put_hex(r, m.warning_mask);
            return finish(r);
        }
        case 'T': {
            if (!is_456x(model))
                return wrong(m);
            Bytes r = ack(m);
            put_hex(r, m.kind_mask_b);
            put_hex(r, m.kind_mask_a);
            return finish(r);
        }
        case 'R': {
            Bytes r = ack(m);
            r.push_back((uint8_t)m.mode);
            return finish(r);
        }
        default:
            return wrong(m);
        }
    }

    if (lead == '%' && n == 12) {
        // New address, type, baud and format; the reply already carries the new address.
        const uint8_t addr = hex_pair_value(f + 3);
        const uint8_t type = hex_pair_value(f + 5);
        const int baud = dec_pair_value(f + 7);
        const uint8_t fmt = hex_pair_value(f + 9);
        if (baud_code_to_rate(baud) == 0)
            return wrong(m);
        m.address = addr;
        m.type_code = type;
        m.baud_code = (uint8_t)baud;
        m.format = fmt;
        return finish(ack(m));
    }

    if (lead == '&' && n == 5 && f[3] == '9') {
        Bytes r = finish(ack(m, '>'));
        module_restart(m, rq.t_us, rq.bus->restart_scale);
        return r;
    }

    if ((lead == '#' || lead == '&' || lead == '*') && n == 5) {
        const int c = channel_of_digit(f[3]);
        if (c < 0)
            return wrong(m);
        const auto units = units_of(m, c);
        if (lead == '#')
            return data_reply(m, 0, units, [&](Bytes &r, const Unit &u, size_t) {
                auto rec = m.faults.all_ff ? std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}
                                           : encode_record(u, m, channel_of_unit(m, &u), rq.t_us);
                r.insert(r.end(), rec.begin(), rec.end());
            });
        if (lead == '&')
            return data_reply(m, 0, units, [&](Bytes &r, const Unit &u, size_t) {
                r.insert(r.end(), u.id.begin(), u.id.end());
            });
        return data_reply(m, 0, units, [&](Bytes &r, const Unit &u, size_t) {
            r.push_back(m.faults.duplicate_sort && !units.empty() ? units[0]->sort : u.sort);
        });
    }

    return wrong(m);
}

}  // namespace sim
