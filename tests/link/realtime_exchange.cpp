// Real-time measurement of bus_exchange against voksim over a serial line (COM1, which the
// POSIX backend maps to $VOK_COM1 and Wine to its dosdevices link) or a TCP converter.
// Every wait the link layer sleeps is timed here (sleep_ms is wrapped at link time); the
// program prints, per path, the median and worst overshoot of the waits and the CPU share
// of a long exchange, and fails when they miss the limits given on the command line.
//
//   realtime_exchange serial [--echo] [--types 0,2,3,5,7] [--count N]
//   realtime_exchange tcp HOST:PORT [--count N]
//   realtime_exchange tcp-close HOST:PORT   (the converter closes the connection mid-reply)
//   realtime_exchange vanish        (the pty disappears while open: clear result, no hang)
//   common: --limit-median-us U --limit-worst-us U --limit-cpu-pct P
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "link/link_state.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "platform/clock.h"
#include "tests/link/cpu_time.h"

namespace {

struct Wait {
    int asked_ms;
    int64_t took_us;
};
std::vector<Wait> g_waits;

}  // namespace

// Every sleep of the link layer comes through here (-Wl,--wrap of the mangled name).
extern "C" void __real__Z8sleep_msi(int ms);
extern "C" void __wrap__Z8sleep_msi(int ms) {
    const int64_t t0 = now_us();
    __real__Z8sleep_msi(ms);
    if (ms > 0) g_waits.push_back({ms, now_us() - t0});
}

namespace {

struct Limits {
    int64_t median_us = 2000;
    int64_t worst_us = 15000;
    double cpu_pct = 10.0;
};

struct Stats {
    int64_t median_us = 0, worst_us = 0;
    size_t n = 0;
};

Stats deviations(const std::vector<Wait> &waits) {
    std::vector<int64_t> d;
    for (const Wait &w : waits) d.push_back(std::llabs(w.took_us - (int64_t)w.asked_ms * 1000));
    Stats s;
    s.n = d.size();
    if (d.empty()) return s;
    std::sort(d.begin(), d.end());
    s.median_us = d[d.size() / 2];
    s.worst_us = d.back();
    return s;
}

int g_failures = 0;

void check(bool ok, const char *what) {
    if (!ok) {
        printf("FAIL: %s\n", what);
        ++g_failures;
    }
}

const uint8_t kReadConfig[] = {'$', '0', '1', '2', '\r'};   // "!01TTCCFF\r"
const uint8_t kSilent[] = {'$', 'E', '7', '2', '\r'};       // no module at 0xE7

// Runs `count` exchanges of the configuration read and reports the waits of the path.
void measure_path(const char *label, int count, const Limits &lim) {
    g_waits.clear();
    int good = 0;
    const int expect = link_state.echo_len + 10;
    for (int k = 0; k < count; ++k) {
        const int n = bus_exchange(expect, 5, kReadConfig);
        if (n >= expect && RxBuffer[link_state.echo_len] == '!' &&
            memcmp(RxBuffer + link_state.echo_len + 1, "01", 2) == 0)
            ++good;
        else
            printf("  exchange %d: result %d, lead 0x%02X\n", k, n, RxBuffer[link_state.echo_len]);
    }
    const Stats s = deviations(g_waits);
    printf("%-28s exchanges %d ok %d waits %zu median_dev_ms %.3f worst_dev_ms %.3f\n", label, count,
           good, s.n, s.median_us / 1000.0, s.worst_us / 1000.0);
    check(good == count, "every exchange got its reply");
    check(s.median_us <= lim.median_us, "median wait deviation within limit");
    check(s.worst_us <= lim.worst_us, "worst wait deviation within limit");
}

// A module that never answers: the longest schedule of the path; no busy waiting allowed.
void measure_silent(const char *label, int expected_result, const Limits &lim) {
    g_waits.clear();
    const CpuSample c0 = cpu_sample();
    const int n = bus_exchange(10, 5, kSilent);
    const CpuSample c1 = cpu_sample();
    const double wall_ms = (c1.wall_us - c0.wall_us) / 1000.0;
    const double cpu_ms = (c1.cpu_us - c0.cpu_us) / 1000.0;
    int64_t scheduled = 0;
    for (const Wait &w : g_waits) scheduled += w.asked_ms;
    const Stats s = deviations(g_waits);
    printf("%-28s result %d wall_ms %.1f scheduled_sleep_ms %lld cpu_ms %.1f cpu_pct %.2f "
           "waits %zu median_dev_ms %.3f worst_dev_ms %.3f\n",
           label, n, wall_ms, (long long)scheduled, cpu_ms, 100.0 * cpu_ms / wall_ms, s.n,
           s.median_us / 1000.0, s.worst_us / 1000.0);
    check(n == expected_result, "silent module result");
    check(100.0 * cpu_ms / wall_ms < lim.cpu_pct, "CPU share of a long exchange");
    check(s.median_us <= lim.median_us, "median wait deviation within limit (silent)");
}

std::vector<int> parse_types(const char *s) {
    std::vector<int> out;
    while (*s) {
        out.push_back(atoi(s));
        const char *comma = strchr(s, ',');
        if (!comma) break;
        s = comma + 1;
    }
    return out;
}

int run_serial(bool echo_expected, const std::vector<int> &types, int count, const Limits &lim) {
    link_settings.com_port = 1;
    link_settings.baud_index = 2;
    link_settings.converter_type = 0;
    if (!port_open()) {
        printf("FAIL: COM1 does not open\n");
        return 1;
    }
    probe_echo();
    printf("echo probe: echo_on %d echo_len %d\n", link_state.echo_on, link_state.echo_len);
    check(link_state.echo_on == (echo_expected ? 1 : 0), "echo probe result");
    for (int type : types) {
        link_settings.converter_type = type;
        link_settings.reply_wait_ms = 50;
        char label[64];
        snprintf(label, sizeof label, "serial type %d echo %d", type, link_state.echo_on);
        measure_path(label, count, lim);
    }
    link_settings.converter_type = 0;
    measure_silent("serial silent type 0", EXCHANGE_NO_REPLY, lim);
    port_close();
    return 0;
}

// Opens the network link to HOST:PORT at 9600 baud: 0, or the program's exit code.
int open_tcp(const char *host_port) {
    const char *colon = strrchr(host_port, ':');
    if (!colon) return 2;
    snprintf(net_state.host_text, sizeof net_state.host_text, "%.*s", (int)(colon - host_port),
             host_port);
    net_state.port_entered = (uint16_t)atoi(colon + 1);
    link_settings.converter_type = CONVERTER_NET;
    link_settings.baud_index = 2;
    const int r = net_open();
    if (r != 0) printf("FAIL: net_open %d\n", r);
    return r != 0 ? 1 : 0;
}

int run_tcp(const char *host_port, int count, const Limits &lim) {
    if (const int rc = open_tcp(host_port)) return rc;
    measure_path("tcp type 4", count, lim);
    // Silent module: the send's 10 ms look for stale input, the wait, the 1.06 s window.
    const CpuSample c0 = cpu_sample();
    measure_silent("tcp silent type 4", 0, lim);
    const double wall_ms = (cpu_sample().wall_us - c0.wall_us) / 1000.0;
    const double expected_ms = 10 + net_wait(2, 0, 15) + net_receive_window_us(0) / 1000.0;
    printf("%-28s expected_ms %.1f measured_ms %.1f dev_ms %.3f\n", "tcp silent window", expected_ms,
           wall_ms, wall_ms - expected_ms);
    check(wall_ms - expected_ms < lim.worst_us / 1000.0 && wall_ms >= expected_ms - 1,
          "silent network exchange lasts its schedule");
    net_close();
    return 0;
}

// The converter closes the connection part way through a reply (set up by the caller).
int run_tcp_close(const char *host_port, const Limits &lim) {
    if (const int rc = open_tcp(host_port)) return rc;
    g_waits.clear();
    const CpuSample c0 = cpu_sample();
    const int n = bus_exchange(10, 5, kReadConfig);
    const CpuSample c1 = cpu_sample();
    const double first_ms = (c1.wall_us - c0.wall_us) / 1000.0;
    const int again = bus_exchange(10, 5, kReadConfig);
    const double second_ms = (cpu_sample().wall_us - c1.wall_us) / 1000.0;
    printf("peer closes mid-reply: first result %d in %.1f ms (bytes \"%.*s\"), next result %d in %.1f ms\n",
           n, first_ms, n > 0 ? n : 0, (const char *)RxBuffer, again, second_ms);
    check(n > 0 && n < 10, "the part before the close is returned");
    check(first_ms < 1000, "the receive ends at the close, not at the window");
    check(again < 0, "a closed connection gives a negative result");
    check(second_ms < 1500 + 2000 + 3 * 20 + lim.worst_us / 1000.0, "no hang after the close");
    net_close();
    return 0;
}

// The pty goes away while the port is open (the caller kills voksim after "ready").
int run_vanish(const Limits &lim) {
    link_settings.com_port = 1;
    link_settings.baud_index = 2;
    link_settings.converter_type = 0;
    if (!port_open()) {
        printf("FAIL: COM1 does not open\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    // Wait for the line to disappear (the caller kills the simulator on "ready").
    char line[16];
    if (!fgets(line, sizeof line, stdin)) return 1;
    g_waits.clear();
    const CpuSample c0 = cpu_sample();
    const int n = bus_exchange(10, 5, kReadConfig);
    const CpuSample c1 = cpu_sample();
    const double wall_ms = (c1.wall_us - c0.wall_us) / 1000.0;
    int64_t scheduled = 0;
    for (const Wait &w : g_waits) scheduled += w.asked_ms;
    printf("vanished line: result %d wall_ms %.1f scheduled_sleep_ms %lld cpu_pct %.2f\n", n, wall_ms,
           (long long)scheduled, 100.0 * (c1.cpu_us - c0.cpu_us) / 1000.0 / wall_ms);
    check(n < 0, "a vanished line gives a negative result");
    check(wall_ms < scheduled + 1000, "no hang beyond the schedule");
    check(100.0 * (c1.cpu_us - c0.cpu_us) / 1000.0 / wall_ms < lim.cpu_pct, "no busy waiting");
    port_close();
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    clock_init();
    link_state_reset();
    if (argc < 2) {
        fprintf(stderr, "usage: realtime_exchange serial|tcp HOST:PORT|vanish [options]\n");
        return 2;
    }
    Limits lim;
    bool echo = false;
    int count = 50;
    std::vector<int> types = {0, 2, 3, 5, 7};
    const char *host_port = nullptr;
    const std::string mode = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() { return i + 1 < argc ? argv[++i] : (char *)"0"; };
        if (a == "--echo") echo = true;
        else if (a == "--count") count = atoi(next());
        else if (a == "--types") types = parse_types(next());
        else if (a == "--limit-median-us") lim.median_us = atoll(next());
        else if (a == "--limit-worst-us") lim.worst_us = atoll(next());
        else if (a == "--limit-cpu-pct") lim.cpu_pct = atof(next());
        else host_port = argv[i];
    }
    int r = 2;
    if (mode == "serial") r = run_serial(echo, types, count, lim);
    else if (mode == "tcp" && host_port) r = run_tcp(host_port, count, lim);
    else if (mode == "vanish") r = run_vanish(lim);
    else if (mode == "tcp-close" && host_port) r = run_tcp_close(host_port, lim);
    if (r != 0) return r;
    printf("%s\n", g_failures ? "FAILED" : "PASSED");
    return g_failures ? 1 : 0;
}
