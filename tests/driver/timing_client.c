/* Real-I/O client of the driver library: loads it at run time (Windows: by name and by
 * ordinal; Linux: by name), opens a port, reads a module's configuration and the records
 * of one channel, closes, and prints each result with its measured and scheduled time.
 *
 *   timing_client LIBRARY PORT BAUD_INDEX ADDRESS CHANNEL [echo]
 *
 * "echo": the converter echoes, so data replies are expected 5 bytes later.
 *
 * Output lines (parsed by the test scripts):
 *   export N NAME ok|MISSING|MISMATCH     (Windows: name and ordinal give the same entry)
 *   call NAME RESULT measured_ms scheduled_ms
 *   config NAME VERSION TYPE BAUD_INDEX TOTAL C0 .. C7
 *   reload open RESULT RESULT             (open, unload without closing, reload, open)
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver/vok3900d.h"

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
static Library open_library(const char *path) { return LoadLibraryA(path); }
static void close_library(Library l) { FreeLibrary(l); }
static void *by_name(Library l, const char *name) { return (void *)GetProcAddress(l, name); }
static void *by_ordinal(Library l, int n) { return (void *)GetProcAddress(l, MAKEINTRESOURCEA(n)); }
static double now_ms(void)
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
}
#else
#include <dlfcn.h>
#include <time.h>
typedef void *Library;
static Library open_library(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void close_library(Library l) { dlclose(l); }
static void *by_name(Library l, const char *name) { return dlsym(l, name); }
static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}
#endif

static const char *const NAMES[13] = {
    "vok_com_open", "vok_com_close", "vok_set_config", "vok_read_config", "vok_read_temp",
    "vok_read_id", "vok_soft_reset", "vok_read_sortnum", "vok_write_do", "vok_err_report",
    "vok4103_read_data", "vok4500_read_data", "vok_itu_do"};

typedef int(VOK_CALL *OpenFn)(int, int, int);
typedef int(VOK_CALL *CloseFn)(int);
typedef int(VOK_CALL *ReadConfigFn)(int, int, vok_module_info *);
typedef int(VOK_CALL *ReadChannelFn)(int, int, int, unsigned char *);

/* The library's waits: send attempt, fixed waits, read time-outs (3 ms a byte + 10 ms). */
static int read_timeout(int count) { return 3 * count + 10; }
static int data_wait(int baud_index, int expected)
{
    static const int TENTHS[6] = {102, 51, 25, 12, 7, 4};
    static const int BASE[6] = {200, 100, 100, 100, 80, 60};
    return expected * TENTHS[baud_index] / 10 + BASE[baud_index];
}

int main(int argc, char **argv)
{
    if (argc < 6) {
        fprintf(stderr, "usage: timing_client LIBRARY PORT BAUD_INDEX ADDRESS CHANNEL [echo]\n");
        return 2;
    }
    int port = atoi(argv[2]), baud = atoi(argv[3]), channel = atoi(argv[5]);
    int address = (int)strtol(argv[4], NULL, 0);
    int echo_len = argc > 6 && strcmp(argv[6], "echo") == 0 ? 5 : 0;
    Library lib = open_library(argv[1]);
    if (!lib) {
        printf("load FAILED %s\n", argv[1]);
        return 1;
    }
    void *entry[13];
    int missing = 0;
    for (int i = 0; i < 13; i++) {
        entry[i] = by_name(lib, NAMES[i]);
#ifdef _WIN32
        void *o = by_ordinal(lib, i + 1);
        printf("export %d %s %s\n", i + 1, NAMES[i], !entry[i] ? "MISSING" : o != entry[i] ? "MISMATCH" : "ok");
        missing |= !entry[i] || o != entry[i];
        /* Call the read calls through their ordinals, the rest by name. */
        if (i == 3 || i == 4)
            entry[i] = o;
#else
        printf("export %d %s %s\n", i + 1, NAMES[i], entry[i] ? "ok" : "MISSING");
        missing |= !entry[i];
#endif
    }
    if (missing)
        return 1;
    OpenFn open_fn = (OpenFn)entry[0];
    CloseFn close_fn = (CloseFn)entry[1];
    ReadConfigFn read_config = (ReadConfigFn)entry[3];
    ReadChannelFn read_temp = (ReadChannelFn)entry[4];

    /* Echo probe: its 60 ms wait and an 18-byte read that times out (3 bytes at most come). */
    double t = now_ms();
    int rc = open_fn(port, baud, 0);
    printf("call vok_com_open %d %.1f %d\n", rc, now_ms() - t, 60 + read_timeout(18));
    if (rc != VOK_OK)
        return 1;

    vok_module_info info;
    memset(&info, 0, sizeof info);
    t = now_ms();
    rc = read_config(port, address, &info);
    /* Four requests: 25 ms send wait each, then 100/60/60/80 ms, 5 ms pauses between, and
     * reads of 20/20/20/30 bytes that wait out their time-outs (the replies are shorter). */
    /* With an echo the reads still wait out their time-outs: 5 + 11 and 5 + 22 < 20 and 30. */
    int scheduled = 4 * 25 + 100 + 60 + 60 + 80 + 3 * 5 + 3 * read_timeout(20) + read_timeout(30);
    printf("call vok_read_config %d %.1f %d\n", rc, now_ms() - t, scheduled);
    if (rc == VOK_OK)
        printf("config %.7s %s %02X %d %d %d %d %d %d %d %d %d %d\n", info.name, info.version,
               info.type_code, info.baud_index, info.itu_total, info.itu_count[0], info.itu_count[1],
               info.itu_count[2], info.itu_count[3], info.itu_count[4], info.itu_count[5],
               info.itu_count[6], info.itu_count[7]);

    static unsigned char records[255 * 4];
    int n = channel < 8 ? info.itu_count[channel] : 0;
    t = now_ms();
    rc = read_temp(port, address, channel, records);
    /* $AA6 (25 + 80 + the 30-byte read's time-out), then the data request: 25 ms and the
     * data wait, after which the whole reply is there and the read returns at once. */
    scheduled = 25 + 80 + read_timeout(30) + (n > 0 ? 25 + data_wait(baud, echo_len + 5 + 4 * n) : 0);
    printf("call vok_read_temp %d %.1f %d\n", rc, now_ms() - t, scheduled);
    if (rc > 0) {
        printf("records");
        for (int i = 0; i < 4 * (rc & 0xFF) && i < 16; i++)
            printf(" %02X", records[i]);
        printf("\n");
    }

    t = now_ms();
    rc = close_fn(port);
    printf("call vok_com_close %d %.1f 0\n", rc, now_ms() - t);
    t = now_ms();
    rc = close_fn(port);
    printf("call vok_com_close %d %.1f 0\n", rc, now_ms() - t);

    /* Unloaded with the port still open, loaded again: the port must be free to open. */
    rc = open_fn(port, baud, 0);
    close_library(lib);
    lib = open_library(argv[1]);
    open_fn = lib ? (OpenFn)by_name(lib, "vok_com_open") : NULL;
    close_fn = lib ? (CloseFn)by_name(lib, "vok_com_close") : NULL;
    if (!open_fn || !close_fn) {
        printf("reload FAILED\n");
        return 1;
    }
    printf("reload open %d %d\n", rc, open_fn(port, baud, 0));
    close_fn(port);
    return 0;
}
