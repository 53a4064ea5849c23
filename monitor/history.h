// `vokcli history`: readings (or alarms) of the collector's database by unit ID, link, module
// and time range, as a table or CSV. Times are UTC throughout.
#ifndef VOK_MONITOR_HISTORY_H
#define VOK_MONITOR_HISTORY_H

#include <stdint.h>
#include <stdio.h>

enum { HISTORY_ERROR_MAX = 512 };

// Results: 0 done; HISTORY_USAGE bad arguments; HISTORY_FILE the database cannot be read.
enum { HISTORY_OK = 0, HISTORY_USAGE = 2, HISTORY_FILE = 5 };

typedef struct HistoryQuery {
    const char *db;
    const char *unit_id;   // 16 hex digits, or nullptr for every unit
    const char *link;      // link name, or nullptr
    int module;            // -1: every module
    int64_t from_ms;       // inclusive, Unix ms; INT64_MIN when open
    int64_t to_ms;         // exclusive; INT64_MAX when open
    int csv;
    int alarms;            // list the alarm rows instead of readings
    int help;
} HistoryQuery;

// Parses the arguments after "history". HISTORY_OK, or HISTORY_USAGE with one line in `error`.
// `now_ms` anchors relative times ("-2h").
int history_parse(int argc, char **argv, int64_t now_ms, HistoryQuery *q, char *error, int error_cap);

// "2026-12-07", "2026-12-07T10:00[:00][Z]" (UTC), "now" or "-90s", "-30m", "-2h", "-7d" before
// `now_ms`. 0 with *out set, -1 when the text is none of these.
int history_time(const char *text, int64_t now_ms, int64_t *out);

// Unix ms as "2026-12-07T10:00:00.000Z".
void history_format_time(int64_t ms, char *out, int cap);

// Runs the query, writing the rows to `out`. HISTORY_OK or HISTORY_FILE with `error` filled.
int history_run(const HistoryQuery *q, FILE *out, char *error, int error_cap);

// The help page.
const char *history_usage(void);

#endif
