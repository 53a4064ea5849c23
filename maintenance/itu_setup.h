// ITU settings dialog (165): a new bus address for the ITU double-clicked in the data display
// and, for the temperature-humidity ITU (type 1), a new offset.
#ifndef VOK_MAINTENANCE_ITU_SETUP_H
#define VOK_MAINTENANCE_ITU_SETUP_H

#include <stdint.h>

#include "platform/ui.h"

typedef struct ItuSet {
    uint8_t old_addr;        // address taken from "ITU原地址:" on confirm
    uint8_t new_addr;        // address parsed from "ITU新地址:"
    int offset_pos;          // 0..30 by the scroll bar; the offset shown is offset_pos - 15
    int offset_pos_saved;    // offset_pos when the dialog opened or after the last sent offset
    uint8_t offset_code;     // code byte of the offset sent to the ITU
} ItuSet;

extern ItuSet itu_set;
extern const UiDialogHandlers itu_setup_handlers;

// Scroll position of an ITU's offset from its raw ID byte 2: 0 and 16 mean 0, 1..15 mean
// +1..+15, 17..31 mean -1..-15 (a larger raw byte gives a position below 0).
int itu_offset_position(uint8_t raw);
// Code byte of the offset at scroll position p: 0xA0 + k for k = p - 15 >= 0, 0xF0 + |k| below.
uint8_t itu_offset_code(int p);
// Address typed as two characters: 10 x d(first) + d(second), d = ch - '0' up to '9', ch - 55
// above, kept to a byte.
uint8_t itu_typed_address(const char two[2]);

void itu_setup_on_init(UiWindow dlg);
void itu_setup_on_command(UiWindow dlg, int id, int notify);
// Confirm: sends the new address (and for type 1 the offset with it), or only a moved
// offset; reports the outcome and closes the dialog.
void itu_setup_on_confirm(UiWindow dlg);

#endif
