// Drawing seam: pens, brushes, lines, rectangles, text, icons and pixel reads on a window.
// Backends: win32/ (GDI) and headless/ (an in-memory RGB raster with the texts recorded).
#ifndef VOK_PLATFORM_GFX_H
#define VOK_PLATFORM_GFX_H

#include <stdint.h>

#include "platform/ui.h"

typedef struct GfxCanvasTag *GfxCanvas;  // HDC on Win32
typedef struct GfxPenTag *GfxPen;        // HPEN
typedef struct GfxBrushTag *GfxBrush;    // HBRUSH
typedef struct GfxIconTag *GfxIcon;      // HICON

// Colours are 0x00BBGGRR, the same packing as GDI's COLORREF.
#define GFX_RGB(r, g, b) ((uint32_t)(((r) & 0xFF) | (((g) & 0xFF) << 8) | (((b) & 0xFF) << 16)))
#define GFX_RED(c) ((int)((c) & 0xFF))
#define GFX_GREEN(c) ((int)(((c) >> 8) & 0xFF))
#define GFX_BLUE(c) ((int)(((c) >> 16) & 0xFF))

// Canvas of a window outside painting; give it back with gfx_release_canvas.
GfxCanvas gfx_get_canvas(UiWindow w);
void gfx_release_canvas(UiWindow w, GfxCanvas c);

GfxPen gfx_create_pen(int width, uint32_t rgb);  // solid
GfxBrush gfx_create_brush(uint32_t rgb);         // solid
GfxBrush gfx_white_brush(void);                  // stock object, never deleted
void gfx_delete_pen(GfxPen p);
void gfx_delete_brush(GfxBrush b);
// Select into the canvas; each returns the previously selected object.
GfxPen gfx_select_pen(GfxCanvas c, GfxPen p);
GfxBrush gfx_select_brush(GfxCanvas c, GfxBrush b);

// Rectangle (left, top)-(right, bottom), right/bottom exclusive: outline with the pen,
// inside with the brush.
void gfx_rectangle(GfxCanvas c, int left, int top, int right, int bottom);
// Fills (left, top)-(right, bottom) with `b` without an outline.
void gfx_fill_rect(GfxCanvas c, int left, int top, int right, int bottom, GfxBrush b);
// Line from (x0, y0) to (x1, y1) with the pen; the end point itself is not drawn.
void gfx_line(GfxCanvas c, int x0, int y0, int x1, int y1);

void gfx_text_color(GfxCanvas c, uint32_t rgb);
void gfx_transparent(GfxCanvas c, int on);  // transparent text background
void gfx_text(GfxCanvas c, int x, int y, const char *utf8);

// Icon resource of the program (standard 32 x 32); null when missing.
GfxIcon gfx_load_icon(int resource_id);
void gfx_draw_icon(GfxCanvas c, int x, int y, GfxIcon icon);

uint32_t gfx_get_pixel(GfxCanvas c, int x, int y);

// Size of the screen the canvas belongs to, in pixels (its horizontal and vertical resolution).
void gfx_screen_size(GfxCanvas c, int *width, int *height);
// Copies the canvas area (left, top) of width x height pixels in one block read into `rows`
// in the layout of a 24-bit bottom-up bitmap: the bottom row first, each row blue, green, red
// per pixel, padded with zero bytes to a multiple of 4. `rows` holds height x that row length.
// Returns 0, or -1 when the area could not be read (nothing promised about `rows` then).
int gfx_capture_bgr24(GfxCanvas c, int left, int top, int width, int height, uint8_t *rows);

#endif
