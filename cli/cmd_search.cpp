// vokcli search: the bus scan of vokmon's search (or the fast scan), then the module table.
#include <stdio.h>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/output.h"
#include "display/search_scan.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace {

struct Progress {
    FILE *err;
    int show;
    int64_t start_us;
    int64_t scan_end_us;  // when the last address was probed
    int probed;
    int params_read;      // table entries whose parameters were read
};

// Replies that came from another module than the one probed: (probed, answered) pairs, and
// whether the address gave the other one's reply also when asked alone.
struct LateReplies {
    int count;
    int probed[MODULE_MAX], answered[MODULE_MAX], again[MODULE_MAX];
};
LateReplies Late;

void on_late_reply(int probed, int answered, int again, void *)
{
    for (int i = 0; i < Late.count; ++i)
        if (Late.probed[i] == probed && Late.answered[i] == answered) {
            Late.again[i] |= again;
            return;
        }
    if (Late.count >= MODULE_MAX) return;
    Late.probed[Late.count] = probed;
    Late.answered[Late.count] = answered;
    Late.again[Late.count++] = again;
}

void print_late(FILE *err)
{
    for (int i = 0; i < Late.count; ++i) {
        if (Late.again[i])
            fprintf(err, "vokcli: the probe of %02X is answered as module %02X, also when asked alone: a module that "
                         "gives a wrong address, not listed\n", Late.probed[i], Late.answered[i]);
        else
            fprintf(err, "vokcli: module %02X answered late, after the probe of %02X: try --converter 7 with a longer --wait\n",
                    Late.answered[i], Late.probed[i]);
    }
}

int on_probe(int address, int found, void *ctx)
{
    Progress *p = static_cast<Progress *>(ctx);
    if (address == SEARCH_READING) {
        p->params_read = found;
        if (p->show && !console_interrupted()) {
            fprintf(p->err, "\rsearch: reading module %02X (%d of %d)          ", module_table.module[found].address,
                    found + 1, module_table.count);
            fflush(p->err);
        }
        return console_interrupted();
    }
    p->scan_end_us = now_us();
    p->probed = address + 1;
    if (p->show) {
        const int done = address + 1;
        const double elapsed = (double)(now_us() - p->start_us) / 1e6;
        const double left = elapsed / done * (SEARCH_LAST_ADDRESS + 1 - done);
        fprintf(p->err, "\rsearch: address %02X, %d found, %.0f s left   ", address, found, left);
        fflush(p->err);
    }
    return console_interrupted();
}

void fault_text(const Module &m, char *out, int cap)
{
    if (m.fault_state == 0x80) snprintf(out, (size_t)cap, "-");
    else if (m.fault_state == 0) snprintf(out, (size_t)cap, "none");
    else snprintf(out, (size_t)cap, "%02X errors %02X warnings %02X", m.fault_state, m.chan_error, m.chan_warning);
}

void print_text(FILE *out, int params_read)
{
    fprintf(out, "addr  name     model  type  firmware  mode     units  per channel      fault\n");
    for (int i = 0; i < module_table.count; ++i) {
        const Module &m = module_table.module[i];
        char name[8], fw[8], fault[48];
        if (i >= params_read) {
            fprintf(out, "%02X    (parameters not read: stopped by Ctrl-C)\n", m.address);
            continue;
        }
        fault_text(m, fault, sizeof fault);
        fprintf(out, "%02X    %-7s  %4d   %02X    %-8s  %-7s  %5d  %d %d %d %d %d %d %d %d  %s\n", m.address,
                clean_text(m.name, name, sizeof name), m.model, m.type_code & 0xFF, clean_text(m.firmware, fw, sizeof fw),
                mode_text(m.mode), m.itu_total, m.itu_count[0], m.itu_count[1], m.itu_count[2], m.itu_count[3],
                m.itu_count[4], m.itu_count[5], m.itu_count[6], m.itu_count[7], fault);
    }
}

void print_json(FILE *out, int fast, const Progress &p, double elapsed_s)
{
    fprintf(out, "{\"link\": ");
    json_string(out, cli_link_text());
    fprintf(out, ", \"fast\": %s, \"addresses\": %d, \"scan_s\": %.3f, \"elapsed_s\": %.3f, \"modules\": [",
            fast ? "true" : "false", p.probed, (double)(p.scan_end_us - p.start_us) / 1e6, elapsed_s);
    for (int i = 0; i < module_table.count; ++i) {
        const Module &m = module_table.module[i];
        char name[8], fw[8];
        if (i >= p.params_read) {
            fprintf(out, "%s\n  {\"address\": \"%02X\", \"read\": false}", i ? "," : "", m.address);
            continue;
        }
        fprintf(out, "%s\n  {\"address\": \"%02X\", \"name\": ", i ? "," : "", m.address);
        json_string(out, clean_text(m.name, name, sizeof name));
        fprintf(out, ", \"model\": %d, \"type\": \"%02X\", \"format\": \"%02X\", \"firmware\": ", m.model,
                m.type_code & 0xFF, m.data_format & 0xFF);
        json_string(out, clean_text(m.firmware, fw, sizeof fw));
        fprintf(out, ", \"mode\": \"%s\", \"units\": %d, \"channels\": [", mode_text(m.mode), m.itu_total);
        for (int c = 0; c < CHANNEL_COUNT; ++c) fprintf(out, "%s%d", c ? ", " : "", m.itu_count[c]);
        fprintf(out, "], \"fault\": ");
        if (m.fault_state == 0x80) fprintf(out, "null");
        else fprintf(out, "{\"code\": \"%02X\", \"error_channels\": \"%02X\", \"warning_channels\": \"%02X\"}",
                     m.fault_state, m.chan_error, m.chan_warning);
        fprintf(out, "}");
    }
    fprintf(out, "%s]}\n", module_table.count ? "\n" : "");
}

}  // namespace

int cmd_search(const CliOptions *o, FILE *out, FILE *err)
{
    if (o->format == FORMAT_CSV) {
        fprintf(err, "vokcli: search writes text or --json\n");
        return EXIT_USAGE;
    }
    const int rc = cli_open_link(o, err);
    if (rc != EXIT_OK) return rc;
    console_catch_interrupt();
    Progress p = {err, !o->quiet && console_is_terminal(CONSOLE_STDERR), now_us(), now_us(), 0, 0};
    Late.count = 0;
    // vokcli lists only modules that answered for themselves; a late answer is reported.
    search_check_reply_address(on_late_reply, nullptr);
    const int found = search_run(o->fast, on_probe, &p);
    search_check_reply_address(nullptr, nullptr);
    if (!console_interrupted()) p.params_read = found;
    const double elapsed = (double)(now_us() - p.start_us) / 1e6;
    if (p.show) fprintf(err, "\r%60s\r", "");
    cli_close_link();
    print_late(err);
    if (o->format == FORMAT_JSON) print_json(out, o->fast, p, elapsed);
    else if (found > 0) print_text(out, p.params_read);
    if (!o->quiet)
        fprintf(err, "%d module%s found in %.1f s on %s (%s scan of %d addresses: %.1f s)%s\n", found,
                found == 1 ? "" : "s", elapsed, cli_link_text(), o->fast ? "fast" : "normal", p.probed,
                (double)(p.scan_end_us - p.start_us) / 1e6, console_interrupted() ? ", stopped by Ctrl-C" : "");
    if (console_interrupted()) return EXIT_INTERRUPTED;
    if (found == 0) {
        fprintf(err, "vokcli: no module answered on %s: check the converter type, the speed and the wiring\n",
                cli_link_text());
        return EXIT_NO_REPLY;
    }
    return EXIT_OK;
}
