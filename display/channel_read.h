// Readout of a channel (or of all channels): the request #AAc, the reply check and one
// decoded line per unit. No user interface here: the data display rewrites its reading list
// from these lines, the command-line tool prints them.
#ifndef VOK_DISPLAY_CHANNEL_READ_H
#define VOK_DISPLAY_CHANNEL_READ_H

#include <stdint.h>

#include "app/state.h"
#include "display/decode.h"
#include "link/request.h"

// Results of a readout.
enum {
    READ_OK = 0,
    READ_NO_UNITS = 1,        // the channel has no units; nothing was sent
    READ_MODEL_NO_UNITS = 2,  // the model has no units on that channel; nothing was sent
    READ_NO_REPLY = 4,        // the exchange failed or a data reply was cut short; link discarded
    READ_WRONG_REPLY = 3,     // the reply was not a data reply (whatever its length)
};

// The three readers: 1-Wire family channels, ITU channels, all channels of a 4562/4563.
enum { VALUE_READER_SENSORS = 0, VALUE_READER_ITUS = 1, VALUE_READER_ALL = 2 };

enum { READ_SETTLE_MS = 10 };  // pause between the discard and the request

// One readout: a decoded line per unit, in reply order.
typedef struct Readout {
    int count;
    int out_of_tolerance;     // calibration offsets out of tolerance, over all units
    Reading unit[UNITS_PER_MODULE];
    uint8_t record[UNITS_PER_MODULE][4];  // each unit's record as it came
} Readout;

// Units a readout of `channel` (0..7, 8 = all) covers, capped to what the tables hold; or
// -READ_NO_UNITS / -READ_MODEL_NO_UNITS when the reader refuses the channel.
int readout_unit_count(const Module *m, int reader, int channel);

// port_discard, a 10 ms pause, then #AAc for n units on the request path (no checks).
// Returns channel_request's result.
int request_readings(const Module *m, int channel, int n, ModuleReply *reply);

// The whole readout: count test, request, reply test and decoding into `out` (the ITU
// reader also keeps each unit's output byte in ItuStateByte for channels 0..7).
// Returns one of the READ_ results; out->count is 0 unless READ_OK.
int read_channel_values(int reader, const Module *m, int channel, Readout *out);

// Decodes `n` records starting at `records` (4 bytes a unit) by the reader's rules.
void decode_readout(int reader, const Module *m, int channel, int n, const uint8_t *records, Readout *out);

#endif
