// Where a run of UTF-8 bytes may be cut without splitting a character; shared by every
// backend (the Windows console relay converts what a pipe delivers, in arbitrary pieces).
#include <stddef.h>

#include "platform/console.h"

// Bytes a character takes by its lead byte; 0 for a continuation byte, 1 for a byte that
// starts nothing valid (converted on its own, as a replacement character).
static size_t utf8_length(unsigned char b)
{
    if (b < 0x80) return 1;
    if (b < 0xC0) return 0;
    if (b < 0xE0) return 2;
    if (b < 0xF0) return 3;
    if (b < 0xF8) return 4;
    return 1;
}

size_t utf8_whole(const char *p, size_t n)
{
    // Only the last character can be incomplete: look back over at most 3 continuation bytes.
    size_t back = 0;
    while (back < n && back < 4) {
        const unsigned char b = (unsigned char)p[n - 1 - back];
        const size_t len = utf8_length(b);
        if (len == 0) {
            back++;
            continue;
        }
        return back + 1 < len ? n - 1 - back : n;
    }
    return n;  // only continuation bytes at the end: nothing a later byte could complete
}
