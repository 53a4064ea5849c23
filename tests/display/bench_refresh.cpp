// Benchmark of one data display refresh of a full channel (64 units) at 9600 baud over a
// real serial line (COM1: $VOK_COM1 on POSIX, the dosdevices link under Wine) against voksim:
// the readout the refresh tick runs (discard, settling pause, #AAc, paced exchange, decoding)
// timed N times against the schedule the link layer computes, with the CPU it used.
//
//   bench_refresh [--count N]
// Prints one line of figures; exits 1 when the channel cannot be read.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/state.h"
#include "display/channel_read.h"
#include "display/sensor_ids.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "platform/clock.h"
#include "tests/link/cpu_time.h"

namespace {
Readout g_readout;
IdList g_ids;
}  // namespace

int main(int argc, char **argv)
{
    int count = 50;
    for (int k = 1; k + 1 < argc; ++k)
        if (std::strcmp(argv[k], "--count") == 0) count = std::atoi(argv[k + 1]);
    clock_init();
    state_reset();
    link_settings.com_port = 1;
    link_settings.baud_index = 2;  // 9600
    link_settings.converter_type = CONVERTER_232;
    if (!port_open()) {
        std::printf("FAIL: COM1 does not open\n");
        return 1;
    }
    probe_echo();

    // The module of the full-channel bus: address 01, 64 units of family 0x28 on CH0.
    Module &m = module_table.module[0];
    m.address = 1;
    m.model = 4201;
    m.type_code = 0x80;
    m.itu_count[0] = UNITS_PER_CHANNEL;
    m.itu_total = UNITS_PER_CHANNEL;
    if (read_unit_ids(ID_READER_SENSORS, &m, 0, &g_ids) != IDS_OK || g_ids.count != UNITS_PER_CHANNEL) {
        std::printf("FAIL: ID read of CH0\n");
        return 1;
    }

    const int expect = link_state.echo_len + 4 * UNITS_PER_CHANNEL + 6;
    // The settling pause, the first wait, the post wait, and the read of expect + 1 bytes,
    // which ends by its total time-out: a complete reply is expect bytes long.
    const int schedule_ms = READ_SETTLE_MS + paced_first_wait(CONVERTER_232, 2, 0, 5, expect) +
                            post_wait(CONVERTER_232, 2, 5 + expect + 1) +
                            PORT_READ_MS_PER_BYTE * (expect + 1) + PORT_READ_MS_CONST;
    std::vector<int64_t> took;
    const CpuSample c0 = cpu_sample();
    int bad = 0;
    for (int k = 0; k < count; ++k) {
        const int64_t t0 = now_us();
        const int r = read_channel_values(VALUE_READER_SENSORS, &m, 0, &g_readout);
        took.push_back(now_us() - t0);
        if (r != READ_OK || g_readout.count != UNITS_PER_CHANNEL ||
            std::strncmp(g_readout.unit[UNITS_PER_CHANNEL - 1].text, "63->(--B20--)(", 14) != 0)
            ++bad;
    }
    const CpuSample c1 = cpu_sample();
    port_close();

    std::sort(took.begin(), took.end());
    const double median_ms = took[took.size() / 2] / 1000.0;
    const double worst_ms = took.back() / 1000.0;
    const double cpu_pct = 100.0 * static_cast<double>(c1.cpu_us - c0.cpu_us) / static_cast<double>(c1.wall_us - c0.wall_us);
    std::printf("refresh of 64 units at 9600 baud, echo %d: %d runs, schedule %d ms, median %.1f ms "
                "(+%.1f), worst %.1f ms (+%.1f), cpu %.2f%%, bad readouts %d\n",
                link_state.echo_on, count, schedule_ms, median_ms, median_ms - schedule_ms, worst_ms,
                worst_ms - schedule_ms, cpu_pct, bad);
    return bad == 0 ? 0 : 1;
}
