// Exporters: the metrics page a scrape gets (fresh readings, stale ones left out, links,
// standing alarms) and the MQTT message of a reading as documented.
#include <gtest/gtest.h>

#include <string>

#include "monitor/alarms.h"
#include "monitor/export.h"
#include "monitor/plant.h"

namespace {

Plant P;
AlarmState S;

int ignore(const StoreAlarm *, void *)
{
    return STORE_OK;
}

TEST(Export, MetricsPageLeavesStaleReadingsOut)
{
    char error[PLANT_ERROR_MAX];
    ASSERT_EQ(plant_parse(R"({"database": "p.db", "links": [
        {"name": "a", "port": "/dev/ttyS0", "period_s": 1, "modules": "search",
         "alarms": [{"high": 30}, {"link_down_periods": 1}]}]})",
                          "p.json", &P, error, sizeof error),
              0)
        << error;
    alarms_begin(&S, &P, 0);
    StoreReading u[2] = {};
    u[0] = StoreReading{0, "28E903000001002B", {1, 2, 3, 4}, 1, 31.5, "31.5"};
    u[1] = StoreReading{1, "", {0, 0, 0, 0}, 0, 0, "OPEN"};
    const StoreReadout old_one{1000, "a", 0x7F, 3, READOUT_OK, 2, u};
    ASSERT_EQ(alarms_on_readout(&S, 0, &old_one, ignore, nullptr), STORE_OK);
    u[0].value = 20.25;
    const StoreReadout fresh{4000, "a", 0x01, 0, READOUT_OK, 1, u};
    ASSERT_EQ(alarms_on_readout(&S, 0, &fresh, ignore, nullptr), STORE_OK);
    ASSERT_EQ(export_start(&P, &S, "127.0.0.1:0", "", error, sizeof error), 0) << error;
    WireLink w{};
    w.up = 1;
    w.exchanges = 7;
    w.failures = 2;
    w.last_ok_ms = 4000;
    export_link(0, &w);
    export_readout(0, &fresh);
    export_tick(4500);
    const std::string page = export_metrics_text();
    export_stop();
    const char *want[] = {
        "vok_reading{link=\"a\",module=\"01\",channel=\"0\",position=\"0\",id=\"28E903000001002B\"} 20.25\n",
        "vok_reading_stale{link=\"a\",module=\"7F\",channel=\"3\",position=\"0\",id=\"28E903000001002B\"} 1\n",
        "vok_reading_stale{link=\"a\",module=\"01\",channel=\"0\",position=\"0\",id=\"28E903000001002B\"} 0\n",
        "vok_reading_timestamp_seconds{link=\"a\",module=\"7F\",channel=\"3\",position=\"1\",id=\"\"} 1\n",
        "vok_link_exchanges_total{link=\"a\"} 7\n",
        "vok_link_failures_total{link=\"a\"} 2\n",
        "vok_link_last_success_timestamp_seconds{link=\"a\"} 4\n",
        "vok_link_readings_written_total{link=\"a\"} 1\n",
        // The stale unit's high alarm still stands: staleness hides values, not alarms.
        "vok_alarm{link=\"a\",module=\"7F\",channel=\"3\",position=\"0\",id=\"28E903000001002B\",kind=\"high\"} 1\n",
        "vok_alarms_raised 1\n",
        "# TYPE vok_link_exchanges_total counter\n",
    };
    for (const char *w2 : want) EXPECT_NE(page.find(w2), std::string::npos) << w2 << "\n--- page:\n" << page;
    EXPECT_EQ(page.find("vok_reading{link=\"a\",module=\"7F\""), std::string::npos) << "a stale value was exported";
    EXPECT_EQ(page.find("vok_mqtt_"), std::string::npos);
}

TEST(Export, MqttReadingMessageAsDocumented)
{
    StoreReading with{2, "28E903000001002B", {0x6B, 0x01, 0x4B, 0x46}, 1, 22.6875, "(+22.688)℃"};
    StoreReading without{0, "", {0xFF, 0xFF, 0, 0x0D}, 0, 0, "\"OPEN\"\n"};
    const StoreReadout r{1796688669929, "pty1", 0x0A, 7, READOUT_OK, 1, &with};
    char topic[160], payload[512];
    mqtt_reading_message("pty1", &r, &with, topic, sizeof topic, payload, sizeof payload);
    EXPECT_STREQ(topic, "vok/pty1/0A/7/2");
    EXPECT_STREQ(payload, "{\"channel\":7,\"id\":\"28E903000001002B\",\"link\":\"pty1\",\"module\":\"0A\",\"position\":2,"
                          "\"raw\":\"6B014B46\",\"text\":\"(+22.688)℃\",\"time\":\"2026-12-08T00:11:09.929Z\",\"value\":22.6875}");
    mqtt_reading_message("pty1", &r, &without, topic, sizeof topic, payload, sizeof payload);
    EXPECT_STREQ(payload, "{\"channel\":7,\"id\":null,\"link\":\"pty1\",\"module\":\"0A\",\"position\":0,"
                          "\"raw\":\"FFFF000D\",\"text\":\"\\\"OPEN\\\"\\n\",\"time\":\"2026-12-08T00:11:09.929Z\",\"value\":null}");
}

}  // namespace
