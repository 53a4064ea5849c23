// Traffic log file: a line per frame, written and flushed at once so that a log survives a
// crash or a pulled cable. Nothing here changes what goes on the wire.
#include "platform/trace.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "platform/clock.h"

namespace {

enum { LAST_REQUEST_MAX = 32, HEX_MAX = 4200 * 3 + 1 };

struct TraceState {
    FILE *file;
    int env_checked;
    int64_t start_us;
    uint8_t request[LAST_REQUEST_MAX];
    int request_len;
};
TraceState trace = {nullptr, 0, 0, {0}, 0};

void write_line(int direction, const uint8_t *bytes, int len, const char *meaning)
{
    static char hex[HEX_MAX];
    int h = 0;
    for (int k = 0; k < len && h + 4 < HEX_MAX; ++k) h += snprintf(hex + h, 4, k ? " %02X" : "%02X", bytes[k]);
    hex[h] = 0;
    const double t = (double)(now_us() - trace.start_us) / 1e6;
    fprintf(trace.file, "%10.3f %s %s | %s\n", t, direction == TRACE_TX ? "TX" : "RX", h ? hex : "--", meaning);
    fflush(trace.file);
}

}  // namespace

int trace_open(const char *path)
{
    trace_close();
    trace.env_checked = 1;  // an explicit log wins over the environment
    if (!path || !*path) return -1;
    trace.file = fopen(path, "a");
    if (!trace.file) return -1;
    trace.start_us = now_us();
    trace.request_len = 0;
    char stamp[32] = "";
    const time_t now = time(nullptr);
    const struct tm *tm = localtime(&now);
    if (tm) strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", tm);
    fprintf(trace.file, "# traffic log opened %s; time in seconds from here\n", stamp);
    fflush(trace.file);
    return 0;
}

void trace_close(void)
{
    if (trace.file) fclose(trace.file);
    trace.file = nullptr;
}

int trace_on(void)
{
    if (!trace.env_checked) {
        trace.env_checked = 1;
        const char *path = getenv(TRACE_ENV);
        if (path && *path) trace_open(path);
    }
    return trace.file != nullptr;
}

void trace_frame(int direction, const uint8_t *bytes, int len, int echo_len)
{
    if (!trace_on()) return;
    if (len < 0) len = 0;
    if (echo_len < 0) echo_len = 0;
    char meaning[TRACE_LINE_MAX];
    trace_describe(direction, bytes, len, echo_len, trace.request, trace.request_len, meaning, sizeof meaning);
    if (direction == TRACE_TX) {
        trace.request_len = len < LAST_REQUEST_MAX ? len : LAST_REQUEST_MAX;
        memcpy(trace.request, bytes, (size_t)trace.request_len);
    }
    write_line(direction, bytes, len, meaning);
}

void trace_no_reply(int code)
{
    if (!trace_on()) return;
    char meaning[TRACE_LINE_MAX];
    snprintf(meaning, sizeof meaning, "no reply (link result %d)", code);
    write_line(TRACE_RX, nullptr, 0, meaning);
}
