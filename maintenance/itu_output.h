// ITU output dialog (158): switches the outputs of the output ITU double-clicked in the data
// display (eight outputs for type 5, four for type 6).
#ifndef VOK_MAINTENANCE_ITU_OUTPUT_H
#define VOK_MAINTENANCE_ITU_OUTPUT_H

#include <stdint.h>

#include "platform/ui.h"

extern const UiDialogHandlers itu_output_handlers;

// Shows ItuStateByte of the clicked ITU: the value and one box per output (checked = 1).
void itu_output_show(UiWindow dlg);
// Sends the output byte v to the clicked ITU of the data display's channel with /AAcNNhh.
// 0 on success; -1 after a failure (the "无传感器!" notice shown when the channel is empty).
int itu_output_send(UiWindow dlg, uint8_t v);

void itu_output_on_init(UiWindow dlg);
// Set button: the checked boxes become the ITU's output byte, stored and sent.
void itu_output_on_set(UiWindow dlg);

#endif
