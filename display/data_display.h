// Data display dialog (111): the units of one channel (or of all) with their IDs on the left,
// their decoded readings on the right, a timer-driven refresh, the numbering controls and
// the sensor list save. One function per dialog event, over the ID read and the readout.
#ifndef VOK_DISPLAY_DATA_DISPLAY_H
#define VOK_DISPLAY_DATA_DISPLAY_H

#include <stdint.h>

#include "app/state.h"
#include "platform/ui.h"

enum { DATA_DISPLAY_PERIOD_COUNT = 3, TIMER_DATA_DISPLAY = 2 };

// Refresh periods of the dialog in ms: 500, 1500, 3000 (buttons "0.5 s", "1.5 s", "3.0 s").
extern const int DataDisplayPeriodTable[DATA_DISPLAY_PERIOD_COUNT];

// The dialog's own state; it survives closing and reopening the dialog.
typedef struct DataDisplay {
    int refreshing;           // 1 while the refresh timer runs
    int period_index;         // into DataDisplayPeriodTable, start 1
    int selected;             // unit selected in the lists; the numbering controls act on it
    int top_index;            // top line the lists keep while the automatic sort marks units
    int keep_top;             // 1 while the last readout marked a unit
    int readout_top;          // top line of the readout running now (the sort step moves it)
    uint8_t clicked_type;     // type code and index of the unit last double-clicked
    uint8_t clicked_index;
    int next_number;          // next number the automatic sort hands out
    int download_unchanged;   // answer to the second download question
} DataDisplay;

// Automatic sort parameters (kept while the program runs).
typedef struct AutoSort {
    int rising;               // 1: trigger above critical_temp; 0: below
    float critical_temp;      // °C
    int enabled;              // 1: the sort runs during the refresh
    uint8_t start_index;      // first position numbered and first number handed out
    uint8_t end_index;        // last number
} AutoSort;

extern DataDisplay data_display;
extern AutoSort auto_sort;

// What other parts of the program hang into this dialog; a null entry does nothing.
typedef struct DataDisplayHooks {
    void (*set_number)(UiWindow dlg);     // "编号设定"
    void (*cancel_number)(UiWindow dlg);  // "编号取消"
    void (*download)(UiWindow dlg);       // "编号下载"
    void (*sort_params)(UiWindow dlg);    // "排序参数..." (never for "ALL")
    // One step of the automatic sort for unit i of a channel readout with its temperature v.
    void (*auto_sort_step)(UiWindow dlg, int i, float v);
    const UiDialogHandlers *itu_settings;  // dialog 165
    const UiDialogHandlers *itu_output;    // dialog 158
} DataDisplayHooks;

extern DataDisplayHooks data_display_hooks;
extern const UiDialogHandlers data_display_handlers;

// Puts DataDisplay and AutoSort back to their start values (program start; tests).
void data_display_reset(void);

// ---- Dialog events ----
void data_display_open(UiWindow dlg);
void data_display_on_channel(UiWindow dlg, int channel);  // CH0..CH7, 8 = "ALL"
void data_display_on_period(UiWindow dlg, int index);
void data_display_on_start(UiWindow dlg);
void data_display_on_stop(UiWindow dlg);
void data_display_on_timer(UiWindow dlg, int timer_id);
void data_display_on_select(UiWindow dlg, int list_id);
void data_display_on_dblclk(UiWindow dlg, int list_id);
void data_display_on_save(UiWindow dlg);
void data_display_on_exit(UiWindow dlg);

// Enables the six numbering controls when the module's sort numbers are valid and the
// channel carries numbered 1-Wire units; else disables them.
void update_numbering_controls(UiWindow dlg);
// Models 4562/4563: the reader the shown channel needs (IDs first when with_ids is 1).
void show_channel(UiWindow dlg, int with_ids);
// show_channel with IDs, the readings only when the IDs came. 0 when both were read, else
// the failing reader's result (its message or line already shown).
int show_channel_fresh(UiWindow dlg);

// The module the dialog shows: ModuleTable.current (entry 0 when out of range).
Module &displayed_module(void);

// ---- Readers: the lists of the dialog filled from the bus ----
// ID list. 0 done, 2 no units or no answer (message shown), 3 wrong reply.
int read_sensor_ids(UiWindow dlg, int channel);
int list_itus(UiWindow dlg, int channel);
int list_all_units(UiWindow dlg);
// Reading list. 0 done, 1 channel without units, 2 the model has none there or no answer,
// 3 wrong reply, -5 (read_sensor_values) calibration values out of tolerance.
int read_sensor_values(UiWindow dlg, int channel);
int read_itu_values(UiWindow dlg);
int read_all_values(UiWindow dlg);

#endif
