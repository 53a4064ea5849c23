// Curve display settings: dialog 110 (curve channel, four curve slots, temperature or
// humidity curves, both scales, sampling step) and dialog 116 (model 4500: which of its two
// readings are drawn, humidity scale, sampling step). Both work on real_time directly.
#ifndef VOK_DISPLAY_CURVE_PARAMS_H
#define VOK_DISPLAY_CURVE_PARAMS_H

#include "app/state.h"
#include "platform/ui.h"

extern const UiDialogHandlers curve_params_handlers;      // dialog 110
extern const UiDialogHandlers humidity_display_handlers;  // dialog 116

// Values the scroll bars step.
enum { SCALE_TEMP_LOW, SCALE_TEMP_HIGH, SCALE_HUM_LOW, SCALE_HUM_HIGH, SCALE_PERIOD };

// One arrow click on the bar of `which` (up = 1 for the upper arrow): 0.5 degree, 1 %RH or
// one period step, each only while its rule allows; the period not below `min_period`.
// Returns 1 when the value changed.
int curve_setting_step(int which, int up, int min_period);
// Text of a value as its edit shows it ("%+04.1f", or the period in seconds as "%03.1f").
void curve_setting_text(int which, char *out, int cap);

// A scroll bar of a curve dialog, the edit beside it and the value it steps.
typedef struct CurveBar {
    int bar, edit, which;
} CurveBar;
// Shows each bar's value in its edit.
void curve_bars_show(UiWindow dlg, const CurveBar *bars, int count);
// An arrow click on control `id`: when it is one of the bars, steps its value (period not
// below `min_period`) and rewrites the edit. Returns 1 when `id` was a bar's arrow.
int curve_bars_command(UiWindow dlg, const CurveBar *bars, int count, int id, int notify, int min_period);

// ITU candidate lists of the curve channel, rebuilt by each fill of dialog 110.
typedef struct CurveCandidates {
    int hum_count;                      // HumList: ITUs that can carry a humidity curve
    int hum[UNITS_PER_CHANNEL];
    int th_count;                       // ThList: temperature-humidity ITUs of a TH channel
    int th[UNITS_PER_CHANNEL];
} CurveCandidates;
extern CurveCandidates curve_candidates;

// Builds both lists from ItuTypeTable for module m's channel (positions below its unit count).
void build_curve_candidates(const Module *m, int channel);

// Dialog 110 events.
void curve_params_on_init(UiWindow dlg);
void curve_params_fill(UiWindow dlg);
void curve_params_on_channel(UiWindow dlg);
void curve_params_on_mode(UiWindow dlg, int temperature);
void curve_params_on_confirm(UiWindow dlg);

// Dialog 116 events.
void humidity_display_on_init(UiWindow dlg);
void humidity_display_on_confirm(UiWindow dlg);

#endif
