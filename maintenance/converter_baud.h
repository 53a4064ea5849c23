// The network converter's side of a module baud rate change: the TCP link closes, the
// converter is given the new bus speed over UDP, and the link opens again at that speed.
#ifndef VOK_MAINTENANCE_CONVERTER_BAUD_H
#define VOK_MAINTENANCE_CONVERTER_BAUD_H

#include <stdint.h>

#include "platform/ui.h"

// The converter discovery operations the change uses; an entry left null makes the change
// fail with its message.
typedef struct ConverterOps {
    int (*udp_open)(void);                   // 0 when the configuration socket is open
    int (*udp_close)(void);
    // Address (network byte order) and TCP port of the converter chosen in the last
    // discovery; 0, or -1 when no converter was chosen.
    int (*selected)(uint32_t *ip, uint16_t *port);
    int (*set_baud)(int baud_index);         // 0 when the converter took the speed
    void (*store_baud_code)(int code);       // the chosen converter's speed code in the list
} ConverterOps;
extern ConverterOps converter_ops;

// Moves the network converter to `baud_index` after the modules were: 0 when done or after a
// failure that closes the dialog (the link stays closed), 1 when the link could not be opened
// again (the dialog stays open). Messages are owned by `dlg`.
int change_converter_baud(UiWindow dlg, int baud_index);

#endif
