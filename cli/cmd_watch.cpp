// vokcli watch: a channel's readings at a fixed period, appended to a CSV file one row per
// unit and readout. Every row is flushed as it is written; a file cut mid-row is mended and
// continued on the next run; Ctrl-C ends the watch with a summary.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <filesystem>
#include <system_error>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/module_load.h"
#include "cli/output.h"
#include "cli/unit_rows.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace {

const char Header[] = "time,elapsed_s,module,channel,unit,id,reading,value";
enum { SLICE_MS = 100, HEADER_READ_MAX = 256 };

UnitRows Rows;

struct Stats {
    int seen;
    float min, max, last;
};
Stats UnitStats[UNITS_PER_CHANNEL];

// Opens the CSV for appending: a new or empty file gets the header; an existing one must
// have it, and loses a last row cut short by an interruption. nullptr after an error line.
FILE *open_csv(const char *path, FILE *err)
{
    std::error_code ec;
    const std::filesystem::path p(path);
    const uintmax_t size = std::filesystem::exists(p, ec) ? std::filesystem::file_size(p, ec) : 0;
    if (size > 0) {
        FILE *f = fopen(path, "rb");
        if (!f) {
            fprintf(err, "vokcli: cannot read %s: check its permissions\n", path);
            return nullptr;
        }
        char first[HEADER_READ_MAX] = "";
        const int got_line = fgets(first, sizeof first, f) != nullptr;
        long last_newline = -1;
        // The end of the last complete row.
        fseek(f, 0, SEEK_END);
        const long end = ftell(f);
        for (long at = end - 1; at >= 0 && last_newline < 0; --at) {
            fseek(f, at, SEEK_SET);
            if (fgetc(f) == '\n') last_newline = at;
        }
        fclose(f);
        first[strcspn(first, "\r\n")] = 0;
        if (!got_line || strcmp(first, Header) != 0) {
            fprintf(err, "vokcli: %s is no watch file of vokcli (its first line is not \"%s\"): give a new file\n", path, Header);
            return nullptr;
        }
        if (last_newline + 1 < end) std::filesystem::resize_file(p, (uintmax_t)(last_newline + 1), ec);
    }
    FILE *f = fopen(path, "ab");
    if (!f) {
        fprintf(err, "vokcli: cannot write %s: check the directory and its permissions\n", path);
        return nullptr;
    }
    if (size == 0) {
        fprintf(f, "%s\n", Header);
        fflush(f);
    }
    return f;
}

// Waits until `deadline` (clock ms) in short slices; 1 when Ctrl-C came first.
int wait_until(uint32_t deadline)
{
    for (;;) {
        if (console_interrupted()) return 1;
        const int32_t left = (int32_t)(deadline - now_ms());
        if (left <= 0) return 0;
        sleep_ms(left < SLICE_MS ? left : SLICE_MS);
    }
}

void local_time(char *out, int cap)
{
    const time_t now = time(nullptr);
    const struct tm *tm = localtime(&now);
    if (!tm || !strftime(out, (size_t)cap, "%Y-%m-%dT%H:%M:%S", tm)) snprintf(out, (size_t)cap, "-");
}

}  // namespace

int cmd_watch(const CliOptions *o, FILE *out, FILE *err)
{
    FILE *csv = open_csv(o->out, err);
    if (!csv) return EXIT_FILE;
    int rc = cli_open_module(o, err);
    Module &m = module_table.module[0];
    int channels[CHANNEL_COUNT + 1];
    if (rc == EXIT_OK && unit_channels(&m, o->channel, channels, CHANNEL_COUNT + 1) != 1) rc = EXIT_NO_REPLY;
    Rows.count = 0;
    if (rc == EXIT_OK) rc = read_channel_ids_rows(&m, channels[0], &Rows, err);
    if (rc != EXIT_OK) {
        fclose(csv);
        cli_close_link();
        return rc;
    }
    console_catch_interrupt();
    memset(UnitStats, 0, sizeof UnitStats);
    const uint32_t start = now_ms();
    const uint32_t period = (uint32_t)lround(o->period_s * 1000.0);
    int readouts = 0, failed = 0, rows = 0, write_failed = 0;
    for (int k = 0; o->count == 0 || k < o->count; ++k) {
        if (wait_until(start + (uint32_t)k * period)) break;
        const double elapsed = (double)(now_ms() - start) / 1000.0;
        char stamp[32];
        local_time(stamp, sizeof stamp);
        if (read_channel_value_rows(&m, channels[0], &Rows, err) != EXIT_OK) {
            failed++;
            continue;
        }
        readouts++;
        if (!o->quiet) fprintf(out, "%s", stamp);
        for (int i = 0; i < Rows.count; ++i) {
            const UnitRow &r = Rows.row[i];
            char value[24] = "";
            if (r.has_value) snprintf(value, sizeof value, "%.4f", (double)r.value);
            fprintf(csv, "%s,%.3f,%02X,%d,%d,%s,", stamp, elapsed, m.address, r.channel, r.unit, r.id);
            csv_field(csv, r.reading);
            fprintf(csv, ",%s\n", value);
            if (fflush(csv) != 0 || ferror(csv)) write_failed = 1;
            rows++;
            if (!o->quiet) fprintf(out, "  %02d:%s", r.unit, r.reading);
            if (r.has_value && r.unit < UNITS_PER_CHANNEL) {
                Stats &s = UnitStats[r.unit];
                if (!s.seen || r.value < s.min) s.min = r.value;
                if (!s.seen || r.value > s.max) s.max = r.value;
                s.last = r.value;
                s.seen++;
            }
        }
        if (!o->quiet) {
            fputc('\n', out);
            fflush(out);
        }
        if (write_failed) break;
    }
    fclose(csv);
    cli_close_link();
    fprintf(err, "watch %s: %d readout%s (%d failed), %d rows appended to %s\n",
            console_interrupted() ? "stopped by Ctrl-C" : "done", readouts, readouts == 1 ? "" : "s", failed, rows, o->out);
    for (int i = 0; i < Rows.count; ++i) {
        const UnitRow &r = Rows.row[i];
        if (r.unit < UNITS_PER_CHANNEL && UnitStats[r.unit].seen)
            fprintf(err, "  CH%d unit %02d %s: min %.3f  max %.3f  last %.3f\n", r.channel, r.unit, r.has_id ? r.id : "-",
                    (double)UnitStats[r.unit].min, (double)UnitStats[r.unit].max, (double)UnitStats[r.unit].last);
    }
    if (write_failed) {
        fprintf(err, "vokcli: writing %s failed: check the disk\n", o->out);
        return EXIT_FILE;
    }
    return readouts > 0 ? EXIT_OK : EXIT_NO_REPLY;
}
