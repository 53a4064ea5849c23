// IP setting dialog (171, "IP设定"): the new address of the chosen converter, checked
// against the host's subnets and the LAN before it may be sent.
#ifndef VOK_NETSETUP_IP_SETTING_H
#define VOK_NETSETUP_IP_SETTING_H

#include "platform/ui.h"

extern const UiDialogHandlers ip_entry_handlers;

// Results of validate_new_ip besides 0 (the address may be given to the converter).
enum {
    NEW_IP_LOOPBACK = -1,
    NEW_IP_CLASS = -2,          // class D or above
    NEW_IP_HOST = -3,           // one of this computer's addresses
    NEW_IP_NETWORK = -4,        // a subnet's network address
    NEW_IP_BROADCAST = -5,      // a subnet's broadcast address
    NEW_IP_PROBE_FAILED = -6,
    NEW_IP_IN_USE = -7,         // another device answers ARP for it
    NEW_IP_OTHER_SUBNET = -8,   // not in the subnet of the converter's interface
};

// Checks converter_list.new_ip for converter_list.selected; each refusal shows its message
// (owned by `dlg`, the probe's by the main window) and returns its code.
int validate_new_ip(UiWindow dlg);

// Dialog start: the converter's address into the edit; a converter of another subnet closes
// the dialog with a message.
void ip_entry_on_init(UiWindow dlg);
// Confirm: parses and checks the address; a valid one ends the dialog with 1.
void ip_entry_on_confirm(UiWindow dlg);

#endif
