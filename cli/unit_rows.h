// The units of a module's channels as rows for vokcli's tables: IDs, type codes, sort
// numbers and decoded readings, read through the data display's readers.
#ifndef VOK_CLI_UNIT_ROWS_H
#define VOK_CLI_UNIT_ROWS_H

#include <stdio.h>

#include "app/state.h"
#include "display/channel_reader.h"
#include "display/decode.h"

enum { UNIT_ROWS_MAX = UNITS_PER_MODULE, UNIT_ID_TEXT_MAX = NUMBER_LINE_MAX };

typedef struct UnitRow {
    int channel;               // 0..7, 8 for the all-channels readout
    int unit;                  // position in the reply
    int sort;                  // sort number, -1 when the module keeps none
    int has_id;
    char id[17];               // the eight ID bytes in hex, when read
    int type;                  // type code the reading is decoded by
    char id_text[UNIT_ID_TEXT_MAX];        // the ID list line as the data display shows it
    char reading[READING_TEXT_MAX];        // the reading line's value text (without "07->")
    int has_value;
    float value;               // °C, when has_value
} UnitRow;

typedef struct UnitRows {
    int count;
    UnitRow row[UNIT_ROWS_MAX];
} UnitRows;

// The channels a command reads: `channel` 0..7 or CLI_CHANNEL_ALL (all with units; 4562/4563:
// the all-channels readout); -1 means every channel with units. Returns how many were put
// into `out`.
int unit_channels(const Module *m, int channel, int *out, int max);

// Reads the IDs of one channel into rows appended to `rows` (readings empty). EXIT_OK, or
// the exit code after one error line on `err`.
int read_channel_ids_rows(Module *m, int channel, UnitRows *rows, FILE *err);
// Reads the readings of one channel into the rows of that channel already in `rows` (adds
// rows without IDs where the ID read did not give them). EXIT_OK or an exit code.
int read_channel_value_rows(Module *m, int channel, UnitRows *rows, FILE *err);

#endif
