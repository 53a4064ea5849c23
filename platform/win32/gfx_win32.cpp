// GDI gfx backend: the seam's handles are the GDI handles themselves.
#include <windows.h>

#include "platform/gfx.h"
#include "platform/win32/ui_win32.h"

namespace {
HDC dc(GfxCanvas c) { return reinterpret_cast<HDC>(c); }
}

GfxCanvas gfx_get_canvas(UiWindow w) { return reinterpret_cast<GfxCanvas>(GetDC(reinterpret_cast<HWND>(w))); }
void gfx_release_canvas(UiWindow w, GfxCanvas c) { ReleaseDC(reinterpret_cast<HWND>(w), dc(c)); }

GfxPen gfx_create_pen(int width, uint32_t rgb) { return reinterpret_cast<GfxPen>(CreatePen(PS_SOLID, width, rgb)); }
GfxBrush gfx_create_brush(uint32_t rgb) { return reinterpret_cast<GfxBrush>(CreateSolidBrush(rgb)); }
GfxBrush gfx_white_brush(void) { return reinterpret_cast<GfxBrush>(GetStockObject(WHITE_BRUSH)); }
void gfx_delete_pen(GfxPen p) { if (p) DeleteObject(reinterpret_cast<HGDIOBJ>(p)); }
void gfx_delete_brush(GfxBrush b) { if (b) DeleteObject(reinterpret_cast<HGDIOBJ>(b)); }

GfxPen gfx_select_pen(GfxCanvas c, GfxPen p)
{
    return reinterpret_cast<GfxPen>(SelectObject(dc(c), reinterpret_cast<HGDIOBJ>(p)));
}

GfxBrush gfx_select_brush(GfxCanvas c, GfxBrush b)
{
    return reinterpret_cast<GfxBrush>(SelectObject(dc(c), reinterpret_cast<HGDIOBJ>(b)));
}

void gfx_rectangle(GfxCanvas c, int left, int top, int right, int bottom) { Rectangle(dc(c), left, top, right, bottom); }

void gfx_fill_rect(GfxCanvas c, int left, int top, int right, int bottom, GfxBrush b)
{
    RECT r{left, top, right, bottom};
    FillRect(dc(c), &r, reinterpret_cast<HBRUSH>(b));
}

void gfx_line(GfxCanvas c, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc(c), x0, y0, nullptr);
    LineTo(dc(c), x1, y1);
}

void gfx_text_color(GfxCanvas c, uint32_t rgb) { SetTextColor(dc(c), rgb); }
void gfx_transparent(GfxCanvas c, int on) { SetBkMode(dc(c), on ? TRANSPARENT : OPAQUE); }

void gfx_text(GfxCanvas c, int x, int y, const char *utf8)
{
    std::wstring w = ui_widen(utf8);
    TextOutW(dc(c), x, y, w.c_str(), static_cast<int>(w.size()));
}

GfxIcon gfx_load_icon(int resource_id)
{
    return reinterpret_cast<GfxIcon>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource_id)));
}

void gfx_draw_icon(GfxCanvas c, int x, int y, GfxIcon icon) { if (icon) DrawIcon(dc(c), x, y, reinterpret_cast<HICON>(icon)); }

uint32_t gfx_get_pixel(GfxCanvas c, int x, int y) { return GetPixel(dc(c), x, y); }

void gfx_screen_size(GfxCanvas c, int *width, int *height)
{
    *width = GetDeviceCaps(dc(c), HORZRES);
    *height = GetDeviceCaps(dc(c), VERTRES);
}

int gfx_capture_bgr24(GfxCanvas c, int left, int top, int width, int height, uint8_t *rows)
{
    // One BitBlt into a memory bitmap and one GetDIBits, instead of a GetPixel per pixel
    // (far too slow under Wine for a window's worth of pixels).
    if (width <= 0 || height <= 0 || !rows) return -1;
    HDC src = dc(c);
    HDC mem = CreateCompatibleDC(src);
    HBITMAP bmp = mem ? CreateCompatibleBitmap(src, width, height) : nullptr;
    int got = 0;
    if (bmp) {
        HGDIOBJ old = SelectObject(mem, bmp);
        BOOL copied = BitBlt(mem, 0, 0, width, height, src, left, top, SRCCOPY);
        SelectObject(mem, old);  // GetDIBits wants the bitmap out of every DC
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = height;  // positive: bottom-up rows
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        bi.bmiHeader.biCompression = BI_RGB;
        if (copied) got = GetDIBits(mem, bmp, 0, static_cast<UINT>(height), rows, &bi, DIB_RGB_COLORS);
        DeleteObject(bmp);
    }
    if (mem) DeleteDC(mem);
    return got == height ? 0 : -1;
}
