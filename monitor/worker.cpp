// Link worker: open with back-off, find the modules, then rounds at start + k * period, each
// module's channels read by the adapter; a round without any reply counts the link as down.
#include "monitor/worker.h"

#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "monitor/bus_read.h"
#include "monitor/wire.h"
#include "platform/clock.h"

namespace {

volatile sig_atomic_t Stop;

void on_stop(int)
{
    Stop = 1;
}

struct Worker {
    const PlantLink *link;
    int fd;
    WireLink state;
    StoreReading reading[BUS_READINGS_MAX];
};
Worker W;

int send_all(const void *data, size_t size)
{
    const char *p = (const char *)data;
    while (size > 0) {
        const ssize_t n = write(W.fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;  // the collector is gone
        p += n;
        size -= (size_t)n;
    }
    return 0;
}

int send(uint32_t kind, const void *a, size_t a_size, const void *b, size_t b_size)
{
    const WireHeader h{kind, (uint32_t)(a_size + b_size)};
    if (send_all(&h, sizeof h) || send_all(a, a_size) || (b_size && send_all(b, b_size))) {
        Stop = 1;
        return -1;
    }
    return 0;
}

void send_link(int up, const char *text)
{
    W.state.time_ms = wall_ms();
    W.state.up = up;
    W.state.modules = bus_module_count();
    snprintf(W.state.text, sizeof W.state.text, "%s", text);
    send(WIRE_LINK, &W.state, sizeof W.state, nullptr, 0);
}

void send_readout(int64_t t, int module, int channel, int result, int count)
{
    const WireReadout r{t, module, channel, result, count};
    W.state.exchanges++;
    if (result == BUS_OK) W.state.last_ok_ms = t;
    else W.state.failures++;
    send(WIRE_READOUT, &r, sizeof r, W.reading, sizeof(StoreReading) * (size_t)count);
}

// Waits until clock time `deadline` in slices; 1 when asked to stop first.
int wait_until(uint32_t deadline)
{
    for (;;) {
        if (Stop) return 1;
        const int32_t left = (int32_t)(deadline - now_ms());
        if (left <= 0) return 0;
        sleep_ms(left < WORKER_SLICE_MS ? left : WORKER_SLICE_MS);
    }
}

// The plant's channel choice for table entry `index` (a searched module: every channel).
uint8_t channels_of(int index)
{
    for (int k = 0; k < W.link->module_count; ++k)
        if (W.link->module[k].address == bus_module_address(index)) return W.link->module[k].channels;
    return 0;
}

// One round over every module. Returns the readouts that got a reply.
int round_once(void)
{
    int answered = 0;
    for (int i = 0; i < bus_module_count() && !Stop; ++i) {
        const int module = bus_module_address(i);
        if (!bus_module_loaded(i) && bus_load_module(i) != BUS_OK) {
            send_readout(wall_ms(), module, -1, BUS_NO_REPLY, 0);
            continue;
        }
        int channels[BUS_CHANNELS_MAX];
        const int n = bus_channels(i, channels_of(i), channels, BUS_CHANNELS_MAX);
        for (int k = 0; k < n && !Stop; ++k) {
            const int64_t t = wall_ms();
            int r = bus_ids_known(i, channels[k]) ? BUS_OK : bus_read_ids(i, channels[k]);
            int count = 0;
            if (r == BUS_OK) r = bus_read_channel(i, channels[k], W.reading, BUS_READINGS_MAX, &count);
            if (r == BUS_NO_UNITS) continue;  // nothing there to read: no readout
            send_readout(t, module, channels[k], r, count);
            if (r != BUS_NO_REPLY) answered++;
        }
    }
    return answered;
}

}  // namespace

int64_t wall_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void catch_stop_signals(void (*handler)(int))
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = handler;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int worker_run(const Plant *plant, int link, int fd)
{
    catch_stop_signals(on_stop);
    clock_init();
    W.link = &plant->link[link];
    W.fd = fd;
    memset(&W.state, 0, sizeof W.state);
    const uint32_t period = (uint32_t)W.link->period_ms;
    int backoff = WORKER_BACKOFF_FIRST_MS;
    while (!Stop) {
        char error[WIRE_TEXT_MAX];
        if (bus_open(W.link, error, sizeof error) != 0) {
            send_link(0, error);
            wait_until(now_ms() + (uint32_t)backoff);
            backoff = backoff * 2 < WORKER_BACKOFF_MAX_MS ? backoff * 2 : WORKER_BACKOFF_MAX_MS;
            continue;
        }
        const int found = bus_find_modules(W.link);
        snprintf(error, sizeof error, "link open, %d module%s", found, found == 1 ? "" : "s");
        send_link(1, error);
        const uint32_t start = now_ms();
        int silent_rounds = 0;
        for (uint32_t k = 0; !Stop && !wait_until(start + k * period);) {
            const int answered = round_once();
            W.state.rounds++;
            silent_rounds = answered > 0 ? 0 : silent_rounds + 1;
            if (answered > 0) backoff = WORKER_BACKOFF_FIRST_MS;
            // As a periodic timer does: a round that ran past its period is followed at once by
            // the next (one tick waits, the ones beyond it are lost and counted late); then the
            // rounds keep to the grid of the start again.
            const uint32_t passed = (now_ms() - start) / period;
            if (passed > k + 1) W.state.late_rounds += passed - (k + 1);
            k = passed > k ? passed : k + 1;
            // Nothing answered twice over: the converter or the whole bus is gone; open anew.
            if (silent_rounds >= 2 || (silent_rounds >= 1 && bus_module_count() == 0)) break;
            send_link(1, "");
        }
        bus_close();
        if (Stop) break;
        send_link(0, "no reply from any module: reopening the link");
        wait_until(now_ms() + (uint32_t)backoff);
        backoff = backoff * 2 < WORKER_BACKOFF_MAX_MS ? backoff * 2 : WORKER_BACKOFF_MAX_MS;
    }
    bus_close();
    return 0;
}
