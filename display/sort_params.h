// Automatic sort parameter dialog (125, "自动排序参数设定"): trigger direction, index range,
// critical temperature and the enable switch of the automatic sort.
#ifndef VOK_DISPLAY_SORT_PARAMS_H
#define VOK_DISPLAY_SORT_PARAMS_H

#include "platform/ui.h"

// °C, the scroll bar's range.
const float CRITICAL_TEMP_MIN = -30.0f;
const float CRITICAL_TEMP_MAX = 60.0f;

// Results of apply_sort_params.
enum {
    SORT_PARAMS_OK = 0,
    SORT_PARAMS_NOT_A_NUMBER = 1,
    SORT_PARAMS_START_RANGE = 2,
    SORT_PARAMS_END_RANGE = 3,     // the end index was set to the channel's last index
    SORT_PARAMS_END_BELOW_START = 4,
};

extern const UiDialogHandlers sort_params_handlers;

// "排序参数...": runs the dialog modally over the data display.
void sort_params_open(UiWindow owner);

// Dialog events.
void sort_params_on_init(UiWindow dlg);
void sort_params_on_scroll(UiWindow dlg, int notify);  // UI_SCROLL_LINE_UP / _DOWN
// Stores direction and enable switch, then checks and stores the index range of the
// current channel, with a message for each refusal. One of the SORT_PARAMS_ results.
int apply_sort_params(UiWindow dlg);

#endif
