// Curve snapshot writer: area, headers, one block capture of the pixels, and a file that is
// moved into place only once it is complete.
#include "display/snapshot.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <system_error>

#include "platform/gfx.h"

namespace {
const char TempName[] = "3900wave.tmp";

void put16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// Writes the three parts; the SNAPSHOT_ result of the first that fails.
int write_parts(FILE *f, const uint8_t *file_header, const uint8_t *info_header, const uint8_t *pixels, size_t size)
{
    if (fwrite(file_header, 1, BMP_FILE_HEADER_SIZE, f) != BMP_FILE_HEADER_SIZE) return SNAPSHOT_FILE_HEADER;
    if (fwrite(info_header, 1, BMP_INFO_HEADER_SIZE, f) != BMP_INFO_HEADER_SIZE) return SNAPSHOT_INFO_HEADER;
    if (fwrite(pixels, 1, size, f) != size) return SNAPSHOT_PIXELS;
    return SNAPSHOT_OK;
}
}  // namespace

SnapshotArea snapshot_area(const UiRect *rect, int screen_w, int screen_h)
{
    int left = rect->left, top = rect->top + 10, right = rect->right, bottom = rect->bottom - 60;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > screen_w) right = screen_w;
    if (bottom > screen_h) bottom = screen_h;
    SnapshotArea a{left, top, right - left, bottom - top};
    a.width -= a.width & 1;
    a.height -= a.height & 1;
    return a;
}

int snapshot_row_bytes(int width) { return (width * 3 + 3) & ~3; }

void snapshot_headers(int width, int height, uint8_t file_header[BMP_FILE_HEADER_SIZE],
                      uint8_t info_header[BMP_INFO_HEADER_SIZE])
{
    uint32_t pixel_bytes = static_cast<uint32_t>(snapshot_row_bytes(width)) * static_cast<uint32_t>(height);
    for (int k = 0; k < BMP_FILE_HEADER_SIZE; ++k) file_header[k] = 0;
    for (int k = 0; k < BMP_INFO_HEADER_SIZE; ++k) info_header[k] = 0;
    put16(file_header, 0x4D42);
    put32(file_header + 2, BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE + pixel_bytes);
    put32(file_header + 10, BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE);
    put32(info_header, BMP_INFO_HEADER_SIZE);
    put32(info_header + 4, static_cast<uint32_t>(width));
    put32(info_header + 8, static_cast<uint32_t>(height));
    put16(info_header + 12, 1);
    put16(info_header + 14, 24);
}

int save_curve_snapshot(const UiRect *rect, UiWindow window)
{
    if (rect->right <= rect->left || rect->bottom <= rect->top) return SNAPSHOT_EMPTY;
    GfxCanvas c = gfx_get_canvas(window);
    int screen_w = 0, screen_h = 0;
    gfx_screen_size(c, &screen_w, &screen_h);
    SnapshotArea a = snapshot_area(rect, screen_w, screen_h);
    // A client area too small to leave any rows between the cut-offs has nothing to save.
    if (a.width <= 0 || a.height <= 0) {
        gfx_release_canvas(window, c);
        return SNAPSHOT_EMPTY;
    }
    size_t size = static_cast<size_t>(snapshot_row_bytes(a.width)) * static_cast<size_t>(a.height);
    auto *pixels = static_cast<uint8_t *>(calloc(size, 1));
    int captured = pixels ? gfx_capture_bgr24(c, a.left, a.top, a.width, a.height, pixels) : -1;
    gfx_release_canvas(window, c);
    if (captured != 0) {
        free(pixels);
        return SNAPSHOT_PIXELS;
    }
    for (int r = 0; r < a.height; ++r) {  // padding bytes are zero whatever the capture left
        uint8_t *row = pixels + static_cast<size_t>(r) * static_cast<size_t>(snapshot_row_bytes(a.width));
        for (int k = a.width * 3; k < snapshot_row_bytes(a.width); ++k) row[k] = 0;
    }

    uint8_t file_header[BMP_FILE_HEADER_SIZE], info_header[BMP_INFO_HEADER_SIZE];
    snapshot_headers(a.width, a.height, file_header, info_header);
    FILE *f = fopen(TempName, "wb");
    if (!f) {
        free(pixels);
        return SNAPSHOT_CREATE;
    }
    int result = write_parts(f, file_header, info_header, pixels, size);
    free(pixels);
    if (fclose(f) != 0 && result == SNAPSHOT_OK) result = SNAPSHOT_PIXELS;
    if (result == SNAPSHOT_OK) {
        std::error_code ec;
        std::filesystem::rename(TempName, SNAPSHOT_FILE_NAME, ec);  // replaces an older file
        if (ec) result = SNAPSHOT_CREATE;
    }
    if (result != SNAPSHOT_OK) remove(TempName);
    return result;
}
