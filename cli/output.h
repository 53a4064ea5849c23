// Output helpers of vokcli: JSON strings, CSV fields, hex bytes, the module's mode word.
#ifndef VOK_CLI_OUTPUT_H
#define VOK_CLI_OUTPUT_H

#include <stdint.h>
#include <stdio.h>

// A JSON string literal of `s` (UTF-8 passes through; quotes, backslashes, controls escaped).
void json_string(FILE *f, const char *s);
// A CSV field: quoted (quotes doubled) when it holds a comma, a quote, a CR or a LF.
void csv_field(FILE *f, const char *s);
// "28 6A 1F 5B 03 00 00 C4" (sep ' ') or "286A1F5B030000C4" (sep 0) into out; returns out.
const char *hex_bytes(const uint8_t *p, int n, char sep, char *out, int cap);
// The frame as text: printable characters as they are, others as \r, \xNN.
const char *frame_text(const uint8_t *p, int n, char *out, int cap);
// Module text (name, firmware) fit for any output: printable ASCII kept, anything else '?'.
const char *clean_text(const char *s, char *out, int cap);
// "search", "storage", "normal" for the module mode 0, 1, 238.
const char *mode_text(int mode);

#endif
