// Which readers serve a channel of a module, as the data display chooses them by model and
// type code: the ID read that fills the type tables, and the readout that decodes by them.
// No user interface: the command-line tool reads a channel the way the dialog does.
#ifndef VOK_DISPLAY_CHANNEL_READER_H
#define VOK_DISPLAY_CHANNEL_READER_H

#include "app/state.h"

typedef struct ChannelReaders {
    int ids;     // ID_READER_* of display/sensor_ids.h, or -1: the IDs are not read
    int values;  // VALUE_READER_* of display/channel_read.h
    int channel; // the channel actually read (model 4500: always 3)
} ChannelReaders;

// The readers for `channel` (0..7, 8 = all) of `m`. 0, or -1 when the module keeps no units
// there that a reader could show (a 4562/4563 channel of neither kind). Model 4500 gets its
// two fixed readings on channel 3: this sets its count and type codes as the dialog does.
// channel_kind must be up to date for the module (update_channel_kinds).
int channel_readers(Module *m, int channel, ChannelReaders *out);

#endif
