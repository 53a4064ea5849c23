// Alarm rules over a scripted stream of readouts and clock ticks: each row is one plant, the
// events and the alarm changes that must come out, in order.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "monitor/alarms.h"
#include "monitor/plant.h"

namespace {

// Two links at 1 s and 10 s periods; the rules under test are appended.
std::string plant_with(const std::string &link_alarms, const std::string &top_alarms)
{
    return R"({"database": "p.db", "links": [
      {"name": "a", "port": "/dev/ttyS0", "period_s": 1, "modules": [{"address": "01"}], "alarms": [)" + link_alarms +
           R"(]},
      {"name": "b", "port": "/dev/ttyS1", "period_s": 10, "modules": "search"}],
     "alarms": [)" + top_alarms + "]}";
}

// One event: a readout of link/module/channel at `t` ms with values per position
// (NAN: no value), or a tick at `t` when link < 0.
struct Event {
    int64_t t;
    int link, module, channel;
    std::vector<double> values;
};

struct Case {
    const char *name;
    std::string link_alarms, top_alarms;
    std::vector<Event> events;
    std::vector<std::string> want;  // "link kind state module/channel/position id"
};

std::vector<std::string> Got;

int record(const StoreAlarm *a, void *)
{
    char t[160];
    snprintf(t, sizeof t, "%lld %s %s %s %d/%d/%d %s", (long long)a->time_ms, a->link, a->kind, a->raised ? "raised" : "cleared",
             a->module, a->channel, a->position, a->unit_id ? a->unit_id : "");
    Got.push_back(t);
    return STORE_OK;
}

Plant P;
AlarmState S;

TEST(Alarms, RulesRaiseAndClearOnce)
{
    const double N = std::nan("");
    const Case cases[] = {
        {"high and low on one channel, each raised and cleared once",
         R"({"module": "01", "channel": 0, "high": 30, "low": 0})", "",
         {{0, 0, 1, 0, {20, 31}}, {1000, 0, 1, 0, {20, 32}}, {2000, 0, 1, 0, {-1, 30}}, {3000, 0, 1, 0, {5, 29}}},
         {"0 a high raised 1/0/1 2800000000000101", "2000 a low raised 1/0/0 2800000000000100", "2000 a high cleared 1/0/1 2800000000000101",
          "3000 a low cleared 1/0/0 2800000000000100"}},
        {"a channel rule leaves other channels and modules alone",
         R"({"module": "01", "channel": 1, "high": 10})", "",
         {{0, 0, 1, 0, {50}}, {0, 0, 2, 1, {50}}, {0, 0, 1, 1, {50}}},
         {"0 a high raised 1/1/0 2800000000000110"}},
        {"an ID rule follows the unit on any link; no value is no limit crossed",
         "", R"({"unit_id": "2800000000000110", "high": 10})",
         {{0, 0, 1, 1, {50, 50}}, {5, 1, 1, 1, {50}}, {10, 0, 1, 1, {N}}},
         {"0 a high raised 1/1/0 2800000000000110", "5 b high raised 1/1/0 2800000000000110", "10 a high cleared 1/1/0 2800000000000110"}},
        {"silent after N periods and a half, back with the next reading",
         R"({"silent_periods": 2})", "",
         {{0, 0, 1, 0, {20}}, {2400, -1, 0, 0, {}}, {2600, -1, 0, 0, {}}, {2700, -1, 0, 0, {}}, {3000, 0, 1, 0, {20}}},
         {"2600 a silent raised 1/-1/-1 ", "2600 a silent raised 1/0/0 2800000000000100", "3000 a silent cleared 1/-1/-1 ",
          "3000 a silent cleared 1/0/0 2800000000000100"}},
        {"a listed module that never answers falls silent; a searched link has no list",
         "", R"({"silent_periods": 1})",
         {{1400, -1, 0, 0, {}}, {1600, -1, 0, 0, {}}, {20000, -1, 0, 0, {}}},
         {"1600 a silent raised 1/-1/-1 "}},
        {"a unit gone from the reply is silent while its neighbours read",
         "", R"({"silent_periods": 1})",
         {{0, 0, 1, 0, {20, 20}}, {1000, 0, 1, 0, {20}}, {1600, -1, 0, 0, {}}},
         {"1600 a silent raised 1/0/1 2800000000000101"}},
        {"link down by its own period; other links keep theirs",
         "", R"({"link_down_periods": 3})",
         {{0, 0, 1, 0, {20}}, {3400, -1, 0, 0, {}}, {3600, -1, 0, 0, {}}, {30000, 1, 1, 0, {1}}, {36000, 0, 1, 0, {20}},
          {65000, -1, 0, 0, {}}, {65001, -1, 0, 0, {}}},
         {"3600 a link_down raised -1/-1/-1 ", "36000 a link_down cleared -1/-1/-1 ", "65000 a link_down raised -1/-1/-1 ",
          "65001 b link_down raised -1/-1/-1 "}},
    };
    for (const Case &c : cases) {
        char error[PLANT_ERROR_MAX];
        ASSERT_EQ(plant_parse(plant_with(c.link_alarms, c.top_alarms).c_str(), "p.json", &P, error, sizeof error), 0) << error;
        alarms_begin(&S, &P, 0);
        Got.clear();
        for (const Event &e : c.events) {
            if (e.link < 0) {
                alarms_tick(&S, e.t, record, nullptr);
                continue;
            }
            std::vector<StoreReading> u(e.values.size());
            for (size_t i = 0; i < u.size(); ++i) {
                u[i] = StoreReading{};
                u[i].position = (int)i;
                snprintf(u[i].unit_id, sizeof u[i].unit_id, "280000000000%02X%d%d", e.module, e.channel, (int)i);
                u[i].has_value = !std::isnan(e.values[i]);
                u[i].value = u[i].has_value ? e.values[i] : 0;
            }
            const StoreReadout r{e.t, P.link[e.link].name, e.module, e.channel, READOUT_OK, (int)u.size(), u.data()};
            alarms_on_readout(&S, e.link, &r, record, nullptr);
        }
        EXPECT_EQ(Got, c.want) << c.name;
        int standing = 0;
        for (const std::string &g : Got) standing += g.find(" raised ") != std::string::npos ? 1 : -1;
        EXPECT_EQ(S.raised, standing) << c.name;
    }
}

TEST(Alarms, FailedReadoutIsNoReading)
{
    char error[PLANT_ERROR_MAX];
    ASSERT_EQ(plant_parse(plant_with(R"({"silent_periods": 1})", "").c_str(), "p.json", &P, error, sizeof error), 0);
    alarms_begin(&S, &P, 0);
    Got.clear();
    const StoreReadout failed{1000, "a", 1, 0, READOUT_NO_REPLY, 0, nullptr};
    alarms_on_readout(&S, 0, &failed, record, nullptr);
    alarms_tick(&S, 1600, record, nullptr);
    // The module answered nothing: the failed readout does not keep it from falling silent.
    EXPECT_EQ(Got, std::vector<std::string>{"1600 a silent raised 1/-1/-1 "});
    EXPECT_EQ(S.link_ok_ms[0], 0);
}

}  // namespace
