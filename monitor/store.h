// The collector's database: every readout, its readings and the alarms, in one SQLite file
// (WAL, one transaction per readout, so a collector killed at any moment loses at most the
// readout it was writing). One database per process; the schema is in monitor/README.md.
#ifndef VOK_MONITOR_STORE_H
#define VOK_MONITOR_STORE_H

#include <stdint.h>

enum {
    STORE_OK = 0,
    STORE_READ_ONLY = 1,  // the file or its directory cannot be written
    STORE_FULL = 2,       // the disk (or the database's size limit) is full
    STORE_FAILED = 3,     // cannot open, not a database, I/O error, schema too new
    STORE_ERROR_MAX = 512,
    STORE_TEXT_MAX = 64,
    STORE_ID_MAX = 17,
};

// Readout results as stored (readout.result).
enum { READOUT_OK = 0, READOUT_NO_REPLY = 1, READOUT_BAD_REPLY = 2 };

typedef struct StoreReading {
    int position;                 // the unit's place in the reply, from 0
    char unit_id[STORE_ID_MAX];   // 16 hex digits, "" when the ID is not known
    uint8_t raw[4];               // the unit's record as received
    int has_value;
    double value;                 // degrees Celsius (or %RH), when has_value
    char text[STORE_TEXT_MAX];    // the reading as the data display shows it
} StoreReading;

typedef struct StoreReadout {
    int64_t time_ms;              // Unix time of the request, ms
    const char *link;
    int module;
    int channel;                  // 0..7, 8: all channels
    int result;                   // READOUT_*
    int count;
    const StoreReading *reading;
} StoreReadout;

typedef struct StoreAlarm {
    int64_t time_ms;
    const char *link;
    int module, channel, position;  // -1 where the alarm is not about one
    const char *unit_id;            // "" or nullptr when none
    const char *kind;               // "high", "low", "silent", "link_down"
    int raised;                     // 1 raised, 0 cleared
    int has_value;
    double value, threshold;
    const char *text;
} StoreAlarm;

// Opens or creates the database at `path` and its schema. STORE_* after a one-line reason
// in `error`.
int store_open(const char *path, char *error, int error_cap);
void store_close(void);

// Writes one readout and its readings in one transaction. STORE_* (nothing kept on failure).
int store_write_readout(const StoreReadout *r, char *error, int error_cap);

// Writes one alarm change.
int store_write_alarm(const StoreAlarm *a, char *error, int error_cap);

// Removes readouts, readings and alarms older than `before_ms`. Rows removed, or -STORE_*.
int store_prune(int64_t before_ms, char *error, int error_cap);

// The open connection, for tests that set limits on it (page count, query-only).
struct sqlite3 *store_handle(void);

// Classifies an SQLite result code (extended codes too) as STORE_*.
int store_result_kind(int sqlite_code);

#endif
