// Curve snapshot: what the main window's client area shows, saved as the uncompressed 24-bit
// bottom-up bitmap 3900wave.bmp in the current directory.
#ifndef VOK_DISPLAY_SNAPSHOT_H
#define VOK_DISPLAY_SNAPSHOT_H

#include <stdint.h>

#include "platform/ui.h"

#define SNAPSHOT_FILE_NAME "3900wave.bmp"

enum {
    SNAPSHOT_OK = 0,
    SNAPSHOT_EMPTY = -1,        // the rectangle is empty; nothing written
    SNAPSHOT_CREATE = -5,       // the file cannot be created (or put in place)
    SNAPSHOT_FILE_HEADER = -6,  // writing the 14-byte file header failed
    SNAPSHOT_INFO_HEADER = -7,  // writing the 40-byte information header failed
    SNAPSHOT_PIXELS = -8,       // writing the pixel data failed (or the capture did)
    BMP_FILE_HEADER_SIZE = 14,
    BMP_INFO_HEADER_SIZE = 40,
};

// Captured area of client rectangle `rect` on a screen of screen_w x screen_h pixels: rows
// top + 10 to bottom - 60, clamped to the screen, width and height made even.
typedef struct SnapshotArea {
    int left, top, width, height;
} SnapshotArea;
SnapshotArea snapshot_area(const UiRect *rect, int screen_w, int screen_h);

// Bytes of one stored row: 3 per pixel, padded to a multiple of 4.
int snapshot_row_bytes(int width);

// The 14-byte file header and the 40-byte information header for a w x h picture.
void snapshot_headers(int width, int height, uint8_t file_header[BMP_FILE_HEADER_SIZE],
                      uint8_t info_header[BMP_INFO_HEADER_SIZE]);

// Saves the client area of `window` (rect = its client rectangle as recorded at creation).
// Returns one of the SNAPSHOT_ results. The file appears complete or not at all: it is
// written under a temporary name and moved over 3900wave.bmp only when every write worked.
int save_curve_snapshot(const UiRect *rect, UiWindow window);

#endif
