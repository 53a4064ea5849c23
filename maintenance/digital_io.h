// Digital inputs and outputs dialog (117) of model 4500: eight input lamps, eight output
// boxes, a refresh that writes the outputs and reads the inputs, and a patrol mode in which
// the outputs follow the inputs once a second.
#ifndef VOK_MAINTENANCE_DIGITAL_IO_H
#define VOK_MAINTENANCE_DIGITAL_IO_H

#include <stdint.h>

#include "platform/ui.h"

typedef struct DigitalIo {
    int patrol;  // 1 while the patrol timer runs
} DigitalIo;

extern DigitalIo digital_io;
extern const UiDialogHandlers digital_io_handlers;

// Output byte for the boxes: bit i is 0 when box i is checked (a 0 bit is an output that is on).
uint8_t digital_io_output_byte(UiWindow dlg);
// Shows the current module's input byte (lamps, 0 = lit) and output byte (boxes, 0 = checked).
void digital_io_show(UiWindow dlg);

// Dialog opened: the stored bytes, normal mode, focus on refresh. No bus traffic.
void digital_io_on_init(UiWindow dlg);
// Any button: stops the patrol; refresh then writes and reads (normal mode) or restarts the
// patrol (patrol mode); the patrol radio starts it; exit ends the dialog.
void digital_io_on_command(UiWindow dlg, int id, int notify);
// Patrol tick: inputs read, outputs set to them, state shown; the timer runs on regardless.
void digital_io_on_timer(UiWindow dlg, int timer_id);
void digital_io_on_close(UiWindow dlg);

#endif
