// Unit rows of vokcli: the data display's ID read and readout, one channel at a time.
#include "cli/unit_rows.h"

#include <string.h>

#include "cli/link_open.h"
#include "cli/options.h"
#include "cli/output.h"
#include "display/channel_read.h"
#include "display/sensor_ids.h"
#include "protocol/model_caps.h"
#include "protocol/protocol.h"

namespace {

IdList Ids;
Readout Values;

UnitRow *row_of(UnitRows *rows, int channel, int unit)
{
    for (int k = 0; k < rows->count; ++k)
        if (rows->row[k].channel == channel && rows->row[k].unit == unit) return &rows->row[k];
    if (rows->count >= UNIT_ROWS_MAX) return nullptr;
    UnitRow *r = &rows->row[rows->count++];
    memset(r, 0, sizeof *r);
    r->channel = channel;
    r->unit = unit;
    r->sort = -1;
    r->type = reading_type_code(channel, unit);
    return r;
}

int sort_of(const Module *m, int channel, int unit)
{
    if (channel >= CHANNEL_COUNT || unit >= UNITS_PER_CHANNEL || m->sort_valid != 1) return -1;
    return m->sort_no[channel][unit];
}

int no_units(const Module *m, int channel, FILE *err)
{
    char where[16];
    if (channel == CHANNEL_COUNT) snprintf(where, sizeof where, "any channel");
    else snprintf(where, sizeof where, "CH%d", channel);
    fprintf(err, "vokcli: module 0x%02X (%s) has no units on %s that vokmon shows: give another --channel\n",
            m->address, m->name, where);
    return EXIT_NO_REPLY;
}

// The start of what came back instead of data, for the error line: up to its CR.
const char *reply_text(char *out, int cap)
{
    const uint8_t *p = &RxBuffer[link_state.echo_len];
    int n = 0;
    while (n < 16 && p[n] != 0 && p[n] != '\r') ++n;
    if (n < 16 && p[n] == '\r') ++n;
    return frame_text(p, n, out, cap);
}

// A reply to the `what` of `channel` that is no data reply, said with its start.
int wrong_reply(const Module *m, const char *what, int channel, FILE *err)
{
    char text[80];
    fprintf(err, "vokcli: module 0x%02X answered the %s of CH%d with \"%s\", no data reply: check the module's model\n",
            m->address, what, channel, reply_text(text, sizeof text));
    return EXIT_BAD_REPLY;
}

}  // namespace

int unit_channels(const Module *m, int channel, int *out, int max)
{
    int n = 0;
    if (is_4500(m->model)) {
        out[n++] = 3;
        return n;
    }
    if (channel >= 0 && channel < CHANNEL_COUNT) {
        out[n++] = channel;
        return n;
    }
    if (channel == CLI_CHANNEL_ALL && is_456x(m->model)) {
        out[n++] = CHANNEL_COUNT;
        return n;
    }
    for (int c = 0; c < CHANNEL_COUNT && n < max; ++c)
        if (m->itu_count[c] > 0) out[n++] = c;
    return n;
}

int read_channel_ids_rows(Module *m, int channel, UnitRows *rows, FILE *err)
{
    ChannelReaders rd;
    if (channel_readers(m, channel, &rd) != 0) return no_units(m, channel, err);
    if (rd.ids < 0) return EXIT_OK;
    const int r = read_unit_ids(rd.ids, m, rd.channel, &Ids);
    if (r == IDS_NO_UNITS) return no_units(m, channel, err);
    if (r == IDS_NO_REPLY) return cli_no_reply(err, m->address);
    if (r == IDS_WRONG_REPLY) return wrong_reply(m, "ID read", rd.channel, err);
    for (int i = 0; i < Ids.count; ++i) {
        UnitRow *row = row_of(rows, rd.channel, i);
        if (!row) break;
        row->has_id = 1;
        for (ptrdiff_t k = 0; k < 8; ++k) snprintf(row->id + 2 * k, 3, "%02X", Ids.id[i][k]);
        row->type = reading_type_code(rd.channel, i);
        row->sort = sort_of(m, rd.channel, i);
        snprintf(row->id_text, sizeof row->id_text, "%s", Ids.line[i]);
    }
    return EXIT_OK;
}

int read_channel_value_rows(Module *m, int channel, UnitRows *rows, FILE *err)
{
    ChannelReaders rd;
    if (channel_readers(m, channel, &rd) != 0) return no_units(m, channel, err);
    const int r = read_channel_values(rd.values, m, rd.channel, &Values);
    if (r == READ_NO_UNITS || r == READ_MODEL_NO_UNITS) return no_units(m, channel, err);
    if (r == READ_NO_REPLY) return cli_no_reply(err, m->address);
    if (r == READ_WRONG_REPLY) return wrong_reply(m, "readout", rd.channel, err);
    for (int i = 0; i < Values.count; ++i) {
        UnitRow *row = row_of(rows, rd.channel, i);
        if (!row) break;
        const char *text = Values.unit[i].text;
        const char *arrow = strstr(text, "->");
        snprintf(row->reading, sizeof row->reading, "%s", arrow ? arrow + 2 : text);
        row->has_value = Values.unit[i].has_value;
        row->value = Values.unit[i].value;
        row->type = reading_type_code(rd.channel, i);
        if (row->sort < 0) row->sort = sort_of(m, rd.channel, i);
    }
    return EXIT_OK;
}
