// IO test dialog (147) of model 4501: the digital ITUs of one channel with their IDs and
// input/output states, and switching the output of the selected ITU.
#ifndef VOK_MAINTENANCE_IO_TEST_H
#define VOK_MAINTENANCE_IO_TEST_H

#include <stdint.h>

#include "app/state.h"
#include "platform/ui.h"

enum { IO_TEST_LINE_MAX = 60 };

typedef struct IoTest {
    int selected;                                            // selected list line
    char lines[UNITS_PER_CHANNEL][IO_TEST_LINE_MAX + 1];     // position, number and ID per ITU
    uint8_t di[UNITS_PER_CHANNEL];                           // input state of each ITU
    uint8_t do_[UNITS_PER_CHANNEL];                          // output state (`do` is a keyword)
} IoTest;

extern IoTest io_test;
extern const UiDialogHandlers io_test_handlers;

// Reads the IDs of the digital ITUs of channel c into io_test.lines and ItuTypeTable[c].
// 0, or -1 after a failed exchange (message shown). Nothing is sent for an empty channel.
int io_test_read_ids(UiWindow dlg, int c);
// Reads the states of channel c and fills the list. 0, or -1 after a failed exchange.
int io_test_read_states(UiWindow dlg, int c);

void io_test_on_init(UiWindow dlg);
void io_test_on_command(UiWindow dlg, int id, int notify);
// Set button: switches the selected ITU's output on or off, then reads the states again.
void io_test_on_set(UiWindow dlg);

#endif
