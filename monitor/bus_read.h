// The collector's one door to the bus: open a plant link, find or load its modules, read a
// channel's IDs and readings, all through the same core functions as the data display and
// vokcli (link settings and open, the search scan, the channel readers and decoders). Only
// this file knows their shapes; the worker sees plain readings.
#ifndef VOK_MONITOR_BUS_READ_H
#define VOK_MONITOR_BUS_READ_H

#include "monitor/plant.h"
#include "monitor/store.h"

enum {
    BUS_READINGS_MAX = 64,  // units of one channel
    BUS_CHANNELS_MAX = 8,
};

// Results of the reads (the readout's `result` in the database where it applies).
enum { BUS_OK = 0, BUS_NO_REPLY = 1, BUS_BAD_REPLY = 2, BUS_NO_UNITS = 3 };

// Sets the link up from `l` and opens it (serial: with the echo probe). 0, or -1 with a
// one-line reason in `error`.
int bus_open(const PlantLink *l, char *error, int error_cap);
void bus_close(void);

// Fills the module table from the link's list (parameters read for each) or from a search of
// the whole bus. Returns the modules in the table; a listed module that did not answer stays
// in it with loaded 0 and is tried again by bus_load_module.
int bus_find_modules(const PlantLink *l);
int bus_module_count(void);
int bus_module_address(int index);
int bus_module_loaded(int index);

// Reads the parameters of table entry `index` again. BUS_OK or BUS_NO_REPLY.
int bus_load_module(int index);

// The channels to read of a loaded entry: those of `channels` (bit n = channel n; 0: every
// channel with units), as far as the module keeps units there. Returns how many.
int bus_channels(int index, uint8_t channels, int *out, int max);

// Reads the IDs of a channel (when its reader has IDs) and keeps them, with the type codes the
// readings are decoded by, for later readouts of that channel. BUS_*.
int bus_read_ids(int index, int channel);
// 1 when bus_read_ids has succeeded for the channel since the module was loaded.
int bus_ids_known(int index, int channel);

// One readout of a channel, decoded by the data display's rules, into `out` (position, ID,
// raw record, value, text). BUS_* with *count set (0 unless BUS_OK).
int bus_read_channel(int index, int channel, StoreReading *out, int max, int *count);

#endif
