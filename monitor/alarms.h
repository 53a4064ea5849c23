// Alarm evaluation of the collector: limit rules on every reading, silence of units and
// modules and link-down by the clock. Each raise and clear goes to the database as a row;
// the current states are there for the exporters.
#ifndef VOK_MONITOR_ALARMS_H
#define VOK_MONITOR_ALARMS_H

#include <stdint.h>

#include "monitor/plant.h"
#include "monitor/store.h"

enum {
    SERIES_MAX = 8192,   // units (and modules) one collector follows
    SERIES_INDEX = 2 * SERIES_MAX,  // hash slots over the series
    STALE_PERIODS = 2,   // a series without a reading for this many periods is stale
};

// What the collector knows of one unit (position >= 0) or one module (channel = position = -1).
typedef struct Series {
    int used;
    int link, module, channel, position;
    char unit_id[STORE_ID_MAX];
    int has_value;
    double value;
    char text[STORE_TEXT_MAX];
    int64_t last_ms;          // last reading (unit) or answered readout (module)
    int silent;               // a silent rule is raised for it
    uint8_t high[PLANT_ALARMS_MAX / 8], low[PLANT_ALARMS_MAX / 8];  // limit rules raised
} Series;

typedef struct AlarmState {
    const Plant *plant;
    int64_t start_ms;
    int64_t link_ok_ms[PLANT_LINKS_MAX];   // last answered readout per link
    int link_down[PLANT_LINKS_MAX];        // a link-down rule is raised for the link
    int raised;                            // alarms standing now
    int series_count;
    Series series[SERIES_MAX];
    int index[SERIES_INDEX];               // series + 1 by key hash, 0 free
} AlarmState;

// Writes an alarm change; the collector's store or a test's recorder. STORE_*.
typedef int (*AlarmSink)(const StoreAlarm *a, void *ctx);

void alarms_begin(AlarmState *s, const Plant *plant, int64_t now_ms);

// A readout of link `link`: updates the series and applies the limit rules; clears silence.
// Returns the sink's first failure, or STORE_OK.
int alarms_on_readout(AlarmState *s, int link, const StoreReadout *r, AlarmSink sink, void *ctx);

// Silence and link-down by the clock. STORE_OK or the sink's first failure.
int alarms_tick(AlarmState *s, int64_t now_ms, AlarmSink sink, void *ctx);

// 1 when the series has had no reading for STALE_PERIODS of its link's period.
int series_stale(const AlarmState *s, const Series *x, int64_t now_ms);

#endif
