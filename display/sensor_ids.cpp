// Unit enumeration: the ID read of a channel and the lines and type codes built from it.
#include "display/sensor_ids.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "display/channel_read.h"
#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"

namespace {
const char *const ItuModuleText = "VOK4701-ITU温湿度模块";
enum { ID_BYTES = 8, ITU_TVOC = 8 };
const uint8_t TYPE_ITU_MODULE = 0x89;

// Appends printf-style text to a line, never past its end.
void append(char *line, const char *fmt, int a, int b = 0, int c = 0)
{
    size_t used = strlen(line);
    if (used + 1 >= ID_LINE_MAX) return;
    snprintf(line + used, ID_LINE_MAX - used, fmt, a, b, c);
}

// "%02d(%02d)->" with the sort number, or "%02d(--)->" where none is shown (sort < 0).
void put_prefix(char *line, int i, int sort)
{
    line[0] = 0;
    if (sort >= 0) append(line, "%02d(%02d)->", i, sort);
    else append(line, "%02d(--)->", i);
}

void put_id_bytes(char *line, const uint8_t *id)
{
    for (int k = 0; k < ID_BYTES; ++k) append(line, "%02X ", id[k]);
}

const uint8_t *id_at(const uint8_t *ids, int i) { return ids + static_cast<ptrdiff_t>(ID_BYTES) * i; }

char *next_line(IdList *out)
{
    char *line = out->line[out->count++];
    line[0] = 0;
    return line;
}
}  // namespace

void itu_type_text(char *out, int cap, int type, uint8_t id1, uint8_t id2, int tvoc_known)
{
    static const char *const Names[12] = {
        "4700单湿度ITU", "4701温湿度ITU", "4702高温型ITU", "4703-8温度ITU", "4704-8输入ITU",
        "4705-8输出ITU", "4706-4入4出ITU", nullptr, "5808-TVOC ITU", nullptr, nullptr, "4711-4模拟量ITU",
    };
    if (cap <= 0) return;
    const char *name = type >= 0 && type < 12 ? Names[type] : nullptr;
    if (type == ITU_TVOC && !tvoc_known) name = nullptr;
    if (name) snprintf(out, static_cast<size_t>(cap), "%s---%02X-%02X ", name, id1, id2);
    else snprintf(out, static_cast<size_t>(cap), "(%02X ]未知ITU---%02X-%02X ", type & 0xFF, id1, id2);
}

// The readout's count, its refusals as 0 (the ID and value readers are numbered alike).
static_assert(+ID_READER_SENSORS == +VALUE_READER_SENSORS, "one reader numbering");
int id_read_count(const Module *m, int reader, int channel)
{
    const int n = readout_unit_count(m, reader, channel);
    return n > 0 ? n : 0;
}

int request_unit_ids(const Module *m, int channel, int n, ModuleReply *reply)
{
    port_discard();
    return channel_request(CMD_READ_IDS, m->address, channel, n, 0, reply);
}

int read_unit_ids(int reader, Module *m, int channel, IdList *out)
{
    out->count = 0;
    const int n = id_read_count(m, reader, channel);
    if (n == 0 && channel != CHANNEL_COUNT) return IDS_NO_UNITS;
    ModuleReply reply;
    if (request_unit_ids(m, channel, n, &reply) == REQ_NO_REPLY) {
        port_discard();
        return IDS_NO_REPLY;
    }
    // Model 4103 answers the 1-Wire ID read with a lead the program never relied on.
    const int skip_lead = reader == ID_READER_SENSORS && model_caps(m->model)->itu_modules;
    if (!skip_lead && reply_check(&reply, REQ_CHECK_LEAD, LEAD_DATA, 0) != REQ_OK) return IDS_WRONG_REPLY;
    const uint8_t *ids = reply.bytes + DATA_HEADER;
    if (reader == ID_READER_SENSORS) fill_sensor_ids(m, channel, n, ids, out);
    else if (reader == ID_READER_ITUS) fill_itu_ids(m, channel, n, ids, out);
    else fill_all_ids(n, ids, out);
    memcpy(out->id, ids, static_cast<size_t>(ID_BYTES) * static_cast<size_t>(out->count));
    return IDS_OK;
}

void fill_sensor_ids(Module *m, int channel, int n, const uint8_t *ids, IdList *out)
{
    out->count = 0;
    const int all = channel == CHANNEL_COUNT;
    const int is_4103 = model_caps(m->model)->itu_modules;
    const int first = m->itu_count[0];
    if (is_4103 && all) memset(ItuTypeTableAll, TYPE_ITU_MODULE, static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const uint8_t *id = id_at(ids, i);
        char *line = next_line(out);
        if (is_4103 && all) {
            // Channel 0 holds 1-Wire units; every unit after them is an ITU module.
            if (first > 0) ItuTypeTableAll[i] = i < first ? id[0] : TYPE_ITU_MODULE;
            if (i < first) {
                put_prefix(line, i, -1);
                put_id_bytes(line, id);
            } else {
                snprintf(line, ID_LINE_MAX, "%s", ItuModuleText);
            }
        } else if (is_4103 && (channel == 1 || channel == 2)) {
            ItuTypeTable[channel][i] = TYPE_ITU_MODULE;
            snprintf(line, ID_LINE_MAX, "%s", ItuModuleText);
        } else if (all) {
            ItuTypeTableAll[i] = id[0];
            put_prefix(line, i, -1);
            put_id_bytes(line, id);
        } else {
            ItuTypeTable[channel][i] = id[0];
            if (m->sort_valid == 1) {
                const uint8_t sort = m->sort_no[channel][i];
                put_prefix(line, i, sort);
                numbering.new_number[i] = sort;
                numbering.old_number[i] = sort;
            } else {
                put_prefix(line, i, -1);
            }
            put_id_bytes(line, id);
        }
        if (!all) snprintf(numbering.line_store[i], NUMBER_LINE_MAX, "%s", line);
    }
}

void fill_itu_ids(Module *m, int channel, int n, const uint8_t *ids, IdList *out)
{
    out->count = 0;
    const int all = channel == CHANNEL_COUNT;
    for (int i = 0; i < n; ++i) {
        const uint8_t *id = id_at(ids, i);
        char *line = next_line(out);
        if (all) {
            ItuTypeTableAll[i] = id[0];
            put_prefix(line, i, -1);
        } else {
            ItuTypeTable[channel][i] = id[0];
            if (is_456x(m->model)) {
                m->itu_id1[channel][i] = id[1];
                m->itu_id2[channel][i] = id[2];
            }
            // An ITU's sort number is its bus address: shown whether or not it was read.
            put_prefix(line, i, m->sort_no[channel][i]);
        }
        const size_t used = strlen(line);
        itu_type_text(line + used, static_cast<int>(ID_LINE_MAX - used), id[0], id[1], id[2], 1);
    }
}

void fill_all_ids(int n, const uint8_t *ids, IdList *out)
{
    out->count = 0;
    for (int i = 0; i < n; ++i) {
        const uint8_t *id = id_at(ids, i);
        // An ITU's ID bytes 3 to 7 are zero; anything else is a 1-Wire family unit.
        int one_wire = 0;
        for (int k = 3; k < ID_BYTES; ++k) one_wire |= id[k] != 0;
        const uint8_t t = one_wire ? static_cast<uint8_t>(id[0] + 0x80) : id[0];
        ItuTypeTableAll[i] = t;
        char *line = next_line(out);
        put_prefix(line, i, -1);
        const int family = t == 0x90 || t == 0x9E || t == 0xA2 || t == 0xA6 || t == 0xA8 || t == 0xC2;
        const size_t used = strlen(line);
        if (family) put_id_bytes(line, id);
        else itu_type_text(line + used, static_cast<int>(ID_LINE_MAX - used), t, id[1], id[2], 0);
    }
}
