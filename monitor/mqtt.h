// MQTT side of the exporters (see export.h): connection with back-off, QoS 1 publishing with
// a bounded number of messages in hand, and what was dropped counted.
#ifndef VOK_MONITOR_MQTT_H
#define VOK_MONITOR_MQTT_H

#include "monitor/store.h"
#include "monitor/wire.h"

// Connects in the background to host:port. 0, or -1 with `error` filled.
int mqtt_start(const char *host_port, char *error, int error_cap);
void mqtt_stop(void);
int mqtt_running(void);
// In a forked worker: closes the inherited broker connection's socket (nothing else).
void mqtt_close_in_worker(void);

void mqtt_publish_readout(const char *link, const StoreReadout *r);
void mqtt_publish_alarm(const StoreAlarm *a);
void mqtt_publish_link(const char *link, const WireLink *state);

// A line for the log when something changed (connection, drops); "" otherwise.
const char *mqtt_news(void);

#endif
