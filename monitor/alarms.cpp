// Alarm rules over the readings: each (rule, series) pair is raised once and cleared once,
// so the database holds changes, not a row per reading.
#include "monitor/alarms.h"

#include <stdio.h>
#include <string.h>

#include <initializer_list>

namespace {

int bit(const uint8_t *set, int n)
{
    return (set[n / 8] >> (n % 8)) & 1;
}

void set_bit(uint8_t *set, int n, int on)
{
    if (on) set[n / 8] |= (uint8_t)(1u << (n % 8));
    else set[n / 8] &= (uint8_t)~(1u << (n % 8));
}

uint32_t key_hash(int link, int module, int channel, int position)
{
    uint32_t h = 2166136261u;
    for (int v : {link, module, channel, position}) h = (h ^ (uint32_t)v) * 16777619u;
    return h;
}

// The series of a unit or module, made on first sight; nullptr when the table is full.
Series *find(AlarmState *s, int link, int module, int channel, int position)
{
    uint32_t slot = key_hash(link, module, channel, position) % SERIES_INDEX;
    for (;; slot = (slot + 1) % SERIES_INDEX) {
        const int i = s->index[slot] - 1;
        if (i < 0) break;
        Series &x = s->series[i];
        if (x.link == link && x.module == module && x.channel == channel && x.position == position) return &x;
    }
    if (s->series_count >= SERIES_MAX) return nullptr;
    s->index[slot] = s->series_count + 1;
    Series &x = s->series[s->series_count++];
    memset(&x, 0, sizeof x);
    x.used = 1;
    x.link = link;
    x.module = module;
    x.channel = channel;
    x.position = position;
    x.last_ms = s->start_ms;  // silence counts from the start, not from 1970
    return &x;
}

// "Silent for n periods": n rounds have passed without a reading, with half a period for
// the rounds' own jitter.
int overdue(int64_t now, int64_t last, int n, int period_ms)
{
    return now - last > (int64_t)n * period_ms + period_ms / 2;
}

// Whether rule `a` watches series `x`.
int matches(const PlantAlarm &a, const Series &x)
{
    if (a.link >= 0 && a.link != x.link) return 0;
    if (a.unit_id[0]) return strcmp(a.unit_id, x.unit_id) == 0;
    if (a.module >= 0 && a.module != x.module) return 0;
    if (a.channel >= 0 && a.channel != x.channel) return 0;
    return 1;
}

int emit(AlarmState *s, const Series *x, int link, const char *kind, int raised, int has_value, double value,
         double threshold, const char *text, AlarmSink sink, void *ctx, int64_t t)
{
    s->raised += raised ? 1 : -1;
    StoreAlarm a{t, s->plant->link[link].name, x ? x->module : -1, x ? x->channel : -1, x ? x->position : -1,
                 x ? x->unit_id : nullptr, kind, raised, has_value, value, threshold, text};
    return sink(&a, ctx);
}

int limits(AlarmState *s, Series *x, int64_t t, AlarmSink sink, void *ctx)
{
    int rc = STORE_OK;
    for (int k = 0; k < s->plant->alarm_count && rc == STORE_OK; ++k) {
        const PlantAlarm &a = s->plant->alarm[k];
        if (a.kind != ALARM_LIMIT || !matches(a, *x)) continue;
        char text[96];
        const int high = x->has_value && a.has_high && x->value > a.high;
        const int low = x->has_value && a.has_low && x->value < a.low;
        if (high != bit(x->high, k)) {
            snprintf(text, sizeof text, high ? "%.2f above %.2f" : "%.2f back at or below %.2f", x->value, a.high);
            set_bit(x->high, k, high);
            rc = emit(s, x, x->link, "high", high, 1, x->value, a.high, text, sink, ctx, t);
        }
        if (rc == STORE_OK && low != bit(x->low, k)) {
            snprintf(text, sizeof text, low ? "%.2f below %.2f" : "%.2f back at or above %.2f", x->value, a.low);
            set_bit(x->low, k, low);
            rc = emit(s, x, x->link, "low", low, 1, x->value, a.low, text, sink, ctx, t);
        }
    }
    return rc;
}

// The smallest silent_periods of the rules that watch `x`; 0 when none does.
int silent_periods(const AlarmState *s, const Series &x)
{
    int n = 0;
    for (int k = 0; k < s->plant->alarm_count; ++k) {
        const PlantAlarm &a = s->plant->alarm[k];
        if (a.kind == ALARM_SILENT && matches(a, x) && (n == 0 || a.periods < n)) n = a.periods;
    }
    return n;
}

int link_down_periods(const AlarmState *s, int link)
{
    int n = 0;
    for (int k = 0; k < s->plant->alarm_count; ++k) {
        const PlantAlarm &a = s->plant->alarm[k];
        if (a.kind == ALARM_LINK_DOWN && (a.link < 0 || a.link == link) && (n == 0 || a.periods < n)) n = a.periods;
    }
    return n;
}

int back(AlarmState *s, Series *x, int64_t t, AlarmSink sink, void *ctx)
{
    if (!x->silent) return STORE_OK;
    x->silent = 0;
    return emit(s, x, x->link, "silent", 0, 0, 0, 0, "reading again", sink, ctx, t);
}

}  // namespace

void alarms_begin(AlarmState *s, const Plant *plant, int64_t now_ms)
{
    memset(s, 0, sizeof *s);
    s->plant = plant;
    s->start_ms = now_ms;
    for (int l = 0; l < PLANT_LINKS_MAX; ++l) s->link_ok_ms[l] = now_ms;
    // Listed modules are followed from the start, so one that never answers falls silent too.
    for (int l = 0; l < plant->link_count; ++l)
        for (int m = 0; m < plant->link[l].module_count; ++m) find(s, l, plant->link[l].module[m].address, -1, -1);
}

int alarms_on_readout(AlarmState *s, int link, const StoreReadout *r, AlarmSink sink, void *ctx)
{
    if (r->result != READOUT_OK) return STORE_OK;
    int rc = STORE_OK;
    s->link_ok_ms[link] = r->time_ms;
    if (s->link_down[link]) {
        s->link_down[link] = 0;
        rc = emit(s, nullptr, link, "link_down", 0, 0, 0, 0, "the link answers again", sink, ctx, r->time_ms);
    }
    Series *m = find(s, link, r->module, -1, -1);
    if (m) {
        m->last_ms = r->time_ms;
        if (rc == STORE_OK) rc = back(s, m, r->time_ms, sink, ctx);
    }
    for (int i = 0; i < r->count && rc == STORE_OK; ++i) {
        const StoreReading &u = r->reading[i];
        Series *x = find(s, link, r->module, r->channel, u.position);
        if (!x) break;
        snprintf(x->unit_id, sizeof x->unit_id, "%s", u.unit_id);
        x->has_value = u.has_value;
        x->value = u.value;
        snprintf(x->text, sizeof x->text, "%s", u.text);
        x->last_ms = r->time_ms;
        rc = back(s, x, r->time_ms, sink, ctx);
        if (rc == STORE_OK) rc = limits(s, x, r->time_ms, sink, ctx);
    }
    return rc;
}

int alarms_tick(AlarmState *s, int64_t now, AlarmSink sink, void *ctx)
{
    int rc = STORE_OK;
    for (int l = 0; l < s->plant->link_count && rc == STORE_OK; ++l) {
        const int n = link_down_periods(s, l);
        if (n && !s->link_down[l] && overdue(now, s->link_ok_ms[l], n, s->plant->link[l].period_ms)) {
            s->link_down[l] = 1;
            char text[64];
            snprintf(text, sizeof text, "no reply for %d period%s", n, n == 1 ? "" : "s");
            rc = emit(s, nullptr, l, "link_down", 1, 0, 0, 0, text, sink, ctx, now);
        }
    }
    for (int i = 0; i < s->series_count && rc == STORE_OK; ++i) {
        Series &x = s->series[i];
        const int n = silent_periods(s, x);
        if (n && !x.silent && overdue(now, x.last_ms, n, s->plant->link[x.link].period_ms)) {
            x.silent = 1;
            char text[64];
            snprintf(text, sizeof text, "no reading for %d period%s", n, n == 1 ? "" : "s");
            rc = emit(s, &x, x.link, "silent", 1, 0, 0, 0, text, sink, ctx, now);
        }
    }
    return rc;
}

int series_stale(const AlarmState *s, const Series *x, int64_t now)
{
    return now - x->last_ms > (int64_t)STALE_PERIODS * s->plant->link[x->link].period_ms;
}
