// vokcli read and ids: a module's units channel by channel, as a table, CSV or JSON lines.
#include <stdio.h>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/link_open.h"
#include "cli/module_load.h"
#include "cli/output.h"
#include "cli/unit_rows.h"
#include "platform/console.h"

namespace {

UnitRows Rows;

void print_header(FILE *out, CliFormat format, int with_values)
{
    if (format == FORMAT_CSV)
        fprintf(out, with_values ? "module,channel,unit,sort,id,type,reading,value\n" : "module,channel,unit,sort,id,type,text\n");
    else if (format == FORMAT_TEXT)
        fprintf(out, with_values ? "ch  unit  sort  id                reading\n" : "ch  unit  sort  id                unit list line\n");
}

void print_row(FILE *out, CliFormat format, const Module &m, const UnitRow &r, int with_values)
{
    char sort[16] = "", value[24] = "";
    if (r.sort >= 0) snprintf(sort, sizeof sort, "%d", r.sort);
    if (r.has_value) snprintf(value, sizeof value, "%.4f", (double)r.value);
    const char *text = with_values ? r.reading : r.id_text;
    if (format == FORMAT_CSV) {
        fprintf(out, "%02X,%d,%d,%s,%s,%02X,", m.address, r.channel, r.unit, sort, r.id, r.type & 0xFF);
        csv_field(out, text);
        if (with_values) fprintf(out, ",%s", value);
        fputc('\n', out);
    } else if (format == FORMAT_JSON) {
        fprintf(out, "{\"module\": \"%02X\", \"channel\": %d, \"unit\": %d, \"sort\": %s, \"id\": ", m.address, r.channel,
                r.unit, r.sort >= 0 ? sort : "null");
        if (r.has_id) fprintf(out, "\"%s\"", r.id);
        else fprintf(out, "null");
        fprintf(out, ", \"type\": \"%02X\", \"text\": ", r.type & 0xFF);
        json_string(out, r.id_text);
        if (with_values) {
            fprintf(out, ", \"reading\": ");
            json_string(out, r.reading);
            fprintf(out, ", \"value\": %s", r.has_value ? value : "null");
        }
        fprintf(out, "}\n");
    } else {
        char ch[12];
        if (r.channel < CHANNEL_COUNT) snprintf(ch, sizeof ch, "%d", r.channel);
        else snprintf(ch, sizeof ch, "all");
        fprintf(out, "%-3s %02d    %-4s  %-16s  %s\n", ch, r.unit, r.sort >= 0 ? sort : "-", r.has_id ? r.id : "-", text);
    }
}

int read_units(const CliOptions *o, FILE *out, FILE *err, int with_values)
{
    int rc = cli_open_module(o, err);
    if (rc != EXIT_OK) return rc;
    Module &m = module_table.module[0];
    if ((rc = check_channel_choice(&m, o->channel, err)) != EXIT_OK) {
        cli_close_link();
        return rc;
    }
    int channels[CHANNEL_COUNT + 1];
    const int n = unit_channels(&m, o->channel, channels, CHANNEL_COUNT + 1);
    if (!with_values && n > 0 && !module_keeps_ids(&m, channels, n)) {
        char name[8];
        cli_close_link();
        fprintf(err, "vokcli: module 0x%02X (%s) keeps no unit IDs: vokcli read %02X shows its readings\n", m.address,
                clean_text(m.name, name, sizeof name), m.address);
        return EXIT_USAGE;
    }
    Rows.count = 0;
    int first_failure = EXIT_OK;
    console_catch_interrupt();
    for (int k = 0; k < n && !console_interrupted(); ++k) {
        int r = read_channel_ids_rows(&m, channels[k], &Rows, err);
        if (r == EXIT_OK && with_values) r = read_channel_value_rows(&m, channels[k], &Rows, err);
        if (r != EXIT_OK && first_failure == EXIT_OK) first_failure = r;
        // A module that answers the wrong thing does so on every channel: one line says it.
        if (r == EXIT_BAD_REPLY) break;
    }
    cli_close_link();
    if (o->format == FORMAT_TEXT) {
        char name[8];
        fprintf(out, "module %02X  %s  model %d  type %02X  %s\n", m.address, clean_text(m.name, name, sizeof name), m.model,
                m.type_code & 0xFF, cli_link_text());
    }
    print_header(out, o->format, with_values);
    for (int k = 0; k < Rows.count; ++k) print_row(out, o->format, m, Rows.row[k], with_values);
    if (n == 0 && first_failure == EXIT_OK) {
        fprintf(err, "vokcli: module 0x%02X has no units on any channel\n", m.address);
        return EXIT_NO_REPLY;
    }
    if (console_interrupted()) {
        fprintf(err, "vokcli: stopped by Ctrl-C: the rows read so far are shown\n");
        return EXIT_INTERRUPTED;
    }
    return first_failure;
}

}  // namespace

int cmd_read(const CliOptions *o, FILE *out, FILE *err)
{
    return read_units(o, out, err, 1);
}

int cmd_ids(const CliOptions *o, FILE *out, FILE *err)
{
    return read_units(o, out, err, 0);
}
