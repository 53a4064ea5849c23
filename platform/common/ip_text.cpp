// Dotted-quad text for IPv4 addresses held in network byte order; shared by every backend.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "platform/net.h"

// The address bytes are copied as they lie in memory: wire order, whatever the host's.
void ip_to_text(uint32_t ip, char *out)
{
    uint8_t b[4];
    memcpy(b, &ip, 4);
    snprintf(out, 16, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
}

// Exactly four decimal parts of 1 to 3 digits, each 0..255, nothing before or after.
// Leading zeros are read as decimal (never octal), so "010" is 10.
int ip_from_text(const char *text, uint32_t *ip)
{
    if (!text || !ip) return -1;
    uint8_t b[4];
    const char *s = text;
    for (int part = 0; part < 4; part++) {
        if (part > 0) {
            if (*s != '.') return -1;
            s++;
        }
        int digits = 0;
        unsigned v = 0;
        while (*s >= '0' && *s <= '9') {
            if (++digits > 3) return -1;
            v = v * 10 + (unsigned)(*s - '0');
            s++;
        }
        if (digits == 0 || v > 255) return -1;
        b[part] = (uint8_t)v;
    }
    if (*s != '\0') return -1;
    memcpy(ip, b, 4);
    return 0;
}
