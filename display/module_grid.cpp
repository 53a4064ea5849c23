// Module grid: icon table, cell geometry, drawing and hit test.
#include "display/module_grid.h"

#include <stdio.h>

#include "app/state.h"
#include "resources/resource_ids.h"

namespace {
struct IconPair {
    int model, selected, plain;
};
const IconPair IconTable[] = {
    {3901, IDI_3901_SEL, IDI_3901}, {3902, IDI_3902_SEL, IDI_3902}, {3903, IDI_3903_SEL, IDI_3903},
    {4101, IDI_4101_SEL, IDI_4101}, {4102, IDI_4102_SEL, IDI_4102}, {4103, IDI_4103_SEL, IDI_4103},
    {4300, IDI_4300_SEL, IDI_4300}, {4301, IDI_4301_SEL, IDI_4301}, {4303, IDI_4303_SEL, IDI_4303},
    {4500, IDI_4500_SEL, IDI_4500}, {4501, IDI_4501_SEL, IDI_4501}, {4560, IDI_4560_SEL, IDI_4560},
    {4562, IDI_4562_SEL, IDI_4562}, {4563, IDI_4563_SEL, IDI_4563}, {4598, IDI_4598_SEL, IDI_4598},
};
enum { ICON_PAIRS = sizeof IconTable / sizeof IconTable[0] };

// Loaded handles: [pair][0 = selected, 1 = plain], and the generic icon.
GfxIcon LoadedIcons[ICON_PAIRS][2];
GfxIcon OtherIcon;

// Cell k (0..7) along one axis holds the coordinate, or -1.
int cell_of(int coordinate)
{
    for (int k = 0; k < GRID_COLUMNS; ++k) {
        int start = GRID_ORIGIN + GRID_STEP * k;
        if (coordinate >= start && coordinate <= start + GRID_ICON) return k;
    }
    return -1;
}

GfxIcon icon_for(int model, int selected)
{
    for (int k = 0; k < ICON_PAIRS; ++k)
        if (IconTable[k].model == model) {
            GfxIcon &h = LoadedIcons[k][selected ? 0 : 1];
            if (!h) h = gfx_load_icon(selected ? IconTable[k].selected : IconTable[k].plain);
            return h;
        }
    if (!OtherIcon) OtherIcon = gfx_load_icon(IDI_MODULE_OTHER);
    return OtherIcon;
}
}  // namespace

int module_icon_id(int model, int selected)
{
    for (const IconPair &p : IconTable)
        if (p.model == model) return selected ? p.selected : p.plain;
    return IDI_MODULE_OTHER;
}

void grid_load_icons(void)
{
    for (int k = 0; k < ICON_PAIRS; ++k) {
        LoadedIcons[k][0] = gfx_load_icon(IconTable[k].selected);
        LoadedIcons[k][1] = gfx_load_icon(IconTable[k].plain);
    }
    OtherIcon = gfx_load_icon(IDI_MODULE_OTHER);
}

int module_cell_at(int y, int x)
{
    int row = cell_of(y), column = cell_of(x);
    if (row < 0 || column < 0) return -1;
    int index = row * GRID_COLUMNS + column;
    if (index >= module_table.count || index >= MODULE_MAX) return -1;
    return index;
}

int hit_test_module(int y, int x)
{
    int index = module_cell_at(y, x);
    if (index < 0) return -1;
    return index == module_table.current ? 0 : -2;
}

void draw_module_icon(GfxCanvas c, int i, int selected)
{
    const Module &m = module_table.module[i];
    int x = GRID_ORIGIN + GRID_STEP * (i % GRID_COLUMNS);
    int y = GRID_ORIGIN + GRID_STEP * (i / GRID_COLUMNS);
    gfx_draw_icon(c, x, y, icon_for(m.model, selected));
    char text[8];
    snprintf(text, sizeof text, "%02XH", m.address);
    gfx_transparent(c, 1);
    gfx_text_color(c, selected ? GFX_RGB(255, 0, 0) : GFX_RGB(0, 0, 0));
    gfx_text(c, x, y + 40, text);
}

void draw_module_grid(GfxCanvas c, int client_right, int client_bottom)
{
    gfx_fill_rect(c, 0, 0, client_right, client_bottom, gfx_white_brush());
    if (module_table.ready != 1) return;
    int count = module_table.count < MODULE_MAX ? module_table.count : MODULE_MAX;
    for (int i = 0; i < count; ++i) draw_module_icon(c, i, i == module_table.current);
}
