// SQLite storage of the collector: schema, one transaction per readout, retention, and the
// write faults (read-only, disk full) told apart so the collector can stop with a clear line.
#include "monitor/store.h"

#include <stdio.h>
#include <string.h>

#include <sqlite3.h>

namespace {

enum { SCHEMA_VERSION = 1, BUSY_WAIT_MS = 5000 };

const char Schema[] =
    "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS readout("
    "  id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL, link TEXT NOT NULL,"
    "  module INTEGER NOT NULL, channel INTEGER NOT NULL, result INTEGER NOT NULL, units INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS readout_time ON readout(time_ms);"
    "CREATE TABLE IF NOT EXISTS reading("
    "  readout INTEGER NOT NULL REFERENCES readout(id), time_ms INTEGER NOT NULL, link TEXT NOT NULL,"
    "  module INTEGER NOT NULL, channel INTEGER NOT NULL, position INTEGER NOT NULL, unit_id TEXT,"
    "  raw BLOB NOT NULL, value REAL, text TEXT NOT NULL, PRIMARY KEY(readout, position));"
    "CREATE INDEX IF NOT EXISTS reading_time ON reading(time_ms);"
    "CREATE INDEX IF NOT EXISTS reading_unit ON reading(unit_id, time_ms);"
    "CREATE INDEX IF NOT EXISTS reading_module ON reading(module, time_ms);"
    "CREATE TABLE IF NOT EXISTS alarm("
    "  id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL, link TEXT NOT NULL, module INTEGER,"
    "  channel INTEGER, position INTEGER, unit_id TEXT, kind TEXT NOT NULL,"
    "  state TEXT NOT NULL CHECK(state IN ('raised', 'cleared')), value REAL, threshold REAL,"
    "  text TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS alarm_time ON alarm(time_ms);";

struct Store {
    sqlite3 *db;
    char path[512];
    sqlite3_stmt *readout, *reading, *alarm;
};
Store S;

// Fills `error` with what happened to the database and what to do about it.
int fault(int code, const char *doing, char *error, int cap)
{
    const int kind = store_result_kind(code);
    const char *why = S.db ? sqlite3_errmsg(S.db) : sqlite3_errstr(code);
    if (kind == STORE_READ_ONLY)
        snprintf(error, (size_t)cap, "the database %s is read-only (%s while %s): check the file, its directory and their permissions",
                 S.path, why, doing);
    else if (kind == STORE_FULL)
        snprintf(error, (size_t)cap, "the disk holding %s is full (%s while %s): free space, then start again", S.path, why, doing);
    else
        snprintf(error, (size_t)cap, "the database %s failed (%s while %s)", S.path, why, doing);
    return kind;
}

int exec(const char *sql, const char *doing, char *error, int cap)
{
    const int rc = sqlite3_exec(S.db, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? STORE_OK : fault(rc, doing, error, cap);
}

int prepare(const char *sql, sqlite3_stmt **out, char *error, int cap)
{
    const int rc = sqlite3_prepare_v3(S.db, sql, -1, SQLITE_PREPARE_PERSISTENT, out, nullptr);
    return rc == SQLITE_OK ? STORE_OK : fault(rc, "preparing its statements", error, cap);
}

void bind_text_or_null(sqlite3_stmt *st, int i, const char *text)
{
    if (text && *text) sqlite3_bind_text(st, i, text, -1, SQLITE_TRANSIENT);
    else sqlite3_bind_null(st, i);
}

void bind_int_or_null(sqlite3_stmt *st, int i, int v)
{
    if (v >= 0) sqlite3_bind_int(st, i, v);
    else sqlite3_bind_null(st, i);
}

// Runs a prepared insert once; SQLITE_DONE or the error code.
int step(sqlite3_stmt *st)
{
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return rc;
}

int check_version(char *error, int cap)
{
    sqlite3_stmt *st = nullptr;
    int version = 0;
    if (sqlite3_prepare_v2(S.db, "SELECT value FROM meta WHERE key = 'schema_version'", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    if (version > SCHEMA_VERSION) {
        snprintf(error, (size_t)cap, "the database %s has schema version %d, this vokcli knows %d: use a newer vokcli",
                 S.path, version, SCHEMA_VERSION);
        return STORE_FAILED;
    }
    if (version == SCHEMA_VERSION) return STORE_OK;
    return exec("INSERT OR REPLACE INTO meta(key, value) VALUES('schema_version', '1')", "writing its schema", error, cap);
}

}  // namespace

int store_result_kind(int code)
{
    switch (code & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return STORE_OK;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return STORE_READ_ONLY;
    case SQLITE_FULL: return STORE_FULL;
    default: break;
    }
    // A write that failed for want of space shows as an I/O error on some file systems.
    if (code == SQLITE_IOERR_WRITE || code == SQLITE_IOERR_FSYNC || code == SQLITE_IOERR_SHMSIZE) return STORE_FULL;
    return STORE_FAILED;
}

struct sqlite3 *store_handle(void)
{
    return S.db;
}

int store_open(const char *path, char *error, int cap)
{
    store_close();
    snprintf(S.path, sizeof S.path, "%s", path);
    const int rc = sqlite3_open_v2(path, &S.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        const int kind = store_result_kind(rc);
        snprintf(error, (size_t)cap, "cannot open the database %s (%s): check the path and its permissions", path,
                 S.db ? sqlite3_errmsg(S.db) : sqlite3_errstr(rc));
        store_close();
        return kind == STORE_OK ? STORE_FAILED : kind;
    }
    // SQLite falls back to read-only without a word when the file is write-protected.
    if (sqlite3_db_readonly(S.db, "main") == 1) {
        const int kind = fault(SQLITE_READONLY, "opening it", error, cap);
        store_close();
        return kind;
    }
    sqlite3_busy_timeout(S.db, BUSY_WAIT_MS);
    sqlite3_extended_result_codes(S.db, 1);
    int r = exec("PRAGMA journal_mode=WAL", "switching to WAL", error, cap);
    // FULL: a commit is on disk when it returns, so a readout stored survives power loss too.
    if (r == STORE_OK) r = exec("PRAGMA synchronous=FULL", "setting its sync mode", error, cap);
    if (r == STORE_OK) r = exec("PRAGMA foreign_keys=ON", "setting its checks", error, cap);
    if (r == STORE_OK) r = exec(Schema, "writing its schema", error, cap);
    if (r == STORE_OK) r = check_version(error, cap);
    if (r == STORE_OK)
        r = prepare("INSERT INTO readout(time_ms, link, module, channel, result, units) VALUES(?,?,?,?,?,?)", &S.readout,
                    error, cap);
    if (r == STORE_OK)
        r = prepare("INSERT INTO reading(readout, time_ms, link, module, channel, position, unit_id, raw, value, text)"
                    " VALUES(?,?,?,?,?,?,?,?,?,?)",
                    &S.reading, error, cap);
    if (r == STORE_OK)
        r = prepare("INSERT INTO alarm(time_ms, link, module, channel, position, unit_id, kind, state, value, threshold, text)"
                    " VALUES(?,?,?,?,?,?,?,?,?,?,?)",
                    &S.alarm, error, cap);
    if (r != STORE_OK) store_close();
    return r;
}

void store_close(void)
{
    sqlite3_finalize(S.readout);
    sqlite3_finalize(S.reading);
    sqlite3_finalize(S.alarm);
    S.readout = S.reading = S.alarm = nullptr;
    if (S.db) sqlite3_close_v2(S.db);
    S.db = nullptr;
}

int store_write_readout(const StoreReadout *r, char *error, int cap)
{
    int rc = sqlite3_exec(S.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return fault(rc, "starting a readout", error, cap);
    sqlite3_bind_int64(S.readout, 1, r->time_ms);
    sqlite3_bind_text(S.readout, 2, r->link, -1, SQLITE_STATIC);
    sqlite3_bind_int(S.readout, 3, r->module);
    sqlite3_bind_int(S.readout, 4, r->channel);
    sqlite3_bind_int(S.readout, 5, r->result);
    sqlite3_bind_int(S.readout, 6, r->count);
    rc = step(S.readout);
    const sqlite3_int64 id = sqlite3_last_insert_rowid(S.db);
    for (int i = 0; i < r->count && rc == SQLITE_DONE; ++i) {
        const StoreReading &u = r->reading[i];
        sqlite3_bind_int64(S.reading, 1, id);
        sqlite3_bind_int64(S.reading, 2, r->time_ms);
        sqlite3_bind_text(S.reading, 3, r->link, -1, SQLITE_STATIC);
        sqlite3_bind_int(S.reading, 4, r->module);
        sqlite3_bind_int(S.reading, 5, r->channel);
        sqlite3_bind_int(S.reading, 6, u.position);
        bind_text_or_null(S.reading, 7, u.unit_id);
        sqlite3_bind_blob(S.reading, 8, u.raw, sizeof u.raw, SQLITE_STATIC);
        if (u.has_value) sqlite3_bind_double(S.reading, 9, u.value);
        else sqlite3_bind_null(S.reading, 9);
        sqlite3_bind_text(S.reading, 10, u.text, -1, SQLITE_STATIC);
        rc = step(S.reading);
    }
    if (rc == SQLITE_DONE) rc = sqlite3_exec(S.db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return STORE_OK;
    const int kind = fault(rc, "writing a readout", error, cap);
    sqlite3_exec(S.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return kind;
}

int store_write_alarm(const StoreAlarm *a, char *error, int cap)
{
    sqlite3_bind_int64(S.alarm, 1, a->time_ms);
    sqlite3_bind_text(S.alarm, 2, a->link, -1, SQLITE_STATIC);
    bind_int_or_null(S.alarm, 3, a->module);
    bind_int_or_null(S.alarm, 4, a->channel);
    bind_int_or_null(S.alarm, 5, a->position);
    bind_text_or_null(S.alarm, 6, a->unit_id);
    sqlite3_bind_text(S.alarm, 7, a->kind, -1, SQLITE_STATIC);
    sqlite3_bind_text(S.alarm, 8, a->raised ? "raised" : "cleared", -1, SQLITE_STATIC);
    if (a->has_value) {
        sqlite3_bind_double(S.alarm, 9, a->value);
        sqlite3_bind_double(S.alarm, 10, a->threshold);
    }
    sqlite3_bind_text(S.alarm, 11, a->text ? a->text : "", -1, SQLITE_STATIC);
    const int rc = step(S.alarm);
    return rc == SQLITE_DONE ? STORE_OK : fault(rc, "writing an alarm", error, cap);
}

int store_prune(int64_t before_ms, char *error, int cap)
{
    static const char *const Deletes[] = {"DELETE FROM reading WHERE time_ms < ?", "DELETE FROM readout WHERE time_ms < ?",
                                          "DELETE FROM alarm WHERE time_ms < ?"};
    int rc = sqlite3_exec(S.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    int removed = 0;
    for (const char *sql : Deletes) {
        if (rc != SQLITE_OK) break;
        sqlite3_stmt *st = nullptr;
        rc = sqlite3_prepare_v2(S.db, sql, -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_bind_int64(st, 1, before_ms);
            rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) {
                removed += sqlite3_changes(S.db);
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(st);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(S.db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return removed;
    const int kind = fault(rc, "removing old readings", error, cap);
    sqlite3_exec(S.db, "ROLLBACK", nullptr, nullptr, nullptr);
    return -kind;
}
