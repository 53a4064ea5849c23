// Reader choice by module model and type code, below the data display dialog.
#include "display/channel_reader.h"

#include "display/channel_read.h"
#include "display/sensor_ids.h"
#include "protocol/model_caps.h"

int channel_readers(Module *m, int channel, ChannelReaders *out)
{
    out->ids = ID_READER_SENSORS;
    out->values = VALUE_READER_SENSORS;
    out->channel = channel;
    const int units = model_caps(m->model)->units;
    if (units == UNITS_FIXED_4500) {
        // Two readings on channel 3, read as two 1-Wire temperature records; no IDs.
        m->itu_count[3] = 2;
        ItuTypeTable[3][0] = 0x28;
        ItuTypeTable[3][1] = 0x28;
        out->ids = -1;
        out->channel = 3;
        return 0;
    }
    if (units == UNITS_ITUS) {
        out->ids = ID_READER_ITUS;
        out->values = VALUE_READER_ITUS;
        return 0;
    }
    if (units == UNITS_BY_KIND) {
        if (channel == CHANNEL_COUNT) {
            out->ids = ID_READER_ALL;
            out->values = VALUE_READER_ALL;
            return 0;
        }
        if (channel < 0 || channel >= CHANNEL_COUNT) return -1;
        if (channel_kind.a[channel] == 1) return 0;
        if (channel_kind.b[channel] == 1) {
            out->ids = ID_READER_ITUS;
            out->values = VALUE_READER_ITUS;
            return 0;
        }
        return -1;
    }
    return 0;
}
