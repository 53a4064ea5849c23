// vokcli watch: a channel's readings at a fixed period, appended to a CSV file one row per
// unit and readout. Every row is flushed as it is written; a file cut mid-row is mended and
// continued on the next run. A readout that fails leaves a row with its status, and the
// link is opened again (with growing pauses while that fails), so a watch left running
// outlives a closed connection or a device that went away; Ctrl-C ends it with a summary.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/module_load.h"
#include "cli/output.h"
#include "cli/unit_rows.h"
#include "cli/watch_csv.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/net.h"

namespace {

enum {
    SLICE_MS = 100,
    BACKOFF_FIRST_MS = 1000,   // pause before the second try to reopen the link
    BACKOFF_MAX_MS = 30000,    // the pause doubles up to this
};

UnitRows Rows;

struct Stats {
    int seen;
    float min, max, last;
};
Stats UnitStats[UNITS_PER_CHANNEL];

struct Watch {
    const CliOptions *o;
    FILE *out, *err, *csv;
    int channel;
    int link_up;
    uint32_t next_try;         // clock ms of the next try to reopen the link
    uint32_t backoff_ms;
    uint32_t last_good;        // clock ms of the last readout with readings (or the start)
    int readouts, failed, rows, reconnects, write_failed;
    int last_rc;               // exit code of the last failure
};

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

void note_write(Watch &w)
{
    if (fflush(w.csv) != 0 || ferror(w.csv)) w.write_failed = 1;
}

void gap(Watch &w, const char *stamp, double elapsed, const char *status)
{
    w.failed++;
    watch_csv_gap(w.csv, stamp, elapsed, w.o->address, w.channel, status);
    note_write(w);
    if (!w.o->quiet) {
        fprintf(w.out, "%s  -- %s\n", stamp, status);
        fflush(w.out);
    }
}

void keep_stats(const UnitRow &r)
{
    if (!r.has_value || r.unit >= UNITS_PER_CHANNEL) return;
    Stats &s = UnitStats[r.unit];
    if (!s.seen || r.value < s.min) s.min = r.value;
    if (!s.seen || r.value > s.max) s.max = r.value;
    s.last = r.value;
    s.seen++;
}

void write_readout(Watch &w, const Module &m, const char *stamp, double elapsed)
{
    w.readouts++;
    if (!w.o->quiet) fprintf(w.out, "%s", stamp);
    for (int i = 0; i < Rows.count; ++i) {
        const UnitRow &r = Rows.row[i];
        char value[24] = "";
        if (r.has_value) snprintf(value, sizeof value, "%.4f", (double)r.value);
        fprintf(w.csv, "%s,%.3f,%02X,%d,%d,%s,", stamp, elapsed, m.address, r.channel, r.unit, r.id);
        csv_field(w.csv, r.reading);
        fprintf(w.csv, ",%s,ok\n", value);
        note_write(w);
        w.rows++;
        if (!w.o->quiet) fprintf(w.out, "  %02d:%s", r.unit, r.reading);
        keep_stats(r);
    }
    if (!w.o->quiet) {
        fputc('\n', w.out);
        fflush(w.out);
    }
}

// Opens the link and reads the module again; on a failure the next try waits twice as long
// (counted from the slot's time, so the pauses stay on the grid).
void try_reopen(Watch &w, uint32_t due)
{
    cli_close_link();
    int rc = cli_open_module(w.o, w.err);
    // The readings are decoded by the unit types the ID read finds: read them anew too.
    if (rc == EXIT_OK) {
        Rows.count = 0;
        rc = read_channel_ids_rows(&module_table.module[0], w.channel, &Rows, w.err);
        if (rc != EXIT_OK) cli_close_link();
    }
    if (rc == EXIT_OK) {
        w.link_up = 1;
        w.reconnects++;
        w.backoff_ms = BACKOFF_FIRST_MS;
        fprintf(w.err, "vokcli: watch: %s open again, module 0x%02X answers\n", cli_link_text(), w.o->address & 0xFF);
        return;
    }
    w.last_rc = rc;
    w.next_try = due + w.backoff_ms;
    fprintf(w.err, "vokcli: watch: next try to open %s in %u s\n", cli_link_text(), (unsigned)(w.backoff_ms / 1000));
    w.backoff_ms = w.backoff_ms * 2 > (uint32_t)BACKOFF_MAX_MS ? (uint32_t)BACKOFF_MAX_MS : w.backoff_ms * 2;
}

// What became of the link after a failed readout, in words: a connection the converter
// closed, a serial device that is gone; "" when the link looks as it was.
const char *link_lost_reason(const CliOptions *o)
{
    if (link_settings.converter_type == CONVERTER_NET) {
        uint8_t b[64];
        // A closed connection reads as readable with nothing (after any late bytes).
        for (int k = 0; k < 8 && net_state.tcp != SOCK_INVALID && sock_wait_readable(net_state.tcp, 0) > 0; ++k) {
            const int got = sock_recv(net_state.tcp, b, (int)sizeof b);
            if (got == 0) return "the network converter closed the connection";
            if (got < 0) return "the connection to the network converter failed";
        }
        return "";
    }
    std::error_code ec;
    if (o->port[0] && strchr(o->port, '/') && !std::filesystem::exists(std::filesystem::path(o->port), ec))
        return "the serial device is gone";
    return "";
}

// One slot of the grid: a readout, or the row that says why there is none.
void slot(Watch &w, uint32_t due, uint32_t start, uint32_t period)
{
    char stamp[WATCH_STAMP_MAX];
    watch_stamp(stamp, sizeof stamp);
    const double elapsed = (double)(now_ms() - start) / 1000.0;
    // A reopen that took longer than a period: that slot passed without a readout.
    if ((int32_t)(now_ms() - due) >= (int32_t)period) {
        gap(w, stamp, (double)(due - start) / 1000.0, "missed");
        return;
    }
    // A connection closed or a device gone since the last readout: reopen now instead of
    // spending the readout's retries on a dead link.
    const char *gone = w.link_up ? link_lost_reason(w.o) : "";
    if (gone[0]) {
        fprintf(w.err, "vokcli: watch: %s: reopening %s\n", gone, cli_link_text());
        cli_close_link();
        w.link_up = 0;
        w.next_try = due;
    }
    if (!w.link_up && (int32_t)(due - w.next_try) >= 0) try_reopen(w, due);
    if (!w.link_up) {
        gap(w, stamp, elapsed, "link down");
        return;
    }
    Module &m = module_table.module[0];
    const int rc = read_channel_value_rows(&m, w.channel, &Rows, w.err);
    if (rc == EXIT_OK) {
        w.last_good = now_ms();
        write_readout(w, m, stamp, elapsed);
        return;
    }
    w.last_rc = rc;
    gap(w, stamp, elapsed, rc == EXIT_BAD_REPLY ? "bad reply" : "no reply");
    // The link may be gone (a closed connection, a device unplugged): open it anew for the
    // next slot.
    const char *reason = link_lost_reason(w.o);
    cli_close_link();
    w.link_up = 0;
    w.next_try = due;
    fprintf(w.err, "vokcli: watch: %s%sreopening %s for the next readout\n", reason, reason[0] ? ": " : "", cli_link_text());
}

void summary(const Watch &w, int gave_up)
{
    fprintf(w.err, "watch %s: %d readout%s (%d failed), %d rows appended to %s, %d reconnect%s\n",
            console_interrupted() ? "stopped by Ctrl-C" : gave_up ? "gave up" : "done", w.readouts,
            w.readouts == 1 ? "" : "s", w.failed, w.rows, w.o->out, w.reconnects, w.reconnects == 1 ? "" : "s");
    for (int i = 0; i < Rows.count; ++i) {
        const UnitRow &r = Rows.row[i];
        if (r.unit < UNITS_PER_CHANNEL && UnitStats[r.unit].seen)
            fprintf(w.err, "  CH%d unit %02d %s: min %.3f  max %.3f  last %.3f\n", r.channel, r.unit, r.has_id ? r.id : "-",
                    (double)UnitStats[r.unit].min, (double)UnitStats[r.unit].max, (double)UnitStats[r.unit].last);
    }
}

}  // namespace

int cmd_watch(const CliOptions *o, FILE *out, FILE *err)
{
    FILE *csv = watch_csv_open(o->out, o->excel, err);
    if (!csv) return EXIT_FILE;
    int rc = cli_open_module(o, err);
    Module &m = module_table.module[0];
    int channels[CHANNEL_COUNT + 1];
    if (rc == EXIT_OK) rc = check_channel_choice(&m, o->channel, err);
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
    Watch w{};
    w.o = o;
    w.out = out;
    w.err = err;
    w.csv = csv;
    w.channel = channels[0];
    w.link_up = 1;
    w.backoff_ms = BACKOFF_FIRST_MS;
    w.last_rc = EXIT_NO_REPLY;
    const uint32_t start = now_ms();
    w.last_good = start;
    const uint32_t period = (uint32_t)lround(o->period_s * 1000.0);
    const uint32_t give_up_ms = (uint32_t)lround(o->give_up_s * 1000.0);
    int gave_up = 0;
    for (int k = 0; o->count == 0 || k < o->count; ++k) {
        const uint32_t due = start + (uint32_t)k * period;
        if (wait_until(due)) break;
        slot(w, due, start, period);
        if (w.write_failed) break;
        if (give_up_ms && now_ms() - w.last_good >= give_up_ms) {
            fprintf(err, "vokcli: watch gives up: no readings from module 0x%02X for %.0f s (--give-up-after)\n",
                    o->address & 0xFF, o->give_up_s);
            gave_up = 1;
            break;
        }
    }
    fclose(csv);
    cli_close_link();
    summary(w, gave_up);
    if (w.write_failed) {
        fprintf(err, "vokcli: writing %s failed: check the free space on its disk\n", o->out);
        return EXIT_FILE;
    }
    if (console_interrupted()) return EXIT_INTERRUPTED;
    if (gave_up || w.readouts == 0) return w.last_rc;
    return EXIT_OK;
}
