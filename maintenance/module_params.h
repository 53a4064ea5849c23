// Module parameters dialog (1011): what the search read about the selected module, its fault
// lamps and counts, and the address and baud rate write; the alarm threshold dialog (1198).
#ifndef VOK_MAINTENANCE_MODULE_PARAMS_H
#define VOK_MAINTENANCE_MODULE_PARAMS_H

#include <stdint.h>

#include "app/state.h"
#include "platform/ui.h"

extern const UiDialogHandlers module_params_handlers;
extern const UiDialogHandlers alarm_settings_handlers;

// Results of module_params_apply.
enum {
    PARAMS_WRITTEN = 0,      // the module acknowledged the write
    PARAMS_UNCHANGED = 1,    // nothing to write
    PARAMS_DECLINED = -2,    // the user answered No
    PARAMS_NO_ANSWER = -3,   // the module did not answer
    PARAMS_BAD_REPLY = -4,   // the module answered without '!'
    PARAMS_BAD_ADDRESS = -5, // the address field is not two upper-case hex digits
};

// Dialog opened: fault advice, fields, lamps, counts and buttons for the current module.
void module_params_on_init(UiWindow dlg);
// The confirm procedure: asks, writes %AANNTTCCFF and reports; a PARAMS_ result.
int module_params_apply(UiWindow dlg);
// Confirm button: the write, then the link, table and search steps that follow it.
void module_params_on_confirm(UiWindow dlg);
// "更多..." and "存储...": alarm thresholds or the storage and search mode dialog by model.
void module_params_on_more(UiWindow dlg);
void module_params_on_storage(UiWindow dlg);

// Alarm threshold dialog opened: the fields from alarm_settings for the current module's model.
void alarm_settings_on_init(UiWindow dlg);

// The 12-byte write %AANNTTCCFF+CR of module m to the typed address characters and the
// baud index. Returns the frame length (12).
int build_module_config_write(const Module *m, const char typed[2], int baud_index, uint8_t *out, int cap);
// Bit n of v becomes bit 7-n (the alarm enable masks are shown lowest unit first).
uint8_t reverse_bits(uint8_t v);
// 1 when the model's alarm thresholds are carried in its counts (4101-4103).
int model_has_alarms(int model);

#endif
