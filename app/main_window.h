// Main window logic, one function per window message: creation with the screen test and the
// settings load, size snapping, painting, mouse selection, the menu commands and the close
// sequence. The Win32 window procedure only cracks messages and calls these.
#ifndef VOK_APP_MAIN_WINDOW_H
#define VOK_APP_MAIN_WINDOW_H

#include "app/fault_advice.h"
#include "app/state.h"
#include "platform/gfx.h"
#include "platform/ui.h"

// Dialogs and views that other parts of the program provide; each entry left null makes
// its command do nothing. Filled once at start-up, before the window is created.
typedef struct MainWindowFeatures {
    const UiDialogHandlers *module_params;    // dialog 1011
    const UiDialogHandlers *data_display;     // dialog 111
    const UiDialogHandlers *terminal;         // dialog 1010
    const UiDialogHandlers *reset_countdown;  // dialog 113
    const UiDialogHandlers *digital_io;       // dialog 117 (model 4500)
    const UiDialogHandlers *io_test;          // dialog 147 (model 4501)
    int (*reset_module)(void);                // soft reset of the current module, 0 = sent
    void (*create_drawing)(void);             // pens and brushes of the curve view
    void (*delete_drawing)(void);             // must tolerate a second call
    void (*compute_plot)(const UiRect *client);
    void (*realtime_paint)(UiWindow w, GfxCanvas c);
    void (*realtime_tick)(UiWindow w);        // timer 100
    void (*realtime_command)(UiWindow w, int id);  // buttons 1200-1203
    void (*realtime_destroy_buttons)(UiWindow w);
} MainWindowFeatures;

extern MainWindowFeatures main_window_features;

// Create: screen width test, start directory, settings, module table, drawing objects,
// icons, menu state. Returns 0, or -1 when the screen is too narrow (quit posted).
int main_window_on_create(UiWindow w);
// Size: the window goes back to the rectangle recorded at creation.
void main_window_on_size(UiWindow w);
// Paint: curve view while active, else the module grid.
void main_window_on_paint(UiWindow w, GfxCanvas c);
// Left button: selects the module whose grid cell holds the point and repaints.
void main_window_on_lbutton(UiWindow w, int x, int y);
// Double click on the selected module's cell: data display dialog.
void main_window_on_dblclk(UiWindow w, int x, int y);
// Right button on the selected module's cell: module parameters dialog.
void main_window_on_rbutton(UiWindow w, int x, int y);
// Timer 100: one sample of the curve view.
void main_window_on_timer(UiWindow w, int timer_id);
// Menu commands 100-109 and the curve view's buttons 1200-1203.
void main_window_on_command(UiWindow w, int id);
// Close and destroy (the same sequence for both): link closed, drawing objects deleted,
// settings saved, quit posted.
void main_window_on_close(UiWindow w);

// Window and client rectangles recorded at creation.
extern UiRect main_window_rect;
extern UiRect main_client_rect;

#endif
