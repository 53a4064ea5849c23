// Plant file checks: each field in turn, the first fault named with its line and place.
#include "monitor/plant.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <fstream>
#include <sstream>
#include <string>

#include "json/json_lines.h"

using nlohmann::json;

namespace {

struct Ctx {
    JsonLines doc;
    const char *name;
    char *error;
    int cap;
};

int fail(Ctx &c, const std::string &pointer, const char *fmt, ...)
{
    char what[PLANT_ERROR_MAX];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(what, sizeof what, fmt, ap);
    va_end(ap);
    snprintf(c.error, (size_t)c.cap, "%s:%d: %s: %s", c.name, json_line_of(&c.doc, pointer), json_place(pointer).c_str(),
             what);
    return -1;
}

// Every key of `obj` must be one of `known` (a typo would otherwise silently take a default).
int known_keys(Ctx &c, const json &obj, const std::string &at, const char *const *known, int n)
{
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        int ok = 0;
        for (int k = 0; k < n && !ok; ++k) ok = it.key() == known[k];
        if (!ok) {
            std::string list;
            for (int k = 0; k < n; ++k) list += (k ? ", " : "") + std::string(known[k]);
            return fail(c, at + "/" + it.key(), "unknown key; this object takes %s", list.c_str());
        }
    }
    return 0;
}

// An integer in lo..hi at obj[key]; `dflt` when absent (required when has_default is 0).
int get_int(Ctx &c, const json &obj, const std::string &at, const char *key, long lo, long hi, int has_default,
            long dflt, long *out, const char *hint)
{
    const std::string p = at + "/" + key;
    if (!obj.contains(key)) {
        if (has_default) {
            *out = dflt;
            return 0;
        }
        return fail(c, at, "'%s' is missing: %s", key, hint);
    }
    const json &v = obj[key];
    if (!v.is_number_integer() || v.get<long>() < lo || v.get<long>() > hi)
        return fail(c, p, "%s is not valid: %s", v.dump().c_str(), hint);
    *out = v.get<long>();
    return 0;
}

int get_number(Ctx &c, const json &obj, const std::string &at, const char *key, double *out)
{
    const json &v = obj[key];
    if (!v.is_number() || !isfinite(v.get<double>()))
        return fail(c, at + "/" + key, "%s is not valid: give a number (degrees Celsius)", v.dump().c_str());
    *out = v.get<double>();
    return 0;
}

int get_string(Ctx &c, const json &obj, const std::string &at, const char *key, char *out, size_t cap, const char *hint)
{
    if (!obj.contains(key)) return fail(c, at, "'%s' is missing: %s", key, hint);
    const json &v = obj[key];
    if (!v.is_string() || v.get<std::string>().empty() || v.get<std::string>().size() >= cap)
        return fail(c, at + "/" + key, "%s is not valid: %s", v.dump().c_str(), hint);
    snprintf(out, cap, "%s", v.get<std::string>().c_str());
    return 0;
}

// Module address as the programs show it: "01", "7F", "7FH", "0x7F"; -1 when invalid.
int hex_address(const std::string &t)
{
    std::string s = t;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    else if (!s.empty() && (s.back() == 'H' || s.back() == 'h')) s.pop_back();
    if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return -1;
    return (int)strtol(s.c_str(), nullptr, 16);
}

int get_address(Ctx &c, const json &obj, const std::string &at, int *out)
{
    const char hint[] = "give the module address in hex as a string, e.g. \"01\" or \"7F\"";
    if (!obj.contains("address")) return fail(c, at, "'address' is missing: %s", hint);
    const json &v = obj["address"];
    *out = v.is_string() ? hex_address(v.get<std::string>()) : -1;
    if (*out < 0) return fail(c, at + "/address", "%s is not valid: %s", v.dump().c_str(), hint);
    return 0;
}

int parse_module(Ctx &c, const json &m, const std::string &at, PlantModule *out)
{
    static const char *const Keys[] = {"address", "channels"};
    if (!m.is_object()) return fail(c, at, "give an object {\"address\": \"01\", \"channels\": [0, 1]}");
    if (known_keys(c, m, at, Keys, 2) || get_address(c, m, at, &out->address)) return -1;
    out->channels = 0;
    if (!m.contains("channels")) return 0;
    const json &ch = m["channels"];
    const char hint[] = "give a list of channels 0-7, e.g. [0, 3], or leave it out for every channel with units";
    if (!ch.is_array() || ch.empty()) return fail(c, at + "/channels", "%s", hint);
    for (size_t k = 0; k < ch.size(); ++k) {
        const std::string p = at + "/channels/" + std::to_string(k);
        if (!ch[k].is_number_integer() || ch[k].get<long>() < 0 || ch[k].get<long>() > 7)
            return fail(c, p, "%s is no channel: %s", ch[k].dump().c_str(), hint);
        const uint8_t bit = (uint8_t)(1u << ch[k].get<int>());
        if (out->channels & bit) return fail(c, p, "channel %d is listed twice", ch[k].get<int>());
        out->channels |= bit;
    }
    return 0;
}

int parse_alarm(Ctx &c, const json &a, const std::string &at, int link, PlantAlarm *out)
{
    static const char *const Keys[] = {"high", "low", "silent_periods", "link_down_periods", "module", "channel", "unit_id"};
    memset(out, 0, sizeof *out);
    out->link = link;
    out->module = -1;
    out->channel = -1;
    out->line = json_line_of(&c.doc, at);
    if (!a.is_object())
        return fail(c, at, "give an object with \"high\"/\"low\", \"silent_periods\" or \"link_down_periods\"");
    if (known_keys(c, a, at, Keys, 7)) return -1;
    const int limit = a.contains("high") || a.contains("low");
    const int silent = a.contains("silent_periods"), down = a.contains("link_down_periods");
    if (limit + silent + down != 1)
        return fail(c, at, "one rule per alarm: give \"high\"/\"low\", \"silent_periods\" or \"link_down_periods\"");
    long n = 0;
    if (limit) {
        out->kind = ALARM_LIMIT;
        if ((out->has_high = a.contains("high")) && get_number(c, a, at, "high", &out->high)) return -1;
        if ((out->has_low = a.contains("low")) && get_number(c, a, at, "low", &out->low)) return -1;
        if (out->has_high && out->has_low && out->low >= out->high)
            return fail(c, at + "/low", "%g is not below the high limit %g", out->low, out->high);
    } else if (silent) {
        out->kind = ALARM_SILENT;
        if (get_int(c, a, at, "silent_periods", 1, 100000, 0, 0, &n, "give the number of periods, 1 or more")) return -1;
        out->periods = (int)n;
    } else {
        out->kind = ALARM_LINK_DOWN;
        if (get_int(c, a, at, "link_down_periods", 1, 100000, 0, 0, &n, "give the number of periods, 1 or more"))
            return -1;
        out->periods = (int)n;
        if (a.contains("module") || a.contains("channel") || a.contains("unit_id"))
            return fail(c, at, "a link-down alarm watches the whole link: leave out module, channel and unit_id");
    }
    if (a.contains("unit_id")) {
        const json &v = a["unit_id"];
        const std::string id = v.is_string() ? v.get<std::string>() : "";
        if (id.size() != 16 || id.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
            return fail(c, at + "/unit_id", "%s is not valid: give the unit's eight ID bytes as 16 hex digits",
                        v.dump().c_str());
        for (size_t k = 0; k < 16; ++k) out->unit_id[k] = (char)toupper((unsigned char)id[k]);
        if (a.contains("module") || a.contains("channel"))
            return fail(c, at, "give either unit_id or module/channel: an ID names the unit wherever it is wired");
    }
    if (a.contains("module")) {
        if (link < 0) return fail(c, at + "/module", "a module is named within a link: put this alarm in that link's \"alarms\"");
        const json &v = a["module"];
        out->module = v.is_string() ? hex_address(v.get<std::string>()) : -1;
        if (out->module < 0)
            return fail(c, at + "/module", "%s is not valid: give the module address in hex as a string, e.g. \"01\"",
                        v.dump().c_str());
    }
    if (a.contains("channel")) {
        if (!a.contains("module")) return fail(c, at + "/channel", "a channel is named with its module: add \"module\"");
        if (get_int(c, a, at, "channel", 0, 7, 0, 0, &n, "give a channel 0-7")) return -1;
        out->channel = (int)n;
    }
    return 0;
}

int parse_alarms(Ctx &c, const json &obj, const std::string &at, int link, Plant *plant)
{
    if (!obj.contains("alarms")) return 0;
    const json &list = obj["alarms"];
    if (!list.is_array()) return fail(c, at + "/alarms", "give a list of alarm rules");
    for (size_t k = 0; k < list.size(); ++k) {
        const std::string p = at + "/alarms/" + std::to_string(k);
        if (plant->alarm_count >= PLANT_ALARMS_MAX) return fail(c, p, "more than %d alarm rules", PLANT_ALARMS_MAX);
        if (parse_alarm(c, list[k], p, link, &plant->alarm[plant->alarm_count])) return -1;
        plant->alarm_count++;
    }
    return 0;
}

int parse_link(Ctx &c, const json &l, const std::string &at, int index, Plant *plant)
{
    static const char *const Keys[] = {"name", "port", "converter", "baud", "wait_ms", "period_s", "modules", "alarms"};
    PlantLink *out = &plant->link[index];
    memset(out, 0, sizeof *out);
    out->line = json_line_of(&c.doc, at);
    if (!l.is_object()) return fail(c, at, "give an object with name, port, period_s and modules");
    if (known_keys(c, l, at, Keys, 8)) return -1;
    const char name_hint[] = "give a short name of letters, digits, '-', '_' or '.' (up to 31)";
    if (get_string(c, l, at, "name", out->name, sizeof out->name, name_hint)) return -1;
    if (strspn(out->name, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_.") != strlen(out->name))
        return fail(c, at + "/name", "\"%s\" is not valid: %s", out->name, name_hint);
    for (int k = 0; k < index; ++k)
        if (strcmp(plant->link[k].name, out->name) == 0)
            return fail(c, at + "/name", "\"%s\" names link %d already (line %d): give each link its own name", out->name,
                        k, plant->link[k].line);
    if (get_string(c, l, at, "port", out->port, sizeof out->port,
                   "give a serial port (/dev/ttyUSB0, COM3) or a network converter host:port"))
        return -1;
    const int networked = strchr(out->port, ':') != nullptr;
    long n = 0;
    if (get_int(c, l, at, "converter", 0, 7, 1, networked ? 4 : 0, &n,
                "give the converter type 0-7 (4 = network converter)"))
        return -1;
    out->converter = (int)n;
    const char baud_hint[] = "give the bus speed 2400, 4800, 9600, 19200 or 38400";
    if (get_int(c, l, at, "baud", 2400, 38400, 1, 9600, &n, baud_hint)) return -1;
    if (n != 2400 && n != 4800 && n != 9600 && n != 19200 && n != 38400)
        return fail(c, at + "/baud", "%ld is not valid: %s", n, baud_hint);
    out->baud = (int)n;
    if (get_int(c, l, at, "wait_ms", 10, 15000, 1, 50, &n, "give the reply wait 10-15000 ms")) return -1;
    out->wait_ms = (int)n;
    const char period_hint[] = "give the period in seconds, 0.5 to 86400";
    if (!l.contains("period_s")) return fail(c, at, "'period_s' is missing: %s", period_hint);
    const json &p = l["period_s"];
    if (!p.is_number() || !(p.get<double>() >= 0.5 && p.get<double>() <= 86400))
        return fail(c, at + "/period_s", "%s is not valid: %s", p.dump().c_str(), period_hint);
    out->period_ms = (int)lround(p.get<double>() * 1000.0);
    const char modules_hint[] = "give \"search\" or a list of {\"address\": \"01\"}";
    if (!l.contains("modules")) return fail(c, at, "'modules' is missing: %s", modules_hint);
    const json &m = l["modules"];
    if (m.is_string() && m.get<std::string>() == "search") {
        out->search = 1;
    } else if (m.is_array() && !m.empty()) {
        if (m.size() > PLANT_MODULES_MAX) return fail(c, at + "/modules", "more than %d modules on one link", PLANT_MODULES_MAX);
        for (size_t k = 0; k < m.size(); ++k) {
            const std::string mp = at + "/modules/" + std::to_string(k);
            PlantModule *pm = &out->module[out->module_count];
            if (parse_module(c, m[k], mp, pm)) return -1;
            for (int j = 0; j < out->module_count; ++j)
                if (out->module[j].address == pm->address)
                    return fail(c, mp + "/address", "module %02X is listed twice on this link", pm->address);
            out->module_count++;
        }
    } else {
        return fail(c, at + "/modules", "%s", modules_hint);
    }
    return parse_alarms(c, l, at, index, plant);
}

// Host names and Windows port names ignore case; device paths do not.
int same_port(const char *a, const char *b)
{
    const int loose = strchr(a, ':') || strncasecmp(a, "COM", 3) == 0;
    return loose ? strcasecmp(a, b) == 0 : strcmp(a, b) == 0;
}

}  // namespace

int plant_parse(const char *text, const char *name, Plant *plant, char *error, int error_cap)
{
    Ctx c{JsonLines{}, name, error, error_cap};
    memset(plant, 0, sizeof *plant);
    int line = 0;
    std::string fault;
    if (json_read_lines(text, &c.doc, &line, &fault)) {
        snprintf(error, (size_t)error_cap, "%s:%d: %s", name, line, fault.c_str());
        return -1;
    }
    static const char *const Keys[] = {"database", "retention_days", "links", "alarms"};
    const json &root = c.doc.root;
    if (!root.is_object()) return fail(c, "", "give an object with \"database\" and \"links\"");
    if (known_keys(c, root, "", Keys, 4)) return -1;
    if (get_string(c, root, "", "database", plant->database, sizeof plant->database,
                   "give the SQLite file the readings go to, e.g. \"plant.db\""))
        return -1;
    long n = 0;
    if (get_int(c, root, "", "retention_days", 0, 36500, 1, 0, &n, "give the days readings are kept, 0 for always"))
        return -1;
    plant->retention_days = (int)n;
    if (!root.contains("links")) return fail(c, "", "'links' is missing: give a list of the links to poll");
    const json &links = root["links"];
    if (!links.is_array() || links.empty()) return fail(c, "/links", "give a list of the links to poll");
    if (links.size() > PLANT_LINKS_MAX)
        return fail(c, "/links", "more than %d links: split the plant over several collectors", PLANT_LINKS_MAX);
    for (size_t k = 0; k < links.size(); ++k) {
        if (parse_link(c, links[k], "/links/" + std::to_string(k), (int)k, plant)) return -1;
        plant->link_count++;
    }
    // Two links on one port would fight over it.
    for (int a = 0; a < plant->link_count; ++a)
        for (int b = 0; b < a; ++b)
            if (same_port(plant->link[a].port, plant->link[b].port))
                return fail(c, "/links/" + std::to_string(a) + "/port", "\"%s\" is the port of link \"%s\" already",
                            plant->link[a].port, plant->link[b].name);
    return parse_alarms(c, root, "", -1, plant);
}

int plant_load(const char *path, Plant *plant, char *error, int error_cap)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        snprintf(error, (size_t)error_cap, "cannot read the plant file %s: check the path and its permissions", path);
        return -1;
    }
    std::stringstream text;
    text << f.rdbuf();
    return plant_parse(text.str().c_str(), path, plant, error, error_cap);
}
