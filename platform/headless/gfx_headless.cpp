// Headless gfx backend: draws into the window's in-memory RGB raster; texts and icons
// are recorded with position and colour (no glyphs are rasterised).
#include <cstdlib>

#include "platform/headless/ui_headless.h"

namespace {
struct Obj {
    bool pen;
    int width;
    uint32_t rgb;
};
int g_live_pens = 0;
int g_live_brushes = 0;
Obj g_white{false, 0, GFX_RGB(255, 255, 255)};
Obj g_black_pen{true, 1, GFX_RGB(0, 0, 0)};

headless::Canvas &cv(GfxCanvas c) { return *reinterpret_cast<headless::Canvas *>(c); }
const Obj *obj(const void *p) { return static_cast<const Obj *>(p); }

void plot(headless::Canvas &c, int x, int y, uint32_t rgb)
{
    if (x >= 0 && y >= 0 && x < c.width && y < c.height) c.px[static_cast<size_t>(y) * static_cast<size_t>(c.width) + static_cast<size_t>(x)] = rgb;
}

uint32_t pen_color(headless::Canvas &c)
{
    return c.pen ? obj(c.pen)->rgb : g_black_pen.rgb;
}
}  // namespace

namespace headless {
uint32_t Canvas::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
    return px[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}
int g_screen_height = 768;
void set_screen_height(int px) { g_screen_height = px; }
int live_pens() { return g_live_pens; }
int live_brushes() { return g_live_brushes; }
}  // namespace headless

GfxCanvas gfx_get_canvas(UiWindow w) { return reinterpret_cast<GfxCanvas>(&headless::window(w).canvas); }
void gfx_release_canvas(UiWindow, GfxCanvas) {}

GfxPen gfx_create_pen(int width, uint32_t rgb)
{
    g_live_pens++;
    return reinterpret_cast<GfxPen>(new Obj{true, width, rgb});
}

GfxBrush gfx_create_brush(uint32_t rgb)
{
    g_live_brushes++;
    return reinterpret_cast<GfxBrush>(new Obj{false, 0, rgb});
}

GfxBrush gfx_white_brush(void) { return reinterpret_cast<GfxBrush>(&g_white); }

void gfx_delete_pen(GfxPen p)
{
    if (!p) return;
    g_live_pens--;
    delete reinterpret_cast<Obj *>(p);
}

void gfx_delete_brush(GfxBrush b)
{
    if (!b || reinterpret_cast<Obj *>(b) == &g_white) return;
    g_live_brushes--;
    delete reinterpret_cast<Obj *>(b);
}

GfxPen gfx_select_pen(GfxCanvas c, GfxPen p)
{
    GfxPen old = cv(c).pen;
    cv(c).pen = p;
    return old;
}

GfxBrush gfx_select_brush(GfxCanvas c, GfxBrush b)
{
    GfxBrush old = cv(c).brush;
    cv(c).brush = b;
    return old;
}

void gfx_fill_rect(GfxCanvas c, int left, int top, int right, int bottom, GfxBrush b)
{
    uint32_t rgb = b ? obj(b)->rgb : g_white.rgb;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) plot(cv(c), x, y, rgb);
}

void gfx_rectangle(GfxCanvas c, int left, int top, int right, int bottom)
{
    auto &k = cv(c);
    if (k.brush) gfx_fill_rect(c, left + 1, top + 1, right - 1, bottom - 1, k.brush);
    uint32_t rgb = pen_color(k);
    for (int x = left; x < right; ++x) {
        plot(k, x, top, rgb);
        plot(k, x, bottom - 1, rgb);
    }
    for (int y = top; y < bottom; ++y) {
        plot(k, left, y, rgb);
        plot(k, right - 1, y, rgb);
    }
}

void gfx_line(GfxCanvas c, int x0, int y0, int x1, int y1)
{
    // Bresenham, end point excluded as GDI's LineTo does.
    auto &k = cv(c);
    uint32_t rgb = pen_color(k);
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        plot(k, x0, y0, rgb);
        int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

void gfx_text_color(GfxCanvas c, uint32_t rgb) { cv(c).text_color = rgb; }
void gfx_transparent(GfxCanvas c, int on) { cv(c).transparent = on != 0; }

void gfx_text(GfxCanvas c, int x, int y, const char *utf8)
{
    auto &k = cv(c);
    k.texts.push_back(headless::TextRecord{x, y, k.text_color, k.transparent, utf8 ? utf8 : ""});
}

GfxIcon gfx_load_icon(int resource_id)
{
    // The icon's "handle" is its resource id; ids are positive, so it is never null.
    return reinterpret_cast<GfxIcon>(static_cast<intptr_t>(resource_id));
}

void gfx_draw_icon(GfxCanvas c, int x, int y, GfxIcon icon)
{
    auto &k = cv(c);
    int id = static_cast<int>(reinterpret_cast<intptr_t>(icon));
    k.icons.push_back(headless::IconRecord{x, y, id});
    // A solid 32 x 32 block whose colour encodes the id, so pixel tests see where it went.
    uint32_t rgb = GFX_RGB(id & 0xFF, (id >> 8) & 0xFF, 0x80);
    for (int yy = 0; yy < 32; ++yy)
        for (int xx = 0; xx < 32; ++xx) plot(k, x + xx, y + yy, rgb);
}

uint32_t gfx_get_pixel(GfxCanvas c, int x, int y) { return cv(c).at(x, y); }

void gfx_screen_size(GfxCanvas, int *width, int *height)
{
    *width = ui_screen_width();
    *height = headless::g_screen_height;
}

int gfx_capture_bgr24(GfxCanvas c, int left, int top, int width, int height, uint8_t *rows)
{
    if (width <= 0 || height <= 0 || !rows) return -1;
    const auto &k = cv(c);
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    for (int r = 0; r < height; ++r) {
        uint8_t *row = rows + static_cast<size_t>(height - 1 - r) * stride;
        for (int col = 0; col < width; ++col) {
            // Outside the raster reads as black, like screen parts no window covers.
            uint32_t rgb = k.at(left + col, top + r);
            if (rgb == 0xFFFFFFFFu) rgb = 0;
            row[3 * col] = static_cast<uint8_t>(GFX_BLUE(rgb));
            row[3 * col + 1] = static_cast<uint8_t>(GFX_GREEN(rgb));
            row[3 * col + 2] = static_cast<uint8_t>(GFX_RED(rgb));
        }
        for (size_t pad = static_cast<size_t>(width) * 3; pad < stride; ++pad) row[pad] = 0;
    }
    return 0;
}
