// The network converter's side of a module baud rate change: the TCP link closes, the
// converter chosen in the last discovery is given the new bus speed over UDP, and the link
// opens again at that converter's address and port.
#ifndef VOK_MAINTENANCE_CONVERTER_BAUD_H
#define VOK_MAINTENANCE_CONVERTER_BAUD_H

#include "platform/ui.h"

// Moves the network converter to `baud_index` after the modules were: 0 when done or after a
// failure that closes the dialog (the link stays closed), 1 when the link could not be opened
// again (the dialog stays open). Messages are owned by `dlg`.
int change_converter_baud(UiWindow dlg, int baud_index);

#endif
