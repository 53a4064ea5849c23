// Real-time curve view of the main window: the plot frame with its axes, legend and buttons,
// the three sample readers (1-Wire style ITUs, model 4500, temperature-humidity ITUs), the
// sample timer and the view's buttons. Samples are not stored: curves exist as pixels only.
#ifndef VOK_DISPLAY_REALTIME_H
#define VOK_DISPLAY_REALTIME_H

#include <stdint.h>

#include "app/state.h"
#include "platform/gfx.h"
#include "platform/ui.h"

// The plot rectangle, fixed when the main window is created: 600 x 400 pixels.
typedef struct CurvePlot {
    int left, top, right, bottom;
} CurvePlot;
extern CurvePlot curve_plot;
// The main window's client rectangle as recorded at its creation (the snapshot's area).
extern UiRect curve_client_rect;

enum {
    PLOT_WIDTH = 600,
    PLOT_HEIGHT = 400,
    CURVE_SLOTS = 4,
    RT_BUTTON_WIDTH = 100,
    RT_BUTTON_HEIGHT = 30,
};

// Pens and brushes of the view, made with the main window and deleted when it closes.
typedef struct CurveDrawing {
    GfxBrush plot_brush;      // dark green plot background
    GfxBrush silver_brush;    // view background and value boxes
    GfxPen curve_pens[CURVE_SLOTS];  // red, yellow, green, blue
    GfxPen white_pen;         // lower and right plot border
    GfxPen black_pen;         // upper and left plot border, grid
    GfxPen silver_pen;        // outline of the background and of the plot
} CurveDrawing;
extern CurveDrawing curve_drawing;

// Colours of the view (0x00BBGGRR).
#define CURVE_COLOR_PLOT GFX_RGB(0, 128, 0)
#define CURVE_COLOR_SILVER GFX_RGB(192, 192, 192)
#define CURVE_COLOR_NAVY GFX_RGB(0, 0, 128)
extern const uint32_t CurveSlotColors[CURVE_SLOTS];

// ---- Which module gets what (the current module's model, type code and channel kinds) ----
// Reader A: type codes 128..131, model 4501, or a ChannelKind.a channel of 4562/4563.
int uses_reader_a(const Module *m, int channel);
// Reader B: model 4500.
int uses_reader_b(const Module *m);
// Reader C (a temperature-humidity channel): model 4560, or a ChannelKind.b channel of
// 4562/4563.
int is_th_channel(const Module *m, int channel);
// Humidity curves possible: models 4301, 4303, 4560; 4103 on channel 1 or 2; a TH channel.
int humidity_allowed(const Module *m, int channel);
// Modules with ITU curves, a value axis and the curve parameters dialog: type codes
// 128..131 and models 4501, 4560, 4562, 4563.
int has_curve_dialog(const Module *m);

// The module whose curves the view shows (module_table.current, kept in range).
Module *realtime_module(void);

// ---- Drawing objects and frame ----
void realtime_create_drawing(void);
// Deletes the objects; a second call does nothing.
void realtime_delete_drawing(void);
// Plot rectangle from the client rectangle: left + 80, top + 50, left + 680, top + 450;
// the client rectangle is kept for the snapshot.
void realtime_compute_plot(const UiRect *client);
// Paints the whole view on `c` (background, plot, grid, labels, legend) and makes the four
// buttons when they are not shown. Clears curve slots first while real_time.restart is 1.
void draw_curve_frame(UiWindow w, GfxCanvas c);
// Removes the four buttons (when shown) and clears real_time.buttons_shown.
void realtime_destroy_buttons(UiWindow w);

// ---- Sampling ----
// Decoded state of one curve sample.
enum { CURVE_SAMPLE_OK = 0, CURVE_SAMPLE_ERROR = 1 };
// Reader A decoding of record `rec` of an ITU of type `type`; `points` is the sample index
// of the sweep and `held` the value a glitch reading is replaced by. Returns
// CURVE_SAMPLE_OK with *v set, or CURVE_SAMPLE_ERROR (error pattern, or a reading this
// type does not give in the mode).
int curve_decode_a(const uint8_t rec[4], int type, int temperature_mode, int points, float held, float *v);
// Reader C decoding (types 0 and 1 of the temperature-humidity modules).
int curve_decode_c(const uint8_t rec[4], int type, int temperature_mode, float *v);
// Reader B: the reading "ddd.d" at `text` (five characters).
float curve_decode_b(const uint8_t *text);
// Plot row of value v on the scale low..high (truncated toward zero), for plot bottom `bottom`.
int curve_y(float v, float low, float high, int bottom);

// One sample of each reader: sends the read, draws every used slot's value box and segment.
// 0 on success, 1 when the exchange failed (port discarded; reader B also says so).
int read_curve_sample_a(UiWindow w);
int read_curve_sample_b(UiWindow w);
int read_curve_sample_c(UiWindow w);

// Timer 100: kills the timer, runs the readers for the module, re-arms on success, stops the
// sweep with its message on failure and after max_points samples.
void realtime_on_tick(UiWindow w);
// Buttons 1200 (start), 1201 (parameters), 1202 (exit), 1203 (save curve).
void realtime_on_command(UiWindow w, int id);

#endif
