// Bus files: JSON description of modules, units, faults and converter settings.
#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>

#include "json/json_lines.h"
#include "protocol/protocol.h"
#include "sim/sim.h"

namespace sim {

BusFileError::BusFileError(const std::string &f, int l, const std::string &what)
    : std::runtime_error(f + ":" + std::to_string(l) + ": " + what), file(f), line(l)
{
}

namespace {

// Objects in file order, so a file with several faults is refused for its first one.
using JValue = nlohmann::ordered_json;

// The value under `key` of an object, or nullptr.
const JValue *get(const JValue &obj, const char *key)
{
    const auto it = obj.find(key);
    return it == obj.end() ? nullptr : &*it;
}

struct Reader {
    const std::string &file;
    std::unordered_map<const JValue *, int> line;  // every value of the document -> its line

    [[noreturn]] void fail(const JValue &v, const std::string &what) const
    {
        const auto it = line.find(&v);
        throw BusFileError(file, it == line.end() ? 1 : it->second, what);
    }

    void only(const JValue &obj, std::initializer_list<const char *> keys) const
    {
        for (const auto &kv : obj.items()) {
            bool known = false;
            for (const char *k : keys)
                known = known || kv.key() == k;
            if (!known)
                fail(kv.value(), "unknown key \"" + kv.key() + "\"");
        }
    }

    const JValue &object(const JValue &v, const std::string &what) const
    {
        if (!v.is_object())
            fail(v, what + " must be an object");
        return v;
    }

    // A whole number from a JSON number or a "0x.." / decimal string.
    long long integer(const JValue &v, const std::string &what, long long lo, long long hi) const
    {
        long long n = 0;
        if (v.is_number()) {
            const double num = v.get<double>();
            if (num != std::floor(num) || !std::isfinite(num))
                fail(v, what + " must be a whole number");
            if (num < (double)lo || num > (double)hi)
                fail(v, what + " must be " + std::to_string(lo) + ".." + std::to_string(hi));
            n = (long long)num;
        } else if (v.is_string() && !v.get_ref<const std::string &>().empty()) {
            const std::string &str = v.get_ref<const std::string &>();
            char *end = nullptr;
            n = std::strtoll(str.c_str(), &end, 0);
            if (*end != 0)
                fail(v, what + " is not a number: \"" + str + "\"");
        } else {
            fail(v, what + " must be a number");
        }
        if (n < lo || n > hi)
            fail(v, what + " must be " + std::to_string(lo) + ".." + std::to_string(hi));
        return n;
    }

    double number(const JValue &v, const std::string &what) const
    {
        if (!v.is_number() || !std::isfinite(v.get<double>()))
            fail(v, what + " must be a number");
        return v.get<double>();
    }

    bool boolean(const JValue &v, const std::string &what) const
    {
        if (!v.is_boolean())
            fail(v, what + " must be true or false");
        return v.get<bool>();
    }

    std::string text(const JValue &v, const std::string &what) const
    {
        if (!v.is_string())
            fail(v, what + " must be a string");
        return v.get<std::string>();
    }

    std::vector<uint8_t> hex_bytes(const JValue &v, const std::string &what) const
    {
        std::vector<uint8_t> out;
        std::istringstream in(text(v, what));
        std::string tok;
        while (in >> tok) {
            char *end = nullptr;
            const long b = std::strtol(tok.c_str(), &end, 16);
            if (*end != 0 || b < 0 || b > 255 || tok.size() > 2)
                fail(v, what + ": \"" + tok + "\" is not a hex byte");
            out.push_back((uint8_t)b);
        }
        return out;
    }

    Reading reading(const JValue &v, const std::string &what) const
    {
        Reading r;
        if (v.is_number()) {
            r.value = v.get<double>();
            return r;
        }
        object(v, what);
        only(v, {"const", "drift", "sine", "script", "ramp", "to", "steps", "amplitude", "period_s"});
        int kinds = 0;
        if (const JValue *c = get(v, "const")) {
            r.kind = Reading::Constant;
            r.value = number(*c, what + ".const");
            kinds++;
        }
        if (const JValue *c = get(v, "drift")) {
            r.kind = Reading::Drift;
            r.value = number(*c, what + ".drift");
            kinds++;
        }
        if (const JValue *c = get(v, "sine")) {
            r.kind = Reading::Sine;
            r.value = number(*c, what + ".sine");
            kinds++;
        }
        for (const char *list : {"script", "steps"}) {
            const JValue *c = get(v, list);
            if (!c)
                continue;
            const std::string key = what + "." + list;
            r.kind = list[1] == 'c' ? Reading::Script : Reading::Steps;
            if (!c->is_array() || c->empty())
                fail(*c, key + " must be a list of [seconds, value] pairs");
            double last = -1e300;
            for (const JValue &p : *c) {
                if (!p.is_array() || p.size() != 2)
                    fail(p, key + " entries must be [seconds, value]");
                const double t = number(p[0], key + " time");
                if (t < last)
                    fail(p, key + " times must not go back");
                last = t;
                r.points.push_back({t, number(p[1], key + " value")});
            }
            kinds++;
        }
        if (const JValue *c = get(v, "ramp")) {
            r.kind = Reading::Ramp;
            r.value = number(*c, what + ".ramp");
            const JValue *to = get(v, "to");
            if (!to)
                fail(v, what + ".ramp needs \"to\"");
            r.to = number(*to, what + ".to");
            kinds++;
        }
        if (kinds != 1)
            fail(v, what + " needs exactly one of const, drift, sine, script, ramp, steps");
        // Steps repeat only when a period is given.
        if (r.kind == Reading::Steps)
            r.period_s = 0;
        if (const JValue *a = get(v, "amplitude"))
            r.amplitude = number(*a, what + ".amplitude");
        if (const JValue *p = get(v, "period_s")) {
            r.period_s = number(*p, what + ".period_s");
            if (r.period_s <= 0)
                fail(*p, what + ".period_s must be above 0");
        }
        return r;
    }

    // A unit entry; "count" repeats it with serial and sort number counting up.
    void units(const JValue &list, std::vector<Unit> &out, const std::string &what) const
    {
        if (!list.is_array())
            fail(list, what + " must be a list of units");
        for (const JValue &v : list) {
            object(v, what + " entry");
            only(v, {"family", "itu", "serial", "id", "id1", "id2", "sort", "temp", "hum",
                     "value", "inputs", "outputs", "point", "calibration", "absent", "count", "step",
                     "w13", "open", "glitch"});
            const bool is_itu = get(v, "itu") != nullptr;
            if (is_itu == (get(v, "family") != nullptr) && !get(v, "id"))
                fail(v, what + ": a unit needs either \"family\" or \"itu\" (or a full \"id\")");
            Unit u;
            if (is_itu) {
                const uint8_t type = (uint8_t)integer(*get(v, "itu"), "itu", 0, 255);
                const uint8_t id1 = get(v, "id1") ? (uint8_t)integer(*get(v, "id1"), "id1", 0, 255) : 0;
                const uint8_t id2 = get(v, "id2") ? (uint8_t)integer(*get(v, "id2"), "id2", 0, 255) : 0;
                u = make_itu(type, id1, id2, 0);
            } else if (get(v, "family")) {
                const uint32_t serial =
                    get(v, "serial") ? (uint32_t)integer(*get(v, "serial"), "serial", 0, 0xFFFFFFFFLL) : 1;
                u = make_sensor((uint8_t)integer(*get(v, "family"), "family", 0, 255), serial, 0);
            }
            if (const JValue *id = get(v, "id")) {
                const auto b = hex_bytes(*id, "id");
                if (b.size() != 8)
                    fail(*id, "id must be 8 hex bytes");
                std::memcpy(u.id.data(), b.data(), 8);
                u.itu = is_itu || (b[3] == 0 && b[4] == 0 && b[5] == 0 && b[6] == 0 && b[7] == 0 && b[0] <= 11);
            }
            u.temp = Reading::constant(25.0);
            if (const JValue *x = get(v, "sort"))
                u.sort = (uint8_t)integer(*x, "sort", 0, 255);
            if (const JValue *x = get(v, "temp"))
                u.temp = reading(*x, "temp");
            if (const JValue *x = get(v, "value"))
                u.temp = reading(*x, "value");
            if (const JValue *x = get(v, "hum"))
                u.hum = reading(*x, "hum");
            if (const JValue *x = get(v, "inputs"))
                u.inputs = (uint8_t)integer(*x, "inputs", 0, 255);
            if (const JValue *x = get(v, "outputs"))
                u.outputs = (uint8_t)integer(*x, "outputs", 0, 255);
            if (const JValue *x = get(v, "point"))
                u.point = (uint8_t)integer(*x, "point", 0, 7);
            if (const JValue *x = get(v, "calibration"))
                u.calibration = (uint8_t)integer(*x, "calibration", 0, 255);
            if (const JValue *x = get(v, "absent"))
                u.absent = boolean(*x, "absent");
            if (const JValue *x = get(v, "w13"))
                u.w13 = boolean(*x, "w13");
            if (const JValue *x = get(v, "open"))
                u.open = boolean(*x, "open");
            if (const JValue *x = get(v, "glitch")) {
                object(*x, "glitch");
                only(*x, {"every_s", "for_s"});
                const JValue *every = get(*x, "every_s"), *len = get(*x, "for_s");
                if (!every || !len)
                    fail(*x, "glitch needs every_s and for_s");
                u.glitch_every_s = number(*every, "glitch.every_s");
                u.glitch_for_s = number(*len, "glitch.for_s");
                if (u.glitch_every_s <= 0 || u.glitch_for_s <= 0 || u.glitch_for_s >= u.glitch_every_s)
                    fail(*x, "glitch needs 0 < for_s < every_s");
            }
            const long long count = get(v, "count") ? integer(*get(v, "count"), "count", 1, 64) : 1;
            const double step = get(v, "step") ? number(*get(v, "step"), "step") : 0.0;
            for (long long k = 0; k < count; k++) {
                Unit c = u;
                if (k > 0 && !c.itu) {
                    Unit fresh = make_sensor(c.id[0], (uint32_t)(c.id[1] | (c.id[2] << 8) | (c.id[3] << 16) | (c.id[4] << 24)) + (uint32_t)k, 0);
                    c.id = fresh.id;
                } else if (k > 0) {
                    c.id[1] = (uint8_t)(c.id[1] + k);
                }
                c.sort = (uint8_t)(u.sort + k);
                c.temp.value += step * (double)k;
                c.temp.to += step * (double)k;
                for (auto &p : c.temp.points)
                    p.second += step * (double)k;
                out.push_back(c);
                if (out.size() > 64)
                    fail(v, what + ": more than 64 units on one channel");
            }
        }
    }

    void channels(const JValue &v, Module &m, bool digital) const
    {
        const std::string what = digital ? "digital" : "channels";
        object(v, what);
        for (const auto &kv : v.items()) {
            const std::string &k = kv.key();
            if (k.size() != 1 || k[0] < '0' || k[0] > '7')
                fail(kv.value(), what + " keys are the channel numbers \"0\" to \"7\", not \"" + k + "\"");
            Channel &c = m.channels[k[0] - '0'];
            units(kv.value(), digital ? c.digital : c.units, what + " " + k);
        }
    }

    void faults(const JValue &v, Faults &f) const
    {
        object(v, "faults");
        only(v, {"silent", "slow_ms", "short_by", "wrong_lead", "wrong_address", "split_pieces",
                 "split_gap_ms", "garbage", "all_ff", "busy_after_reset_ms", "duplicate_sort",
                 "data_status", "refuse_writes", "stuck_outputs"});
        if (auto x = get(v, "silent")) f.silent = boolean(*x, "silent");
        if (auto x = get(v, "slow_ms")) f.slow_ms = (int)integer(*x, "slow_ms", 0, 600000);
        if (auto x = get(v, "short_by")) f.short_by = (int)integer(*x, "short_by", 0, 4096);
        if (auto x = get(v, "wrong_lead")) f.wrong_lead = boolean(*x, "wrong_lead");
        if (auto x = get(v, "wrong_address")) f.wrong_address = boolean(*x, "wrong_address");
        if (auto x = get(v, "split_pieces")) f.split_pieces = (int)integer(*x, "split_pieces", 0, 4096);
        if (auto x = get(v, "split_gap_ms")) f.split_gap_ms = (int)integer(*x, "split_gap_ms", 0, 600000);
        if (auto x = get(v, "garbage")) f.garbage = hex_bytes(*x, "garbage");
        if (auto x = get(v, "all_ff")) f.all_ff = boolean(*x, "all_ff");
        if (auto x = get(v, "busy_after_reset_ms"))
            f.busy_after_reset_ms = (int)integer(*x, "busy_after_reset_ms", 0, 600000);
        if (auto x = get(v, "duplicate_sort")) f.duplicate_sort = boolean(*x, "duplicate_sort");
        if (auto x = get(v, "data_status")) f.data_status = (uint8_t)integer(*x, "data_status", 0, 255);
        if (auto x = get(v, "refuse_writes")) f.refuse_writes = boolean(*x, "refuse_writes");
        if (auto x = get(v, "stuck_outputs")) f.stuck_outputs = (uint8_t)integer(*x, "stuck_outputs", 0, 255);
    }

    void alarm(const JValue &v, Alarm &a) const
    {
        object(v, "alarm");
        only(v, {"temp_high", "temp_low", "temp_hysteresis", "hum_high", "hum_low",
                 "hum_hysteresis", "temp_enable", "hum_enable"});
        if (auto x = get(v, "temp_high")) a.temp_high = (int)integer(*x, "temp_high", -55, 200);
        if (auto x = get(v, "temp_low")) a.temp_low = (int)integer(*x, "temp_low", -55, 200);
        if (auto x = get(v, "temp_hysteresis")) a.temp_hysteresis = (int)integer(*x, "temp_hysteresis", 0, 127);
        if (auto x = get(v, "hum_high")) a.hum_high = (int)integer(*x, "hum_high", 0, 100);
        if (auto x = get(v, "hum_low")) a.hum_low = (int)integer(*x, "hum_low", 0, 100);
        if (auto x = get(v, "hum_hysteresis")) a.hum_hysteresis = (int)integer(*x, "hum_hysteresis", 0, 100);
        if (auto x = get(v, "temp_enable")) {
            auto b = hex_bytes(*x, "temp_enable");
            if (b.size() != 4)
                fail(*x, "temp_enable must be 4 hex bytes");
            std::memcpy(a.temp_enable.data(), b.data(), 4);
        }
        if (auto x = get(v, "hum_enable")) {
            auto b = hex_bytes(*x, "hum_enable");
            if (b.size() != 2)
                fail(*x, "hum_enable must be 2 hex bytes");
            std::memcpy(a.hum_enable.data(), b.data(), 2);
        }
    }

    Module module(const JValue &v) const
    {
        object(v, "a module");
        only(v, {"address", "model", "name", "type", "baud", "format", "firmware", "mode",
                 "fault", "state_mask", "state_mask2", "kind_mask_a", "kind_mask_b", "alarm",
                 "digital_in", "digital_out", "analog", "turnaround_ms", "faults", "channels",
                 "digital", "comment"});
        const JValue *addr = get(v, "address");
        if (!addr)
            fail(v, "a module needs an \"address\"");
        const JValue *model = get(v, "model");
        const JValue *name = get(v, "name");
        if (!model && !name)
            fail(v, "a module needs a \"model\" or a \"name\"");
        Module m = make_module((uint8_t)integer(*addr, "address", 0, 255),
                               model ? (int)integer(*model, "model", 0, 9999) : 3900,
                               get(v, "type") ? (uint8_t)integer(*get(v, "type"), "type", 0, 255) : 0);
        if (name) {
            m.name = text(*name, "name");
            if (m.name.size() != 7)
                fail(*name, "name must be 7 characters");
        }
        if (auto x = get(v, "baud")) {
            const long long rate = integer(*x, "baud", 0, 1000000);
            const int code = baud_rate_to_code((long)rate);
            if (code < 0)
                fail(*x, "baud must be 1200, 2400, 4800, 9600, 19200 or 38400");
            m.baud_code = (uint8_t)code;
        }
        if (auto x = get(v, "format")) m.format = (uint8_t)integer(*x, "format", 0, 255);
        if (auto x = get(v, "firmware")) {
            m.firmware = text(*x, "firmware");
            if (m.firmware.size() != 5)
                fail(*x, "firmware must be 5 characters");
        }
        if (auto x = get(v, "mode")) {
            const std::string s = text(*x, "mode");
            if (s.size() != 1)
                fail(*x, "mode must be one character");
            m.mode = s[0];
        }
        if (auto x = get(v, "fault")) {
            object(*x, "fault");
            only(*x, {"code", "errors", "warnings"});
            if (auto y = get(*x, "code")) m.fault_code = (uint8_t)integer(*y, "code", 0, 255);
            if (auto y = get(*x, "errors")) m.error_mask = (uint8_t)integer(*y, "errors", 0, 255);
            if (auto y = get(*x, "warnings")) m.warning_mask = (uint8_t)integer(*y, "warnings", 0, 255);
        }
        if (auto x = get(v, "state_mask")) m.state_mask = (int)integer(*x, "state_mask", 0, 255);
        if (auto x = get(v, "state_mask2")) m.state_mask2 = (int)integer(*x, "state_mask2", 0, 255);
        if (auto x = get(v, "kind_mask_a")) m.kind_mask_a = (uint8_t)integer(*x, "kind_mask_a", 0, 255);
        if (auto x = get(v, "kind_mask_b")) m.kind_mask_b = (uint8_t)integer(*x, "kind_mask_b", 0, 255);
        if (auto x = get(v, "alarm")) alarm(*x, m.alarm);
        if (auto x = get(v, "digital_in")) m.digital_in = (uint8_t)integer(*x, "digital_in", 0, 255);
        if (auto x = get(v, "digital_out")) m.digital_out = (uint8_t)integer(*x, "digital_out", 0, 255);
        if (auto x = get(v, "analog")) {
            if (!x->is_array() || x->size() != 2)
                fail(*x, "analog must be a list of two readings");
            m.analog[0] = reading((*x)[0], "analog");
            m.analog[1] = reading((*x)[1], "analog");
        }
        if (auto x = get(v, "turnaround_ms")) {
            const double ms = number(*x, "turnaround_ms");
            if (ms < 0 || ms > 60000)
                fail(*x, "turnaround_ms must be 0..60000");
            m.turnaround_us = (int)(ms * 1000);
        }
        if (auto x = get(v, "faults")) faults(*x, m.faults);
        if (auto x = get(v, "channels")) channels(*x, m, false);
        if (auto x = get(v, "digital")) channels(*x, m, true);
        return m;
    }

    void converter(const JValue &v, ConverterSetup &c) const
    {
        object(v, "converter");
        only(v, {"echo", "kind", "baud", "line_baud", "mac", "ip", "mask", "gateway", "port",
                 "restart_ms", "dhcp_ip", "wire", "speed_code"});
        if (auto x = get(v, "echo")) c.echo = boolean(*x, "echo");
        if (auto x = get(v, "kind")) {
            const std::string k = text(*x, "kind");
            static const std::pair<const char *, ConverterKind> kinds[] = {
                {"rs232", ConverterKind::Rs232}, {"usb", ConverterKind::Usb},
                {"rs485", ConverterKind::Rs485}, {"powerline", ConverterKind::PowerLine},
                {"radio", ConverterKind::Radio}, {"radio-slow", ConverterKind::RadioSlow},
                {"user-wait", ConverterKind::UserWait}};
            bool found = false;
            for (const auto &p : kinds)
                if (k == p.first) {
                    c.kind = p.second;
                    found = true;
                }
            if (!found)
                fail(*x, "kind must be rs232, usb, rs485, powerline, radio, radio-slow or user-wait");
        }
        if (auto x = get(v, "baud")) c.baud = (uint32_t)integer(*x, "baud", 0, 1000000);
        if (auto x = get(v, "line_baud")) c.line_baud = (uint32_t)integer(*x, "line_baud", 300, 1000000);
        if (auto x = get(v, "mac")) {
            auto b = hex_bytes(*x, "mac");
            if (b.size() != 6)
                fail(*x, "mac must be 6 hex bytes");
            std::memcpy(c.net.mac.data(), b.data(), 6);
        }
        auto ip = [&](const char *key, uint32_t &out) {
            if (auto x = get(v, key)) {
                const std::string s = text(*x, key);
                unsigned a, b, cc, d;
                char tail;
                if (std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &cc, &d, &tail) != 4 ||
                    a > 255 || b > 255 || cc > 255 || d > 255)
                    fail(*x, std::string(key) + " must be a dotted IPv4 address");
                out = ip4((uint8_t)a, (uint8_t)b, (uint8_t)cc, (uint8_t)d);
            }
        };
        ip("ip", c.net.ip);
        ip("mask", c.net.mask);
        ip("gateway", c.net.gateway);
        ip("dhcp_ip", c.net.dhcp_ip);
        ip("wire", c.net.wire);
        if (auto x = get(v, "speed_code")) c.speed_code = (int)integer(*x, "speed_code", 0, 255);
        if (auto x = get(v, "port")) c.net.tcp_port = (uint16_t)integer(*x, "port", 1, 65535);
        if (auto x = get(v, "restart_ms")) c.net.restart_ms = (int)integer(*x, "restart_ms", 0, 600000);
    }
};

}  // namespace

Bus parse_bus(const std::string &json_text, const std::string &file)
{
    OrderedJsonLines doc;
    int fault_line = 0;
    std::string fault;
    if (json_read_lines(json_text, &doc, &fault_line, &fault))
        throw BusFileError(file, fault_line, doc.twice.empty() ? fault : "duplicate key \"" + doc.twice + "\"");
    const JValue &root = doc.root;
    Reader r{file, {}};
    for (const auto &pl : doc.line)
        r.line[&root.at(JValue::json_pointer(pl.first))] = pl.second;
    r.object(root, "the bus file");
    r.only(root, {"modules", "restart_scale", "converter", "comment", "net_converters",
                  "host_interfaces"});
    Bus bus;
    if (auto x = get(root, "restart_scale")) {
        bus.restart_scale = r.number(*x, "restart_scale");
        if (bus.restart_scale < 0)
            r.fail(*x, "restart_scale must not be negative");
    }
    if (auto x = get(root, "converter"))
        r.converter(*x, bus.converter);
    // Several network converters, each on the segment of one of several host interfaces.
    if (auto x = get(root, "net_converters")) {
        if (!x->is_array() || x->size() > 16)
            r.fail(*x, "\"net_converters\" must be a list of at most 16 converters");
        for (const JValue &cv : *x) {
            ConverterSetup c = bus.converter;
            r.converter(cv, c);
            bus.net_converters.push_back(c);
        }
    }
    if (auto x = get(root, "host_interfaces")) {
        if (!x->is_array() || x->size() > 10)
            r.fail(*x, "\"host_interfaces\" must be a list of at most 10 interfaces");
        for (const JValue &iv : *x) {
            r.object(iv, "a host interface");
            r.only(iv, {"ip", "mask"});
            ConverterSetup tmp;
            r.converter(iv, tmp);
            bus.host_interfaces.push_back({tmp.net.ip, tmp.net.mask});
        }
    }
    const JValue *mods = get(root, "modules");
    if (!mods)
        r.fail(root, "the bus file needs a \"modules\" list");
    if (!mods->is_array())
        r.fail(*mods, "\"modules\" must be a list");
    std::set<int> seen;
    for (const JValue &mv : *mods) {
        Module m = r.module(mv);
        if (!seen.insert(m.address).second)
            r.fail(mv, "two modules at address " + std::to_string(m.address));
        bus.modules.push_back(std::move(m));
    }
    return bus;
}

Bus load_bus_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw BusFileError(path, 0, "cannot open the file");
    std::ostringstream ss;
    ss << in.rdbuf();
    return parse_bus(ss.str(), path);
}

}  // namespace sim
