// Soak: open / exchange / close cycles of the library and of vokmon's link on the real
// serial backend (COM1: a voksim pty natively, the same pty under Wine). Counts the process's
// descriptors (POSIX) or handles (Windows) before and after; leaks of memory are left to
// LeakSanitizer in the ASan build. Fails when a cycle fails or the count grew.
//
//   soak CYCLES          (environment: VOK_COM1 and VOK3900D_COM1 name the pty natively)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "app/state.h"
#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"

namespace {

long open_handles()
{
#ifdef _WIN32
    DWORD n = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return (long)n;
    // Wine reports no handle count: count the process's Linux descriptors through the Z:
    // drive instead (a COM handle held open keeps its descriptor there).
    WIN32_FIND_DATAA f;
    HANDLE d = FindFirstFileA("Z:\\proc\\self\\fd\\*", &f);
    if (d == INVALID_HANDLE_VALUE) return -1;
    long k = 0;
    do {
        ++k;
    } while (FindNextFileA(d, &f));
    FindClose(d);
    return k;
#else
    DIR *d = opendir("/proc/self/fd");
    if (!d) return -1;
    long n = 0;
    while (readdir(d)) ++n;
    closedir(d);
    return n;
#endif
}

// One cycle of the library: open with the echo probe, a fault status read, close.
bool library_cycle()
{
    if (vok_com_open(1, 3, 1) != VOK_OK) return false;
    int status = -1;
    const bool ok = vok_err_report(1, 1, &status) == VOK_OK;
    return vok_com_close(1) == VOK_OK && ok;
}

// One cycle of vokmon's link: open, a name request, close.
bool link_cycle()
{
    if (!port_open()) return false;
    static const uint8_t request[] = {'$', '0', '1', 'M', '\r'};
    const int n = bus_exchange(11, 5, request);
    const char digits[2] = {'0', '1'};
    const bool ok = check_ack_reply(RxBuffer, n, link_state.echo_len, digits, 11) == REPLY_OK;
    port_close();
    return ok;
}

int run(const char *name, bool (*cycle)(), int cycles)
{
    cycle();  // the first cycle's one-time allocations (timer resolution, libraries) settle
    const long before = open_handles();
    const int64_t t0 = now_us();
    int failed = 0;
    for (int i = 0; i < cycles; ++i)
        if (!cycle()) ++failed;
    const long after = open_handles();
    printf("%-8s %6d cycles in %7.1f s, %d failed, handles %ld -> %ld\n", name, cycles,
           (now_us() - t0) / 1e6, failed, before, after);
    fflush(stdout);
    return failed == 0 && after <= before ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    const int cycles = argc > 1 ? atoi(argv[1]) : 10000;
    state_reset();
    link_settings.com_port = 1;
    link_settings.baud_index = 2;
    link_settings.converter_type = CONVERTER_232;
    driver_attach();  // the library does this when it is loaded
    int rc = run("library", library_cycle, cycles);
    rc |= run("link", link_cycle, cycles);
    printf("%s\n", rc ? "FAILED" : "PASSED");
    return rc;
}
