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
};

int on_probe(int address, int found, void *ctx)
{
    Progress *p = static_cast<Progress *>(ctx);
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

void print_text(FILE *out)
{
    fprintf(out, "addr  name     model  type  firmware  mode     units  per channel      fault\n");
    for (int i = 0; i < module_table.count; ++i) {
        const Module &m = module_table.module[i];
        char name[8], fw[8], fault[48];
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
    Progress p = {err, !o->quiet && console_is_terminal(CONSOLE_STDERR), now_us(), now_us(), 0};
    const int found = search_run(o->fast, on_probe, &p);
    const double elapsed = (double)(now_us() - p.start_us) / 1e6;
    if (p.show) fprintf(err, "\r%60s\r", "");
    cli_close_link();
    if (o->format == FORMAT_JSON) print_json(out, o->fast, p, elapsed);
    else if (found > 0) print_text(out);
    if (!o->quiet)
        fprintf(err, "%d module%s found in %.1f s on %s (%s scan of %d addresses: %.1f s)%s\n", found,
                found == 1 ? "" : "s", elapsed, cli_link_text(), o->fast ? "fast" : "normal", p.probed,
                (double)(p.scan_end_us - p.start_us) / 1e6, console_interrupted() ? ", stopped by Ctrl-C" : "");
    if (found == 0) {
        fprintf(err, "vokcli: no module answered on %s: check the converter type, the speed and the wiring\n",
                cli_link_text());
        return EXIT_NO_REPLY;
    }
    return EXIT_OK;
}
