/* Example client of vok3900d: opens a port, reads a module's configuration and the
 * temperatures of the units on each channel in use, and prints them.
 *
 *   read_temps [port [baud_index [address]]]     defaults: 1 3 1 (COM1, 9600 baud, 0x01)
 *
 * On Linux, port n is the device in $VOK3900D_COM<n> (else /dev/ttyS<n-1>).
 */
#include <stdio.h>
#include <stdlib.h>

#include "vok3900d.h"

#define MAX_UNITS 255

static const char *result_text(int rc)
{
    switch (rc) {
    case VOK_E_NOT_READY: return "library not ready";
    case VOK_E_ARG: return "bad argument";
    case VOK_E_OPEN: return "cannot open the port";
    case VOK_E_EVENT: return "cannot create I/O events";
    case VOK_E_SETUP: return "cannot set up the line";
    case VOK_E_PORT: return "port not open";
    case VOK_E_SEND: return "no answer";
    case VOK_E_SHORT: return "reply too short";
    case VOK_E_REPLY: return "wrong reply";
    default: return "?";
    }
}

/* 16-bit two's complement in 1/16 degree (families 0x22, 0x28, 0x42). */
static double t16(const unsigned char *rec) { return (short)(rec[0] | rec[1] << 8) * 0.0625; }

/* 13 bits left-aligned in 1/32 degree (families 0x1E, 0x26). */
static double t32(const unsigned char *rec)
{
    int v = rec[1] << 5 | rec[0] >> 3;
    return (rec[1] & 0x80 ? v - 8192 : v) * 0.03125;
}

/* 0x28 units in the 13-bit form, which the module marks with rec[2] = rec[3] = 0xFF and the
 * three low bits of rec[0] clear: 1/32 degree, left-aligned. */
static int is_w13(const unsigned char *rec)
{
    return (rec[0] & 7) == 0 && rec[2] == 0xFF && rec[3] == 0xFF;
}

static double w13(const unsigned char *rec)
{
    int r = rec[1] << 8 | rec[0];
    return (rec[1] & 0x80 ? -(((0x10000 - r) & 0xFFFF) >> 3) : r >> 3) * 0.03125;
}

static void print_unit(int index, const unsigned char *id, const unsigned char *rec)
{
    printf("  %02d  %02X%02X%02X%02X%02X%02X%02X%02X  ", index, id[0], id[1], id[2], id[3], id[4],
           id[5], id[6], id[7]);
    if (rec[0] == 0xFF && rec[1] == 0xFF && rec[2] == 0xFF && rec[3] == 0xFF) {
        printf("(no reading)\n");
        return;
    }
    if (id[0] == 0x28 && is_w13(rec)) {
        printf("%+8.5f C\n", w13(rec));
        return;
    }
    switch (id[0]) {
    case 0x22: case 0x28: case 0x42:
        printf("%+8.3f C\n", t16(rec));
        break;
    case 0x1E: case 0x26:
        printf("%+8.3f C\n", t32(rec));
        break;
    case 0x10:
        printf("%+8.1f C\n", rec[1] == 0xFF ? -0.5 - (255 - rec[0]) * 0.5 : rec[0] * 0.5);
        break;
    default:
        printf("record %02X %02X %02X %02X\n", rec[0], rec[1], rec[2], rec[3]);
    }
}

int main(int argc, char **argv)
{
    int port = argc > 1 ? atoi(argv[1]) : 1;
    int baud_index = argc > 2 ? atoi(argv[2]) : 3;
    int address = argc > 3 ? (int)strtol(argv[3], NULL, 0) : 1;
    static unsigned char ids[MAX_UNITS * 8];
    static unsigned char records[MAX_UNITS * 4];
    vok_module_info info;
    int rc, channel;

    rc = vok_com_open(port, baud_index, 0);
    if (rc != VOK_OK) {
        fprintf(stderr, "open port %d: %d (%s)\n", port, rc, result_text(rc));
        return 1;
    }
    rc = vok_read_config(port, address, &info);
    if (rc != VOK_OK) {
        fprintf(stderr, "read config of %02X: %d (%s)\n", address, rc, result_text(rc));
        vok_com_close(port);
        return 1;
    }
    printf("module %02X: %.7s firmware %s type %02X baud index %d format %02X, %d units\n",
           info.address, info.name, info.version, info.type_code, info.baud_index,
           info.data_format, info.itu_total);

    for (channel = 0; channel < 8; channel++) {
        int n, count, i;
        if (info.itu_count[channel] == 0)
            continue;
        n = vok_read_id(port, address, channel, ids);
        count = vok_read_temp(port, address, channel, records);
        if (n < 0 || count < 0) {
            fprintf(stderr, "CH%d: %d (%s)\n", channel, n < 0 ? n : count,
                    result_text(n < 0 ? n : count));
            continue;
        }
        if (count >= 256)
            printf("CH%d: module status %d\n", channel, count >> 8);
        count = info.itu_count[channel];
        printf("CH%d: %d units\n", channel, count);
        for (i = 0; i < count; i++)
            print_unit(i, ids + (size_t)8 * i, records + (size_t)4 * i);
    }
    vok_com_close(port);
    return 0;
}
