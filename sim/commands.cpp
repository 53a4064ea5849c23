// Replies of a healthy module to each request of the catalogue, per model layout.
#include <algorithm>
#include <cstdio>
#include <cmath>
#include <functional>
#include <string>

#include "protocol/catalogue.h"
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
        if (!m.channels[c].units.empty() || !m.channels[c].digital.empty())
            mask |= (uint8_t)(1 << c);
    return mask;
}

bool is_456x(int model) { return model == 4562 || model == 4563; }

// $AA6 / $AA8: channel state and counts in the model's layout (22 bytes).
Bytes counts_reply(const Module &m, int mask_cfg, bool all_counts)
{
    const int model = m.model();
    Bytes r = ack(m);
    if (model == 4500) {
        // No state mask: the input and output bytes stand where the counts of CH0, CH1 would.
        put_hex(r, m.digital_in);
        put_hex(r, m.digital_out);
        for (int c = 2; c < 8; c++)
            put_hex(r, 0);
        r.push_back('0');  // positions 19-20 carry nothing
        r.push_back('0');
        return finish(r);
    }
    put_hex(r, state_mask(m, mask_cfg));
    const Alarm &a = m.alarm;
    if (model == 4501) {
        for (int c = 0; c < 8; c++)
            r.push_back((uint8_t)m.count(c));
        for (int c = 0; c < 8; c++)
            r.push_back((uint8_t)std::min<size_t>(m.channels[c].digital.size(), 64));
    } else if (model == 4103) {
        for (int c = 0; c < 3; c++)
            r.push_back((uint8_t)m.count(c));
        // Raw bytes; the temperature limits are carried offset by 0x37.
        r.push_back((uint8_t)(a.temp_high + 0x37));
        r.push_back((uint8_t)(a.temp_low + 0x37));
        r.push_back((uint8_t)a.hum_high);
        r.push_back((uint8_t)a.hum_low);
        r.push_back((uint8_t)a.temp_hysteresis);
        r.push_back((uint8_t)a.hum_hysteresis);
        r.insert(r.end(), a.temp_enable.begin(), a.temp_enable.end());
        r.insert(r.end(), a.hum_enable.begin(), a.hum_enable.end());
        r.push_back('0');  // position 20 carries nothing
    } else if ((model == 4101 || model == 4102) && !all_counts) {
        // Only CH0 is counted here; the seven other bytes are the alarm settings.
        put_hex(r, (uint8_t)m.count(0));
        put_hex(r, (uint8_t)(a.temp_high + 0x37));
        put_hex(r, (uint8_t)(a.temp_low + 0x37));
        for (uint8_t e : a.temp_enable)
            put_hex(r, e);
        put_hex(r, (uint8_t)a.temp_hysteresis);
    } else {
        for (int c = 0; c < 8; c++)
            put_hex(r, (uint8_t)m.count(c));
    }
    return finish(r);
}

// Units of channel c (0..7), or of all channels in order for 8, with their channel.
std::vector<std::pair<const Unit *, int>> units_of(const Module &m, int c, bool digital = false)
{
    std::vector<std::pair<const Unit *, int>> out;
    for (int ch = 0; ch < 8; ch++) {
        if (c != 8 && ch != c)
            continue;
        const auto &us = digital ? m.channels[ch].digital : m.channels[ch].units;
        for (size_t i = 0; i < us.size() && i < 64; i++)
            out.push_back({&us[i], ch});
    }
    return out;
}

int channel_of_digit(uint8_t d)
{
    return d >= '0' && d <= '8' ? d - '0' : -1;
}

// Data reply: '>' AA status count records CR. The count byte wraps past 255 units;
// the records are all there.
Bytes data_reply(const Module &m, const std::vector<std::pair<const Unit *, int>> &units,
                 const std::function<void(Bytes &, const Unit &, int)> &record)
{
    Bytes r = ack(m, '>');
    r.push_back(m.faults.data_status);
    r.push_back((uint8_t)(units.size() & 0xFF));
    for (const auto &[u, ch] : units)
        record(r, *u, ch);
    return finish(r);
}

// The ITU on channel c whose sort number (bus address) is `number`; by position when none.
Unit *itu_by_number(Module &m, int c, int number)
{
    auto &us = m.channels[c].units;
    for (Unit &u : us)
        if (u.sort == number)
            return &u;
    return number >= 0 && (size_t)number < us.size() ? &us[number] : nullptr;
}

// Offset code of an ITU (0xA0 + k for k >= 0, 0xF0 + |k| for k < 0) to the raw ID byte 2
// (k for k >= 0, 16 + |k| for k < 0).
int offset_code_to_raw(uint8_t code)
{
    if (code >= 0xA0 && code <= 0xAF)
        return code - 0xA0;
    if (code >= 0xF1)
        return 16 + (code - 0xF0);
    return -1;
}

// 4500 reading as text "ddd.d" (0.0 .. 999.9).
void put_reading(Bytes &r, double v)
{
    const long tenths = std::clamp(std::lround(v * 10.0), 0L, 9999L);
    char t[24];
    std::snprintf(t, sizeof t, "%03ld.%ld", tenths / 10, tenths % 10);
    r.insert(r.end(), t, t + 5);
}

// Model 4500 requests with the digit 0-3.
Bytes reply_4500(Module &m, uint8_t digit, int64_t t_us)
{
    Bytes r = ack(m, '>');
    switch (digit) {
    case '0':
        r.push_back(m.digital_in);
        return finish(r);
    case '1':
        r.push_back(m.digital_out);
        return finish(r);
    case '2':  // status, count, then two readings each followed by a separator
        r.push_back(m.faults.data_status);
        r.push_back(2);
        put_reading(r, m.analog[0].at(t_us));
        r.push_back(',');
        put_reading(r, m.analog[1].at(t_us));
        r.push_back(',');
        return finish(r);
    case '3': {  // status, count, the two readings as two 0x28 records (the host reads
                 // channel 3 of this model as two such units)
        r.push_back(m.faults.data_status);
        r.push_back(2);
        for (int i = 0; i < 2; i++) {
            const auto t = enc_t16(m.analog[i].at(t_us));
            r.insert(r.end(), {t[0], t[1], 0x4B, 0x46});
        }
        return finish(r);
    }
    default:
        return {};
    }
}

Bytes wrong(const Module &m) { return finish(ack(m, '?')); }

// Request length (CR included) of a catalogue command.
size_t req_len(CommandId id) { return (size_t)command_row(id)->request_len; }

}  // namespace

std::vector<uint8_t> module_reply(Module &m, const Request &rq)
{
    const uint8_t *f = rq.f;
    const size_t n = rq.n;  // CR included
    const uint8_t lead = f[0];
    const int model = m.model();
    const Bytes bad = wrong(m);
    if (refuses_write(m, rq))
        return bad;

    if (lead == '$' && n == req_len(CMD_READ_CONFIG)) {
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
            return counts_reply(m, m.state_mask, false);
        case '8':
            // The second state mask and the counts of all eight channels (4101/4102 from
            // firmware generation 2; other models answer the plain layout).
            return counts_reply(m, m.state_mask2 >= 0 ? m.state_mask2 : m.state_mask, true);
        case 'E': {
            Bytes r = ack(m);
            put_hex(r, m.fault_code);
            put_hex(r, m.error_mask);
            put_hex(r, m.warning_mask);
            return finish(r);
        }
        case 'T': {
            if (!is_456x(model))
                return bad;
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
        case '*': {
            // Quick look at the first unit: its ID, then its temperature as sign-and-
            // magnitude 1/16 °C, high byte first (the terminal shows it).
            for (const Channel &c : m.channels) {
                if (c.units.empty())
                    continue;
                const Unit &u = c.units.front();
                Bytes r = ack(m);
                r.insert(r.end(), u.id.begin(), u.id.end());
                const auto sm = enc_sm16(u.temp.at(rq.t_us));
                r.push_back(sm[1]);
                r.push_back(sm[0]);
                return finish(r);
            }
            return bad;
        }
        case 'W':
        case 'N': {
            // Stores the channel configuration in EEPROM and restarts; a search-mode start
            // looks for every unit again and takes longer.
            m.mode = f[3] == 'W' ? '1' : '0';
            const double t = m.unit_count();
            const double s = f[3] == 'W' ? 5.0 + t * 0.004375 : 5.0 + t * 0.0977;
            module_restart(m, rq.t_us, rq.bus->restart_scale,
                           (int64_t)(s * rq.bus->restart_scale * 1e6));
            return finish(ack(m));
        }
        default:
            return bad;
        }
    }

    if (lead == '%' && n == req_len(CMD_WRITE_CONFIG)) {
        // New address, type, baud and format take effect at once; the reply already carries
        // the new address (it still leaves at the old speed).
        const int baud = dec_pair_value(f + 7);
        if (baud_code_to_rate(baud) == 0)
            return bad;
        m.address = hex_pair_value(f + 3);
        m.type_code = hex_pair_value(f + 5);
        m.baud_code = (uint8_t)baud;
        m.format = hex_pair_value(f + 9);
        return finish(ack(m));
    }

    if (lead == '&' && n == req_len(CMD_SOFT_RESET) && f[3] == '9') {
        Bytes r = finish(ack(m, '>'));
        module_restart(m, rq.t_us, rq.bus->restart_scale, -1);
        return r;
    }

    if (model == 4500 && lead == '#' && n == req_len(CMD_4500_INPUTS)) {
        Bytes r = reply_4500(m, f[3], rq.t_us);
        return r.empty() ? bad : r;
    }

    if ((lead == '#' || lead == '&' || lead == '*') && n == req_len(CMD_READ_DATA)) {
        const int c = channel_of_digit(f[3]);
        if (c < 0)
            return bad;
        const auto units = units_of(m, c);
        if (lead == '#')
            return data_reply(m, units, [&](Bytes &r, const Unit &u, int ch) {
                auto rec = m.faults.all_ff ? std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}
                                           : encode_record(u, m, ch, rq.t_us);
                r.insert(r.end(), rec.begin(), rec.end());
            });
        if (lead == '&')
            return data_reply(m, units, [&](Bytes &r, const Unit &u, int) {
                r.insert(r.end(), u.id.begin(), u.id.end());
            });
        return data_reply(m, units, [&](Bytes &r, const Unit &u, int) {
            r.push_back(m.faults.duplicate_sort && !units.empty() ? units[0].first->sort : u.sort);
        });
    }

    if (lead == '/' && n == req_len(CMD_WRITE_DO)) {  // digital output byte
        Bytes r = ack(m);
        r.push_back(write_output_byte(m, f[3]));
        return finish(r);
    }

    // Sort number write: '/' (models 4562 and 4563 take '^'), position and number + 0x10.
    if ((lead == '/' || lead == '^') && n == req_len(CMD_WRITE_SORT)) {
        const int c = channel_of_digit(f[3]);
        if ((lead == '^') != is_456x(model) || c < 0 || c > 7)
            return bad;
        const int pos = f[4] - 0x10, number = f[5] - 0x10;
        auto &us = m.channels[c].units;
        if (pos < 0 || (size_t)pos >= us.size() || number < 0)
            return bad;
        us[pos].pending_sort = number;
        return finish(ack(m));
    }

    if (lead == '/' && n == req_len(CMD_ITU_OUTPUT)) {  // /AAcNNhh, NN the ITU's number
        const int c = channel_of_digit(f[3]);
        if (c < 0 || c > 7)
            return bad;
        Unit *u = itu_by_number(m, c, dec_pair_value(f + 4));
        if (u == nullptr)
            return bad;
        u->outputs = hex_pair_value(f + 6);
        return finish(ack(m));
    }

    if (model == 4501 && (lead == '^' || lead == '~') && n == req_len(CMD_4501_READ_IDS)) {
        const int c = channel_of_digit(f[3]);
        if (c < 0)
            return bad;
        const auto units = units_of(m, c, true);
        if (lead == '^')
            return data_reply(m, units, [&](Bytes &r, const Unit &u, int) {
                r.insert(r.end(), u.id.begin(), u.id.end());
            });
        return data_reply(m, units, [&](Bytes &r, const Unit &u, int) {
            r.push_back(u.inputs);
            r.push_back(u.outputs);
        });
    }

    // @AAcNNs: NN the ITU's index in hex, s '0' on, '1' off.
    if (model == 4501 && lead == '@' && n == req_len(CMD_4501_SWITCH)) {
        const int c = channel_of_digit(f[3]);
        const int idx = hex_pair_value(f + 4);
        if (c < 0 || c > 7 || (size_t)idx >= m.channels[c].digital.size() ||
            (f[6] != '0' && f[6] != '1'))
            return bad;
        m.channels[c].digital[idx].outputs = (uint8_t)(f[6] - '0');
        Bytes r = ack(m);
        r.push_back(f[6]);
        return finish(r);
    }

    if (lead == '@' && n == req_len(CMD_ITU_ADDRESS) && (f[6] == '1' || f[6] == '2')) {
        // @AAcOO1NN (address OO becomes NN) and @AAcNN2XX (offset code XX for address NN);
        // the ITU takes either on after the module's next reset.
        const int c = channel_of_digit(f[3]);
        if (c < 0 || c > 7)
            return bad;
        Unit *u = itu_at_address(m, c, dec_pair_value(f + 4));
        if (u == nullptr)
            return bad;
        if (f[6] == '1') {
            u->pending_sort = dec_pair_value(f + 7);
        } else {
            const int raw = offset_code_to_raw(hex_pair_value(f + 7));
            if (raw < 0)
                return bad;
            u->pending_id2 = raw;
        }
        return finish(ack(m));
    }

    return bad;
}

}  // namespace sim
