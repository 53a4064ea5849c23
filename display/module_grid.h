// The module grid of the main window: one icon per module found, eight to a row, with the
// module's address under it; and the hit test that maps a click to a module.
#ifndef VOK_DISPLAY_MODULE_GRID_H
#define VOK_DISPLAY_MODULE_GRID_H

#include "platform/gfx.h"

enum { GRID_ORIGIN = 20, GRID_STEP = 82, GRID_ICON = 32, GRID_COLUMNS = 8 };

// Icon resource for a model: selected or plain; 1002 for models without their own pair.
int module_icon_id(int model, int selected);

// Loads every icon of the table (at window creation). Safe to call again.
void grid_load_icons(void);

// Index of the module whose cell holds (x, y), or -1 (gap, outside, or no module there).
int module_cell_at(int y, int x);

// -1: no module's cell; 0: the cell of module_table.current; -2: another module's cell.
int hit_test_module(int y, int x);

// White background; when a search found modules, every module's icon and address.
void draw_module_grid(GfxCanvas c, int client_right, int client_bottom);

// Icon and "%02XH" address of module i in its cell; red text when selected, else black.
void draw_module_icon(GfxCanvas c, int i, int selected);

#endif
