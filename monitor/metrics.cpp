// Prometheus page of the collector, served by libmicrohttpd from its own thread. The loop
// rebuilds the page from its records at most once a second; the server thread only copies
// the finished page under a lock.
#include "monitor/export.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include <microhttpd.h>

#include "monitor/mqtt.h"
#include "monitor/worker.h"

namespace {

struct Metrics {
    const Plant *plant;
    const AlarmState *alarms;
    struct MHD_Daemon *http;
    WireLink link[PLANT_LINKS_MAX];
    int64_t readouts[PLANT_LINKS_MAX], readings[PLANT_LINKS_MAX], alarm_changes;
    int64_t built_ms;
    std::mutex lock;
    std::string page;       // served
    std::string building;   // being built by the loop
};
Metrics M;

void esc(std::string &out, const char *s)
{
    for (; *s; ++s) {
        if (*s == '\\' || *s == '"') out += '\\';
        if (*s == '\n') out += "\\n";
        else out += *s;
    }
}

void line(std::string &out, const char *name, const std::string &labels, double v)
{
    char num[48];
    snprintf(num, sizeof num, "%.15g", v);
    out += name;
    if (!labels.empty()) out += "{" + labels + "}";
    out += " ";
    out += num;
    out += "\n";
}

void head(std::string &out, const char *name, const char *type, const char *help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

std::string link_label(int l)
{
    std::string s = "link=\"";
    esc(s, M.plant->link[l].name);
    return s + "\"";
}

std::string series_labels(const Series &x)
{
    char t[96];
    snprintf(t, sizeof t, ",module=\"%02X\",channel=\"%d\",position=\"%d\",id=\"%s\"", x.module & 0xFF, x.channel, x.position,
             x.unit_id);
    return link_label(x.link) + t;
}

void build(int64_t now)
{
    std::string &o = M.building;
    o.clear();
    const AlarmState *a = M.alarms;
    head(o, "vok_reading", "gauge", "Last reading of a unit (degrees Celsius; %RH for humidity); left out while stale.");
    for (int i = 0; i < a->series_count; ++i) {
        const Series &x = a->series[i];
        if (x.position >= 0 && x.has_value && !series_stale(a, &x, now)) line(o, "vok_reading", series_labels(x), x.value);
    }
    head(o, "vok_reading_stale", "gauge", "1 while a unit has had no reading for two periods of its link.");
    for (int i = 0; i < a->series_count; ++i) {
        const Series &x = a->series[i];
        if (x.position >= 0) line(o, "vok_reading_stale", series_labels(x), series_stale(a, &x, now));
    }
    head(o, "vok_reading_timestamp_seconds", "gauge", "Unix time of a unit's last reading.");
    for (int i = 0; i < a->series_count; ++i) {
        const Series &x = a->series[i];
        if (x.position >= 0) line(o, "vok_reading_timestamp_seconds", series_labels(x), (double)x.last_ms / 1000.0);
    }
    struct { const char *name, *type, *help; } const L[] = {
        {"vok_link_up", "gauge", "1 while the link is open and answering."},
        {"vok_link_exchanges_total", "counter", "Readouts asked for on the link."},
        {"vok_link_failures_total", "counter", "Readouts without a good reply."},
        {"vok_link_last_success_timestamp_seconds", "gauge", "Unix time of the link's last good readout."},
        {"vok_link_rounds_total", "counter", "Rounds over the link's modules."},
        {"vok_link_late_rounds_total", "counter", "Round slots passed over because a round ran long."},
        {"vok_link_readings_written_total", "counter", "Readings of the link written to the database."},
        {"vok_link_alarm_down", "gauge", "1 while a link-down alarm stands for the link."},
    };
    for (int m = 0; m < (int)(sizeof L / sizeof L[0]); ++m) {
        head(o, L[m].name, L[m].type, L[m].help);
        for (int l = 0; l < M.plant->link_count; ++l) {
            const WireLink &s = M.link[l];
            const double v[] = {(double)s.up, (double)s.exchanges, (double)s.failures, (double)s.last_ok_ms / 1000.0,
                                (double)s.rounds, (double)s.late_rounds, (double)M.readings[l], (double)a->link_down[l]};
            line(o, L[m].name, link_label(l), v[m]);
        }
    }
    head(o, "vok_alarm", "gauge", "1 for each alarm standing now, by kind.");
    for (int i = 0; i < a->series_count; ++i) {
        const Series &x = a->series[i];
        int high = 0, low = 0;
        for (size_t k = 0; k < sizeof x.high; ++k) {
            high |= x.high[k];
            low |= x.low[k];
        }
        const std::string lb = series_labels(x);
        if (high) line(o, "vok_alarm", lb + ",kind=\"high\"", 1);
        if (low) line(o, "vok_alarm", lb + ",kind=\"low\"", 1);
        if (x.silent) line(o, "vok_alarm", lb + ",kind=\"silent\"", 1);
    }
    head(o, "vok_alarms_raised", "gauge", "Alarms standing now.");
    line(o, "vok_alarms_raised", "", a->raised);
    if (mqtt_running()) {
        int64_t p = 0, k = 0, d = 0;
        mqtt_counts(&p, &k, &d);
        head(o, "vok_mqtt_published_total", "counter", "Messages handed to the MQTT client.");
        line(o, "vok_mqtt_published_total", "", (double)p);
        head(o, "vok_mqtt_acknowledged_total", "counter", "Messages the broker acknowledged.");
        line(o, "vok_mqtt_acknowledged_total", "", (double)k);
        head(o, "vok_mqtt_dropped_total", "counter", "Messages dropped while the buffer for an absent broker was full.");
        line(o, "vok_mqtt_dropped_total", "", (double)d);
    }
    std::lock_guard<std::mutex> g(M.lock);
    M.page.swap(M.building);
}

MHD_Result serve(void *, struct MHD_Connection *c, const char *url, const char *method, const char *, const char *,
                 size_t *, void **)
{
    if (strcmp(method, "GET") != 0 && strcmp(method, "HEAD") != 0) return MHD_NO;
    const int found = strcmp(url, "/metrics") == 0;
    std::string body = "see /metrics\n";
    if (found) {
        std::lock_guard<std::mutex> g(M.lock);
        body = M.page;
    }
    struct MHD_Response *r = MHD_create_response_from_buffer(body.size(), body.data(), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(r, "Content-Type", "text/plain; version=0.0.4; charset=utf-8");
    const MHD_Result rc = MHD_queue_response(c, found ? MHD_HTTP_OK : MHD_HTTP_NOT_FOUND, r);
    MHD_destroy_response(r);
    return rc;
}

int start_http(const char *listen, char *error, int cap)
{
    char host[128];
    const char *colon = strrchr(listen, ':');
    snprintf(host, sizeof host, "%.*s", (int)(colon - listen), listen);
    struct addrinfo hints, *ai = nullptr;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    if (getaddrinfo(host, colon + 1, &hints, &ai) != 0 || !ai) {
        snprintf(error, (size_t)cap, "--listen %s: cannot resolve %s: give an IPv4 address of this machine", listen, host);
        return -1;
    }
    struct sockaddr_in sa;
    memcpy(&sa, ai->ai_addr, sizeof sa);
    freeaddrinfo(ai);
    M.http = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD, ntohs(sa.sin_port), nullptr, nullptr, &serve, nullptr,
                              MHD_OPTION_SOCK_ADDR, (struct sockaddr *)&sa, MHD_OPTION_CONNECTION_TIMEOUT, 10u,
                              MHD_OPTION_END);
    if (!M.http) {
        snprintf(error, (size_t)cap, "--listen %s: cannot listen there (address in use, or not this machine's)", listen);
        return -1;
    }
    return 0;
}

}  // namespace

int export_start(const Plant *plant, const AlarmState *alarms, const char *listen, const char *mqtt, char *error, int cap)
{
    M.plant = plant;
    M.alarms = alarms;
    memset(M.link, 0, sizeof M.link);
    memset(M.readings, 0, sizeof M.readings);
    M.built_ms = 0;
    {
        std::lock_guard<std::mutex> g(M.lock);
        M.page.clear();
    }
    if (listen[0] && start_http(listen, error, cap) != 0) return -1;
    if (mqtt[0] && mqtt_start(mqtt, error, cap) != 0) {
        export_stop();
        return -1;
    }
    return 0;
}

void export_stop(void)
{
    if (M.http) MHD_stop_daemon(M.http);
    M.http = nullptr;
    mqtt_stop();
}

void export_close_in_worker(void)
{
    if (M.http) {
        const union MHD_DaemonInfo *info = MHD_get_daemon_info(M.http, MHD_DAEMON_INFO_LISTEN_FD);
        if (info) close(info->listen_fd);
    }
    mqtt_close_in_worker();
}

void export_link(int link, const WireLink *state)
{
    M.link[link] = *state;
    mqtt_publish_link(M.plant->link[link].name, state);
}

void export_readout(int link, const StoreReadout *r)
{
    M.readings[link] += r->count;
    mqtt_publish_readout(M.plant->link[link].name, r);
}

void export_alarm(const StoreAlarm *a)
{
    mqtt_publish_alarm(a);
}

const char *export_tick(int64_t now)
{
    // Staleness moves with the clock, so the page is rebuilt each second even when idle.
    if (M.http && now - M.built_ms >= EXPORT_PAGE_EVERY_MS) {
        M.built_ms = now;
        build(now);
    }
    return mqtt_news();
}

const char *export_metrics_text(void)
{
    return M.page.c_str();
}
