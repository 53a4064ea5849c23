// Unit enumeration of one channel (or of all channels): the ID read &AAc, the type tables,
// the numbering work area and the ID-list lines. No user interface here: the data display
// and the command-line tool both put these lines where they belong.
#ifndef VOK_DISPLAY_SENSOR_IDS_H
#define VOK_DISPLAY_SENSOR_IDS_H

#include <stdint.h>

#include "app/state.h"
#include "link/request.h"

// Results of an ID read.
enum {
    IDS_OK = 0,
    IDS_NO_UNITS = 1,     // nothing on the channel for this module; nothing was sent
    IDS_NO_REPLY = 2,     // the exchange failed; the link was discarded
    IDS_WRONG_REPLY = 3,  // the reply was not a data reply
};

// The three readers: 1-Wire family channels, ITU channels, all channels of a 4562/4563.
enum { ID_READER_SENSORS = 0, ID_READER_ITUS = 1, ID_READER_ALL = 2 };

enum { ID_LINE_MAX = NUMBER_LINE_MAX };

// Lines of the ID list, in reply order.
typedef struct IdList {
    int count;
    char line[UNITS_PER_MODULE][ID_LINE_MAX];
    uint8_t id[UNITS_PER_MODULE][8];  // each unit's ID as read (read_unit_ids)
} IdList;

// Units an ID read of `channel` (0..7, 8 = all) covers, capped to what the tables hold,
// or 0 when the reader refuses the channel (no units; models 4101/4102 beyond CH0 and 4103
// beyond CH2 for the 1-Wire reader). Channel 8 is never refused.
int id_read_count(const Module *m, int reader, int channel);

// port_discard, then &AAc for n units on the request path, no checks: the one ID read of
// the lists, the export file and vokcli. Returns channel_request's result.
int request_unit_ids(const Module *m, int channel, int n, ModuleReply *reply);

// The whole read: count test, request, reply test, tables and lines (into `out`).
// ItuTypeTable / ItuTypeTableAll, Module.itu_id1/itu_id2 and numbering are written as the
// reader's rules say. Returns one of the IDS_ results; out->count is 0 unless IDS_OK.
int read_unit_ids(int reader, Module *m, int channel, IdList *out);

// Builders over the reply's ID records (8 bytes a unit, `n` units from `ids`), used by
// read_unit_ids and directly by tests. Each fills the tables and out.
void fill_sensor_ids(Module *m, int channel, int n, const uint8_t *ids, IdList *out);
void fill_itu_ids(Module *m, int channel, int n, const uint8_t *ids, IdList *out);
void fill_all_ids(int n, const uint8_t *ids, IdList *out);

// List text of an ITU of type `type` with ID bytes 1 and 2 ("4701温湿度ITU---12-34 "); the
// TVOC type is named only where `tvoc_known` is 1. Writes at most cap bytes with the zero.
void itu_type_text(char *out, int cap, int type, uint8_t id1, uint8_t id2, int tvoc_known);

#endif
