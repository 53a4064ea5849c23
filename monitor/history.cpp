// History queries over the collector's database: argument parsing, the SELECT and the two
// output formats.
#include "monitor/history.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <sqlite3.h>

namespace {

const char Usage[] =
    "usage: vokcli history --db FILE [--unit ID] [--link NAME] [--module ADDR] [--from TIME] [--to TIME]\n"
    "                      [--alarms] [--csv]\n"
    "\n"
    "Readings the collector (vokcli monitor) stored in FILE, oldest first.\n"
    "  --unit ID       one unit by its 16 hex digit ID\n"
    "  --link NAME     one link of the plant file\n"
    "  --module ADDR   one module address in hex (01, 7F)\n"
    "  --from TIME     from TIME on; --to TIME: before TIME. TIME is UTC: 2026-12-07,\n"
    "                  2026-12-07T10:00[:00][Z], now, or a span back from now: -90s, -30m, -2h, -7d\n"
    "  --alarms        the alarms raised and cleared instead of readings\n"
    "  --csv           CSV with a header line instead of a table\n";

// Table rows, the header printed through the same format so the columns line up.
const char ReadingRow[] = "%-24s  %-12s  %-6s  %-2s  %-3s  %-16s  %10s  %s\n";
const char AlarmRow[] = "%-24s  %-12s  %-6s  %-2s  %-3s  %-16s  %-9s  %-7s  %s\n";

int fail(char *error, int cap, const char *fmt, const char *a)
{
    snprintf(error, (size_t)cap, fmt, a);
    return HISTORY_USAGE;
}

int hex_address(const char *t)
{
    const char *p = t;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    size_t n = strlen(p);
    if (n > 0 && (p[n - 1] == 'H' || p[n - 1] == 'h')) n--;
    if (n == 0 || n > 2) return -1;
    int v = 0;
    for (size_t k = 0; k < n; ++k) {
        if (!isxdigit((unsigned char)p[k])) return -1;
        v = v * 16 + (isdigit((unsigned char)p[k]) ? p[k] - '0' : toupper((unsigned char)p[k]) - 'A' + 10);
    }
    return v;
}

void csv_text(FILE *out, const char *s)
{
    if (!strpbrk(s, ",\"\r\n")) {
        fputs(s, out);
        return;
    }
    fputc('"', out);
    for (; *s; ++s) {
        if (*s == '"') fputc('"', out);
        fputc(*s, out);
    }
    fputc('"', out);
}

const char *column_text(sqlite3_stmt *st, int i)
{
    const unsigned char *t = sqlite3_column_text(st, i);
    return t ? (const char *)t : "";
}

// A value column as text: "" for NULL, four decimals otherwise.
void value_text(sqlite3_stmt *st, int i, char *out, int cap)
{
    if (sqlite3_column_type(st, i) == SQLITE_NULL) out[0] = 0;
    else snprintf(out, (size_t)cap, "%.4f", sqlite3_column_double(st, i));
}

void module_text(sqlite3_stmt *st, int i, char *out, int cap)
{
    if (sqlite3_column_type(st, i) == SQLITE_NULL) snprintf(out, (size_t)cap, "-");
    else snprintf(out, (size_t)cap, "%02X", sqlite3_column_int(st, i));
}

void print_reading(FILE *out, sqlite3_stmt *st, int csv)
{
    char when[40], module[8], value[32], raw[9] = "";
    history_format_time(sqlite3_column_int64(st, 0), when, sizeof when);
    module_text(st, 2, module, sizeof module);
    value_text(st, 6, value, sizeof value);
    const uint8_t *b = (const uint8_t *)sqlite3_column_blob(st, 7);
    if (b && sqlite3_column_bytes(st, 7) == 4) snprintf(raw, sizeof raw, "%02X%02X%02X%02X", b[0], b[1], b[2], b[3]);
    const char *id = column_text(st, 5);
    if (csv) {
        fprintf(out, "%s,", when);
        csv_text(out, column_text(st, 1));
        fprintf(out, ",%s,%d,%d,%s,%s,%s,", module, sqlite3_column_int(st, 3), sqlite3_column_int(st, 4), id, raw, value);
        csv_text(out, column_text(st, 8));
        fputc('\n', out);
    } else {
        char ch[12], pos[12];
        snprintf(ch, sizeof ch, "%d", sqlite3_column_int(st, 3));
        snprintf(pos, sizeof pos, "%d", sqlite3_column_int(st, 4));
        fprintf(out, ReadingRow, when, column_text(st, 1), module, ch, pos, *id ? id : "-", value, column_text(st, 8));
    }
}

void print_alarm(FILE *out, sqlite3_stmt *st, int csv)
{
    char when[40], module[8], value[32], threshold[32];
    history_format_time(sqlite3_column_int64(st, 0), when, sizeof when);
    module_text(st, 2, module, sizeof module);
    value_text(st, 8, value, sizeof value);
    value_text(st, 9, threshold, sizeof threshold);
    const char *ch = column_text(st, 3), *pos = column_text(st, 4), *id = column_text(st, 5);
    if (csv) {
        fprintf(out, "%s,", when);
        csv_text(out, column_text(st, 1));
        fprintf(out, ",%s,%s,%s,%s,%s,%s,%s,%s,", module, ch, pos, id, column_text(st, 6), column_text(st, 7), value, threshold);
        csv_text(out, column_text(st, 10));
        fputc('\n', out);
    } else {
        fprintf(out, AlarmRow, when, column_text(st, 1), module, *ch ? ch : "-",
                *pos ? pos : "-", *id ? id : "-", column_text(st, 6), column_text(st, 7), column_text(st, 10));
    }
}

}  // namespace

const char *history_usage(void)
{
    return Usage;
}

void history_format_time(int64_t ms, char *out, int cap)
{
    const time_t s = (time_t)(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    struct tm tm;
    char day[32] = "?";
    if (gmtime_r(&s, &tm)) strftime(day, sizeof day, "%Y-%m-%dT%H:%M:%S", &tm);
    snprintf(out, (size_t)cap, "%s.%03dZ", day, (int)(ms - (int64_t)s * 1000));
}

int history_time(const char *text, int64_t now_ms, int64_t *out)
{
    if (strcmp(text, "now") == 0) {
        *out = now_ms;
        return 0;
    }
    if (text[0] == '-') {
        char *end = nullptr;
        const long n = strtol(text + 1, &end, 10);
        static const struct { char unit; int64_t ms; } Units[] = {{'s', 1000}, {'m', 60000}, {'h', 3600000}, {'d', 86400000}};
        if (end == text + 1 || n < 0 || end[0] == 0 || end[1] != 0) return -1;
        for (const auto &u : Units)
            if (*end == u.unit) {
                *out = now_ms - (int64_t)n * u.ms;
                return 0;
            }
        return -1;
    }
    struct tm tm;
    memset(&tm, 0, sizeof tm);
    const char *rest = strptime(text, "%Y-%m-%d", &tm);
    if (!rest) return -1;
    if (*rest == 'T' || *rest == ' ') {
        const char *t = strptime(rest + 1, "%H:%M:%S", &tm);
        if (!t) t = strptime(rest + 1, "%H:%M", &tm);
        if (!t) return -1;
        rest = t;
    }
    if (*rest == 'Z') rest++;
    if (*rest != 0) return -1;
    *out = (int64_t)timegm(&tm) * 1000;
    return 0;
}

int history_parse(int argc, char **argv, int64_t now_ms, HistoryQuery *q, char *error, int cap)
{
    memset(q, 0, sizeof *q);
    q->module = -1;
    q->from_ms = INT64_MIN;
    q->to_ms = INT64_MAX;
    for (int i = 0; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) q->help = 1;
        else if (strcmp(a, "--csv") == 0) q->csv = 1;
        else if (strcmp(a, "--alarms") == 0) q->alarms = 1;
        else if (!strcmp(a, "--db") || !strcmp(a, "--unit") || !strcmp(a, "--link") || !strcmp(a, "--module") ||
                 !strcmp(a, "--from") || !strcmp(a, "--to")) {
            if (i + 1 >= argc) return fail(error, cap, "option %s needs a value (vokcli history --help)", a);
            const char *v = argv[++i];
            if (a[2] == 'd') q->db = v;
            else if (a[2] == 'l') q->link = v;
            else if (a[2] == 'u') {
                if (strlen(v) != 16 || strspn(v, "0123456789ABCDEFabcdef") != 16)
                    return fail(error, cap, "--unit '%s': give the unit's ID as 16 hex digits", v);
                q->unit_id = v;
            } else if (a[2] == 'm') {
                if ((q->module = hex_address(v)) < 0)
                    return fail(error, cap, "--module '%s': give the module address in hex, e.g. 01 or 7F", v);
            } else if (history_time(v, now_ms, a[2] == 'f' ? &q->from_ms : &q->to_ms) != 0) {
                return fail(error, cap, "time '%s': give 2026-12-07, 2026-12-07T10:00:00 (UTC), now, or -30m, -2h, -7d", v);
            }
        } else {
            return fail(error, cap, "unknown argument '%s' (vokcli history --help)", a);
        }
    }
    if (q->help) return HISTORY_OK;
    if (!q->db) return fail(error, cap, "history needs the database: --db FILE (the plant file's \"database\")%s", "");
    if (q->from_ms >= q->to_ms) return fail(error, cap, "--from must lie before --to%s", "");
    return HISTORY_OK;
}

int history_run(const HistoryQuery *q, FILE *out, char *error, int cap)
{
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(q->db, &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK) {
        snprintf(error, (size_t)cap, "cannot open the database %s (%s): give the plant file's \"database\"", q->db,
                 db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return HISTORY_FILE;
    }
    sqlite3_busy_timeout(db, 5000);
    // The unit ID stored is upper case; a filter left out matches everything.
    const char *sql = q->alarms
        ? "SELECT time_ms, link, module, channel, position, unit_id, kind, state, value, threshold, text FROM alarm"
          " WHERE time_ms >= ?1 AND time_ms < ?2 AND (?3 IS NULL OR unit_id = upper(?3)) AND (?4 IS NULL OR link = ?4)"
          " AND (?5 < 0 OR module = ?5) ORDER BY time_ms, id"
        : "SELECT time_ms, link, module, channel, position, unit_id, value, raw, text FROM reading"
          " WHERE time_ms >= ?1 AND time_ms < ?2 AND (?3 IS NULL OR unit_id = upper(?3)) AND (?4 IS NULL OR link = ?4)"
          " AND (?5 < 0 OR module = ?5) ORDER BY time_ms, readout, position";
    sqlite3_stmt *st = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        snprintf(error, (size_t)cap, "%s is no database of vokcli monitor (%s)", q->db, sqlite3_errmsg(db));
        sqlite3_close(db);
        return HISTORY_FILE;
    }
    sqlite3_bind_int64(st, 1, q->from_ms);
    sqlite3_bind_int64(st, 2, q->to_ms);
    if (q->unit_id) sqlite3_bind_text(st, 3, q->unit_id, -1, SQLITE_STATIC);
    if (q->link) sqlite3_bind_text(st, 4, q->link, -1, SQLITE_STATIC);
    sqlite3_bind_int(st, 5, q->module);
    if (q->csv)
        fputs(q->alarms ? "time,link,module,channel,position,id,kind,state,value,threshold,text\n"
                        : "time,link,module,channel,position,id,raw,value,reading\n",
              out);
    else if (q->alarms)
        fprintf(out, AlarmRow, "time", "link", "module", "ch", "pos", "id", "kind", "state", "text");
    else
        fprintf(out, ReadingRow, "time", "link", "module", "ch", "pos", "id", "value", "reading");
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (q->alarms) print_alarm(out, st, q->csv);
        else print_reading(out, st, q->csv);
    }
    const int ok = rc == SQLITE_DONE;
    if (!ok) snprintf(error, (size_t)cap, "reading the database %s failed (%s)", q->db, sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok ? HISTORY_OK : HISTORY_FILE;
}
