// Reading decoders: one 4-byte unit record of a channel readout (#AAc) into the text of one
// reading-list line, and for 1-Wire family units the decoded temperature the automatic sort
// compares. Pure (no I/O, no ui; only reading_type_code looks at the type tables); shared
// by the data display, the curve view and vokcli. Texts are UTF-8 (the degree sign is "℃").
#ifndef VOK_DISPLAY_DECODE_H
#define VOK_DISPLAY_DECODE_H

#include <stdint.h>

#include "app/state.h"

enum {
    READING_TEXT_MAX = 64,  // longest line is well under this; snprintf truncates anyway
    CHANNEL_ALL = 8,        // channel index of "all channels" (channel digit '8')
};

// One decoded record.
typedef struct Reading {
    char text[READING_TEXT_MAX];  // line text: prefix ("07->") then the value text
    int has_value;                // 1 when value holds a new decoded temperature
    float value;                  // °C; meaningful only when has_value is 1
    int out_of_tolerance;         // calibration offsets of -4 or below in this record (0..2)
} Reading;

// ---- Number formats of the records (°C, or %RH for humidity_h) ----
// 16-bit two's complement in 1/16 °C; only bits 0..2 of msb count while msb < 0xF8.
float temp_t16(uint8_t lsb, uint8_t msb);
// 13-bit two's complement in 1/32 °C: msb carries bits 12..5, lsb bits 4..0 in its top bits.
float temp_t32(uint8_t lsb, uint8_t msb);
// 16-bit value whose top 13 bits are two's complement 1/32 °C steps.
float temp_w13(uint8_t lsb, uint8_t msb);
// Sign (hi bit 3) and 11-bit magnitude ((hi & 7) * 256 + lo) in 1/16 °C; never -0.
float temp_sm16(uint8_t lo, uint8_t hi);
// Relative humidity in 0.5 %RH steps.
float humidity_h(uint8_t b);
// Relative humidity of a 0x1E/0x26 unit from its two voltage bytes, kept to 0..100 %RH: the
// one formula of the reading list and the curve view.
float humidity_v(uint8_t b2, uint8_t b3);

// The two signed nibbles (high, low) of a calibration byte: nibble n >= 8 is -(n & 7).
void calibration_offsets(uint8_t b, int *high, int *low);

// ---- Decoders. `rec` points at the unit's 4 bytes (position 5 + 4i of the reply), t is
// its type code (ItuTypeTable[channel][i], or ItuTypeTableAll[i] for channel 8), i its
// position in the reply, `module` the module read. Each fills *out completely and returns
// out->out_of_tolerance. ----

// Records read by the 1-Wire family reader (read_sensor_values). Gives a value for
// temperature types; counts out-of-tolerance calibration offsets (model 4563, firmware
// "?2?3" or "?2?4", type 0x28).
int decode_sensor_record(const uint8_t rec[4], int t, int i, int channel, const Module *module,
                         Reading *out);
// Records read by the ITU reader (read_itu_values): ITU types 0..6 and 11, anything else
// as four hex bytes. Never a value, never a count.
int decode_itu_record(const uint8_t rec[4], int t, int i, int channel, const Module *module,
                      Reading *out);
// Records of the all-channels readout of models 4562/4563 (read_all_values): ITU types as
// decode_itu_record, 1-Wire family units under family code + 0x80 as decode_sensor_record
// (with their value), calibration offsets printed but never counted.
int decode_all_record(const uint8_t rec[4], int t, int i, const Module *module, Reading *out);

// Type code of unit i of `channel` (0..7, or CHANNEL_ALL) from the enumeration's tables;
// 0xFF when i lies outside the table.
int reading_type_code(int channel, int i);

#endif
