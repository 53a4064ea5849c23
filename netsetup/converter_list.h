// Converter list dialog (168, "IP参数选择:"): runs a discovery, lists the converters found
// with the host's own addresses, takes one into the link settings, moves it into the host's
// subnet or gives it a typed address (dialog 171).
#ifndef VOK_NETSETUP_CONVERTER_LIST_H
#define VOK_NETSETUP_CONVERTER_LIST_H

#include "platform/ui.h"

extern const UiDialogHandlers converter_list_handlers;

// The list line of converter i of converter_list into out (pure; cut to cap).
void converter_list_line(int i, char *out, int cap);
// Every local interface address (masks = 0) or mask (masks = 1) as dotted text + "--".
void local_if_text(int masks, char *out, int cap);

// Dialog start: wait cursor, full discovery with a message for each failure, then the lines.
void converter_list_on_init(UiWindow dlg);
// OK: the chosen converter into the link settings, offering to move it into the subnet.
void converter_list_on_ok(UiWindow dlg);
// "IP设定...": after a question, dialog 171 and the IP set of the chosen converter.
void converter_list_on_ip_setting(UiWindow dlg);

#endif
