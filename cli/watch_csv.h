// The CSV log of vokcli watch: opening (checked up front, resumed when it is one of ours),
// the time stamp of a row, and the row of a readout that failed.
#ifndef VOK_CLI_WATCH_CSV_H
#define VOK_CLI_WATCH_CSV_H

#include <stdio.h>

enum { WATCH_STAMP_MAX = 40 };

// The first line of every watch file (after an optional UTF-8 byte order mark).
extern const char WatchHeader[];

// Opens `path` for appending rows. A new or empty file gets the header (after a byte order
// mark when `excel`); an existing one must start with the header and loses a last row cut
// short by an interruption. A directory, an unreadable file, a file of another kind or a
// failed header write gives one error line on `err` and nullptr.
FILE *watch_csv_open(const char *path, int excel, FILE *err);

// The local time now in ISO 8601 with milliseconds and the UTC offset:
// "2026-12-07T23:59:01.250+01:00".
void watch_stamp(char *out, int cap);

// The row of a readout that gave no readings: the unit fields empty, `status` in the last one.
void watch_csv_gap(FILE *csv, const char *stamp, double elapsed_s, int address, int channel, const char *status);

#endif
