// Advice shown before a view of a module with a channel fault (curve view, data display).
#ifndef VOK_APP_FAULT_ADVICE_H
#define VOK_APP_FAULT_ADVICE_H

// The advice text for a module's fault state and channel error / warning flags; null when
// the fault state is 0 or 0x80 (nothing to say).
const char *fault_advice_text(int fault_state, int chan_error, int chan_warning);

#endif
