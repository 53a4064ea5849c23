// MQTT publishing through libmosquitto's network thread. The library keeps QoS 1 messages
// until the broker acknowledges them and sends them again after a reconnect; the collector
// bounds how many may wait so a broker gone for days cannot eat the machine's memory.
#include "monitor/mqtt.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include <mosquitto.h>
#include <nlohmann/json.hpp>

#include "monitor/export.h"
#include "monitor/history.h"

namespace {

struct Mqtt {
    struct mosquitto *m;
    std::atomic<int64_t> published, acked, dropped;
    std::atomic<int> connected;
    int reported_connected;
    int64_t reported_dropped;
    time_t reported_at;
    char news[160];
};
Mqtt Q;

void on_connect(struct mosquitto *, void *, int rc)
{
    Q.connected = rc == 0;
}

void on_disconnect(struct mosquitto *, void *, int)
{
    Q.connected = 0;
}

void on_publish(struct mosquitto *, void *, int)
{
    Q.acked++;
}

void publish(const std::string &topic, const std::string &payload, int retain)
{
    if (!Q.m) return;
    if (Q.published - Q.acked >= MQTT_PENDING_MAX) {
        Q.dropped++;
        return;
    }
    const int rc = mosquitto_publish(Q.m, nullptr, topic.c_str(), (int)payload.size(), payload.data(), 1, retain != 0);
    // Without a connection the library keeps a QoS 1 message queued and sends it after the
    // reconnect; it only says it could not send it yet.
    if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN) Q.published++;
    else Q.dropped++;
}

std::string when(int64_t ms)
{
    char t[40];
    history_format_time(ms, t, sizeof t);
    return t;
}

std::string hex2(int v)
{
    char t[8];
    snprintf(t, sizeof t, "%02X", v & 0xFF);
    return t;
}

}  // namespace

int mqtt_reading_message(const char *link, const StoreReadout *r, const StoreReading *u, char *topic, int topic_cap,
                         char *payload, int payload_cap)
{
    snprintf(topic, (size_t)topic_cap, "vok/%s/%02X/%d/%d", link, r->module & 0xFF, r->channel, u->position);
    char raw[9];
    snprintf(raw, sizeof raw, "%02X%02X%02X%02X", u->raw[0], u->raw[1], u->raw[2], u->raw[3]);
    nlohmann::json j = {{"time", when(r->time_ms)}, {"link", link},         {"module", hex2(r->module)},
                        {"channel", r->channel},    {"position", u->position}, {"id", nullptr},
                        {"value", nullptr},         {"text", u->text},     {"raw", raw}};
    if (u->unit_id[0]) j["id"] = u->unit_id;
    if (u->has_value) j["value"] = u->value;
    const std::string s = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    snprintf(payload, (size_t)payload_cap, "%s", s.c_str());
    return (int)s.size();
}

int mqtt_start(const char *host_port, char *error, int cap)
{
    char host[128];
    const char *colon = strrchr(host_port, ':');
    snprintf(host, sizeof host, "%.*s", (int)(colon - host_port), host_port);
    const int port = atoi(colon + 1);
    mosquitto_lib_init();
    char id[48];
    snprintf(id, sizeof id, "vokcli-monitor-%d", (int)getpid());
    Q.m = mosquitto_new(id, true, nullptr);
    if (!Q.m) {
        snprintf(error, (size_t)cap, "cannot set up the MQTT client");
        return -1;
    }
    mosquitto_connect_callback_set(Q.m, on_connect);
    mosquitto_disconnect_callback_set(Q.m, on_disconnect);
    mosquitto_publish_callback_set(Q.m, on_publish);
    mosquitto_reconnect_delay_set(Q.m, MQTT_RETRY_FIRST_S, MQTT_RETRY_MAX_S, true);
    // The broker may be away at start: connect_async keeps trying in the network thread.
    int rc = mosquitto_connect_async(Q.m, host, port, MQTT_KEEPALIVE_S);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        snprintf(error, (size_t)cap, "--mqtt %s: %s", host_port, mosquitto_strerror(rc));
        mqtt_stop();
        return -1;
    }
    rc = mosquitto_loop_start(Q.m);
    if (rc != MOSQ_ERR_SUCCESS) {
        snprintf(error, (size_t)cap, "--mqtt %s: %s", host_port, mosquitto_strerror(rc));
        mqtt_stop();
        return -1;
    }
    return 0;
}

void mqtt_stop(void)
{
    if (!Q.m) return;
    // Give messages in hand a moment to reach a broker that is there.
    for (int k = 0; k < 50 && Q.connected && Q.acked < Q.published; ++k) usleep(20000);
    mosquitto_disconnect(Q.m);
    mosquitto_loop_stop(Q.m, true);
    mosquitto_destroy(Q.m);
    Q.m = nullptr;
    mosquitto_lib_cleanup();
}

void mqtt_close_in_worker(void)
{
    if (Q.m && mosquitto_socket(Q.m) >= 0) close(mosquitto_socket(Q.m));
}

int mqtt_running(void)
{
    return Q.m != nullptr;
}

void mqtt_publish_readout(const char *link, const StoreReadout *r)
{
    char topic[160], payload[512];
    for (int i = 0; i < r->count; ++i) {
        mqtt_reading_message(link, r, &r->reading[i], topic, sizeof topic, payload, sizeof payload);
        publish(topic, payload, 0);
    }
}

void mqtt_publish_alarm(const StoreAlarm *a)
{
    nlohmann::json j = {{"time", when(a->time_ms)}, {"link", a->link},  {"kind", a->kind},
                        {"state", a->raised ? "raised" : "cleared"}, {"text", a->text ? a->text : ""}};
    j["module"] = a->module >= 0 ? nlohmann::json(hex2(a->module)) : nlohmann::json();
    j["channel"] = a->channel >= 0 ? nlohmann::json(a->channel) : nlohmann::json();
    j["position"] = a->position >= 0 ? nlohmann::json(a->position) : nlohmann::json();
    j["id"] = a->unit_id && a->unit_id[0] ? nlohmann::json(a->unit_id) : nlohmann::json();
    if (a->has_value) {
        j["value"] = a->value;
        j["threshold"] = a->threshold;
    }
    publish(std::string("vok/") + a->link + "/alarm", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), 0);
}

void mqtt_publish_link(const char *link, const WireLink *s)
{
    nlohmann::json j = {{"time", when(s->time_ms)}, {"up", s->up != 0}, {"modules", s->modules},
                        {"exchanges", s->exchanges}, {"failures", s->failures}, {"text", s->text}};
    publish(std::string("vok/") + link + "/state", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), 1);
}

void mqtt_counts(int64_t *published, int64_t *acked, int64_t *dropped)
{
    *published = Q.published;
    *acked = Q.acked;
    *dropped = Q.dropped;
}

const char *mqtt_news(void)
{
    Q.news[0] = 0;
    if (!Q.m) return Q.news;
    const int c = Q.connected;
    const int64_t d = Q.dropped;
    // Drops are told at most every ten seconds: while the broker is away they come in floods.
    const time_t now = time(nullptr);
    if (c != Q.reported_connected || (d != Q.reported_dropped && now - Q.reported_at >= 10)) {
        Q.reported_at = now;
        snprintf(Q.news, sizeof Q.news, "mqtt: %s; %lld published, %lld acknowledged, %lld dropped while %d were waiting",
                 c ? "connected" : "broker away", (long long)Q.published, (long long)Q.acked, (long long)d, MQTT_PENDING_MAX);
        Q.reported_connected = c;
        Q.reported_dropped = d;
    }
    return Q.news;
}
