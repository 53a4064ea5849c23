// Communication settings dialog (1008): COM port, speed and converter type, the network
// converter's address, the reply wait of type 7, and opening or closing the link.
#ifndef VOK_NETSETUP_COMM_SETTINGS_H
#define VOK_NETSETUP_COMM_SETTINGS_H

#include "platform/ui.h"

extern const UiDialogHandlers comm_settings_handlers;

// Converter discovery pieces the dialog calls; tests may replace them. Null = not there.
typedef struct CommSettingsFeatures {
    const UiDialogHandlers *converter_list;  // dialog 168, the "搜索 IP 参数..." button
    // After the user agreed to change the converter's bus speed to baud_index: the UDP
    // reconfiguration with its own messages and waits.
    void (*change_converter_speed)(UiWindow dlg, int baud_index);
} CommSettingsFeatures;
extern CommSettingsFeatures comm_settings_features;

// Dialog start (and after the close and discovery buttons): control states, and the stored
// settings put into the fields while the link is closed.
void comm_settings_init(UiWindow dlg);
// Enables, greys, shows and hides the controls for the link state and converter type.
void comm_settings_apply_states(UiWindow dlg);
// Converter list change: the type takes effect at once.
void comm_settings_on_converter(UiWindow dlg);
// Reply-wait edit change: stores the wait, clamped to 10..15000 ms with a message.
void comm_settings_on_wait_edit(UiWindow dlg);
// Open button: opens the port or connects the network converter; ends the dialog with 214
// and posts the search when the link is open.
void comm_settings_on_open(UiWindow dlg);
// Close button: closes the link; the dialog stays.
void comm_settings_on_close_link(UiWindow dlg);
// The converter speed change after the Yes answer: udp_open, converter_set_baud on the
// converter chosen in the last discovery, udp_close, then the 9 s restart wait. The link
// stays closed. (The default change_converter_speed.)
void comm_settings_change_converter_speed(UiWindow dlg, int baud_index);
// Discovery button: converter list dialog, then the fields again.
void comm_settings_on_discovery(UiWindow dlg);
// Exit button and the frame's close box.
void comm_settings_on_exit(UiWindow dlg);

// The limit an out-of-range reply wait is set to (10 or 15000 ms), or 0 when it is in range.
int reply_wait_out_of_range(int value_ms);

#endif
