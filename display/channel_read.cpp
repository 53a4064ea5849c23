// Channel readout: request, reply check and decoded lines.
#include "display/channel_read.h"

#include <stddef.h>
#include <string.h>

#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"

namespace {
enum { RECORD_BYTES = 4 };
}

int readout_unit_count(const Module *m, int reader, int channel)
{
    if (channel == CHANNEL_ALL) return m->itu_total < UNITS_PER_MODULE ? m->itu_total : UNITS_PER_MODULE;
    if (channel < 0 || channel > CHANNEL_ALL || m->itu_count[channel] == 0) return -READ_NO_UNITS;
    if (reader == VALUE_READER_SENSORS && channel >= model_caps(m->model)->sensor_channels)
        return -READ_MODEL_NO_UNITS;
    // A channel holds 64 units; a larger count from the module cannot be kept.
    const int n = m->itu_count[channel];
    return n < UNITS_PER_CHANNEL ? n : UNITS_PER_CHANNEL;
}

int request_readings(const Module *m, int channel, int n, ModuleReply *reply)
{
    port_discard();
    sleep_ms(READ_SETTLE_MS);
    return channel_request(CMD_READ_DATA, m->address, channel, n, 0, reply);
}

int read_channel_values(int reader, const Module *m, int channel, Readout *out)
{
    out->count = 0;
    out->out_of_tolerance = 0;
    const int n = readout_unit_count(m, reader, channel);
    if (n < 0) return -n;
    ModuleReply reply;
    if (request_readings(m, channel, n, &reply) == REQ_NO_REPLY) {
        port_discard();
        return READ_NO_REPLY;
    }
    // The lead is tested first, whatever the length: a module that does not know the command
    // gets its line and the refresh goes on. Model 4103 answers the 1-Wire readout with a lead
    // the program never relied on.
    const int skip_lead = reader == VALUE_READER_SENSORS && model_caps(m->model)->itu_modules;
    if (!skip_lead && reply_check(&reply, REQ_CHECK_LEAD, LEAD_DATA, 0) != REQ_OK) return READ_WRONG_REPLY;
    // A reply cut short holds fewer records than units: the missing ones would be decoded
    // from whatever the buffer held before, so it counts as no reply at all.
    if (reply_check(&reply, REQ_CHECK_LENGTH, LEAD_DATA, reply.need) != REQ_OK) {
        port_discard();
        return READ_NO_REPLY;
    }
    decode_readout(reader, m, channel, n, reply.bytes + DATA_HEADER, out);
    return READ_OK;
}

void decode_readout(int reader, const Module *m, int channel, int n, const uint8_t *records, Readout *out)
{
    out->count = 0;
    out->out_of_tolerance = 0;
    for (int i = 0; i < n && i < UNITS_PER_MODULE; ++i) {
        const uint8_t *rec = records + static_cast<ptrdiff_t>(RECORD_BYTES) * i;
        memcpy(out->record[i], rec, RECORD_BYTES);
        Reading *r = &out->unit[i];
        if (reader == VALUE_READER_ALL) {
            decode_all_record(rec, reading_type_code(CHANNEL_ALL, i), i, m, r);
        } else if (reader == VALUE_READER_ITUS) {
            decode_itu_record(rec, reading_type_code(channel, i), i, channel, m, r);
            if (channel < CHANNEL_ALL) ItuStateByte[i] = rec[2];
        } else {
            out->out_of_tolerance += decode_sensor_record(rec, reading_type_code(channel, i), i, channel, m, r);
        }
        out->count = i + 1;
    }
}
