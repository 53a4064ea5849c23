// The collector's exporters: Prometheus metrics over HTTP (a text page rebuilt from the
// collector's state, served by libmicrohttpd's own thread) and MQTT (every reading and alarm
// published at QoS 1 through libmosquitto, with a bounded number waiting for the broker).
#ifndef VOK_MONITOR_EXPORT_H
#define VOK_MONITOR_EXPORT_H

#include <stdint.h>

#include "monitor/alarms.h"
#include "monitor/plant.h"
#include "monitor/store.h"
#include "monitor/wire.h"

enum {
    EXPORT_PAGE_EVERY_MS = 1000,  // the metrics page is rebuilt at most this often
    MQTT_PENDING_MAX = 10000,     // messages waiting for the broker's acknowledgement
    MQTT_KEEPALIVE_S = 30,
    MQTT_RETRY_FIRST_S = 1,       // reconnect back-off, doubling up to the last
    MQTT_RETRY_MAX_S = 30,
};

// Starts what `listen` and `mqtt` ask for ("" : not that one). 0, or -1 with one line in
// `error`. The plant and alarm records stay the collector's; the exporters read them.
int export_start(const Plant *plant, const AlarmState *alarms, const char *listen, const char *mqtt, char *error,
                 int error_cap);
void export_stop(void);

// In a worker just forked: closes the inherited listening and broker sockets, so a collector
// started again finds its port free even while the old workers finish their last exchange.
void export_close_in_worker(void);

// Events of the collector's loop.
void export_link(int link, const WireLink *state);
void export_readout(int link, const StoreReadout *r);
void export_alarm(const StoreAlarm *a);
// Rebuilds the metrics page when due; returns a line for the log ("" when nothing new).
const char *export_tick(int64_t now_ms);

// The metrics page as it would be served now (tests, and the HTTP handler's source).
const char *export_metrics_text(void);

// MQTT: topic of a reading and the JSON payload the collector publishes (documented in
// monitor/README.md). Returns the payload length.
int mqtt_reading_message(const char *link, const StoreReadout *r, const StoreReading *u, char *topic, int topic_cap,
                         char *payload, int payload_cap);

// MQTT counters: published, acknowledged, dropped (buffer full).
void mqtt_counts(int64_t *published, int64_t *acked, int64_t *dropped);

#endif
