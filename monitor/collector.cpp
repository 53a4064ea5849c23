// The collector process: workers forked per link, their pipes polled, every readout stored in
// its own transaction, alarms after it; a stop request drains the workers before closing.
#include "monitor/collector.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "monitor/alarms.h"
#include "monitor/export.h"
#include "monitor/store.h"
#include "monitor/wire.h"
#include "monitor/worker.h"

namespace {

enum {
    PIPE_BUFFER = 64 * 1024,       // holds any message (header, readout, 64 readings)
    TICK_MS = 250,                 // alarm clock and stop checks
    DRAIN_MS = 10000,              // workers get this long to finish after a stop request
    RESPAWN_FIRST_MS = 2000,
    RESPAWN_MAX_MS = 60000,
    PRUNE_EVERY_MS = 3600 * 1000,
};

const char Usage[] =
    "usage: vokcli monitor --plant FILE [--listen ADDR:PORT] [--mqtt HOST:PORT]\n"
    "\n"
    "Polls every link of the plant file around the clock, one process per link, and keeps\n"
    "every reading in the plant's SQLite database. Ends cleanly on SIGTERM or Ctrl-C.\n"
    "  --plant FILE        the plant file (links, modules, periods, alarms, database)\n"
    "  --listen ADDR:PORT  serve Prometheus metrics at http://ADDR:PORT/metrics\n"
    "  --mqtt HOST:PORT    publish every reading and alarm to this MQTT broker (QoS 1)\n"
    "Exit codes: 0 stopped; 2 bad arguments or plant file; 3 --listen or --mqtt cannot be\n"
    "used; 5 the database cannot be written (read-only, disk full).\n";

volatile sig_atomic_t StopRequested;

void on_stop(int)
{
    StopRequested = 1;
}

struct Link {
    pid_t pid;
    int fd;                  // read end, -1 when the worker is not running
    int used;                // bytes in buf
    uint8_t buf[PIPE_BUFFER];
    int64_t respawn_at_ms;   // when a dead worker is started again
    int respawn_wait_ms;
    WireLink state;
};

struct Collector {
    Plant plant;
    AlarmState alarms;
    Link link[PLANT_LINKS_MAX];
    FILE *log;
    int64_t readouts, readings;
    int store_failed;
    char store_error[STORE_ERROR_MAX];
};
Collector C;

void logf(const char *fmt, ...)
{
    char stamp[32];
    const time_t now = time(nullptr);
    struct tm tm;
    gmtime_r(&now, &tm);
    strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &tm);
    fprintf(C.log, "%s ", stamp);
    va_list ap;
    va_start(ap, fmt);
    vfprintf(C.log, fmt, ap);
    va_end(ap);
    fputc('\n', C.log);
    fflush(C.log);
}

int alarm_sink(const StoreAlarm *a, void *)
{
    char where[64] = "";
    if (a->module >= 0) snprintf(where, sizeof where, " module %02X", a->module);
    if (a->channel >= 0) snprintf(where + strlen(where), sizeof where - strlen(where), " CH%d unit %d %s", a->channel,
                                  a->position, a->unit_id ? a->unit_id : "");
    logf("alarm %s %s: link %s%s: %s", a->kind, a->raised ? "raised" : "cleared", a->link, where, a->text);
    export_alarm(a);
    return store_write_alarm(a, C.store_error, sizeof C.store_error);
}

int start_worker(int l)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        // The worker: its own pipe only, and gone with the collector.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(0);  // the collector died before the line above
        close(fds[0]);
        export_close_in_worker();
        for (int k = 0; k < C.plant.link_count; ++k)
            if (C.link[k].fd >= 0) close(C.link[k].fd);
        _exit(worker_run(&C.plant, l, fds[1]));
    }
    close(fds[1]);
    C.link[l].pid = pid;
    C.link[l].fd = fds[0];
    C.link[l].used = 0;
    return 0;
}

void on_message(int l, uint32_t kind, const uint8_t *body, uint32_t size)
{
    Link &k = C.link[l];
    if (kind == WIRE_LINK && size == sizeof(WireLink)) {
        const int was_up = k.state.up;
        memcpy(&k.state, body, sizeof k.state);
        if (k.state.text[0] || was_up != k.state.up)
            logf("link %s: %s%s%s", C.plant.link[l].name, k.state.up ? "up" : "down", k.state.text[0] ? ": " : "", k.state.text);
        export_link(l, &k.state);
        return;
    }
    if (kind != WIRE_READOUT || size < sizeof(WireReadout)) return;
    WireReadout w;
    memcpy(&w, body, sizeof w);
    if (w.count < 0 || size != sizeof w + (uint32_t)w.count * sizeof(StoreReading)) return;
    static StoreReading units[64 * 8];
    if (w.count > (int)(sizeof units / sizeof units[0])) return;
    memcpy(units, body + sizeof w, (size_t)w.count * sizeof(StoreReading));
    const StoreReadout r{w.time_ms, C.plant.link[l].name, w.module, w.channel, w.result, w.count, units};
    int rc = store_write_readout(&r, C.store_error, sizeof C.store_error);
    if (rc == STORE_OK) rc = alarms_on_readout(&C.alarms, l, &r, alarm_sink, nullptr);
    if (rc != STORE_OK) {
        C.store_failed = 1;
        return;
    }
    C.readouts++;
    C.readings += w.count;
    export_readout(l, &r);
}

// Reads what the pipe holds and handles every whole message. 0, or -1 at end of file.
int drain(int l)
{
    Link &k = C.link[l];
    const ssize_t n = read(k.fd, k.buf + k.used, sizeof k.buf - (size_t)k.used);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
    if (n <= 0) return -1;
    k.used += (int)n;
    int at = 0;
    while (k.used - at >= (int)sizeof(WireHeader) && !C.store_failed) {
        WireHeader h;
        memcpy(&h, k.buf + at, sizeof h);
        if (h.size > sizeof k.buf - sizeof h) return -1;  // not a worker of ours
        if (k.used - at < (int)(sizeof h + h.size)) break;
        on_message(l, h.kind, k.buf + at + sizeof h, h.size);
        at += (int)(sizeof h + h.size);
    }
    memmove(k.buf, k.buf + at, (size_t)(k.used - at));
    k.used -= at;
    return 0;
}

void worker_ended(int l, int stopping)
{
    Link &k = C.link[l];
    close(k.fd);
    k.fd = -1;
    int status = 0;
    // At the end of its pipe a worker is ending anyway; one that wrote garbage is ended here.
    kill(k.pid, SIGKILL);
    waitpid(k.pid, &status, 0);
    k.pid = 0;
    if (stopping) return;
    k.respawn_wait_ms = k.respawn_wait_ms ? (k.respawn_wait_ms * 2 < RESPAWN_MAX_MS ? k.respawn_wait_ms * 2 : RESPAWN_MAX_MS)
                                          : RESPAWN_FIRST_MS;
    k.respawn_at_ms = wall_ms() + k.respawn_wait_ms;
    logf("link %s: worker ended (status %d); starting it again in %d s", C.plant.link[l].name, status,
         k.respawn_wait_ms / 1000);
}

// One pass: poll the pipes up to `wait_ms`, handle what came. Returns the workers running.
int pass(int wait_ms, int stopping)
{
    struct pollfd fds[PLANT_LINKS_MAX];
    int which[PLANT_LINKS_MAX], n = 0;
    for (int l = 0; l < C.plant.link_count; ++l)
        if (C.link[l].fd >= 0) {
            fds[n] = {C.link[l].fd, POLLIN, 0};
            which[n++] = l;
        }
    if (n == 0) return 0;
    if (poll(fds, (nfds_t)n, wait_ms) > 0)
        for (int i = 0; i < n && !C.store_failed; ++i)
            if (fds[i].revents && drain(which[i]) != 0) worker_ended(which[i], stopping);
    return n;
}

void prune(void)
{
    if (C.plant.retention_days <= 0) return;
    const int n = store_prune(wall_ms() - (int64_t)C.plant.retention_days * 86400000, C.store_error, sizeof C.store_error);
    if (n < 0) C.store_failed = 1;
    else if (n > 0) logf("retention: %d rows older than %d days removed", n, C.plant.retention_days);
}

int parse_addr(const char *name, const char *v, char *out, char *error, int cap)
{
    const char *colon = strrchr(v, ':');
    char *end = nullptr;
    const long port = colon ? strtol(colon + 1, &end, 10) : 0;
    if (!colon || colon == v || !end || *end || port < 1 || port > 65535 || strlen(v) >= COLLECT_ADDR_MAX) {
        snprintf(error, (size_t)cap, "%s '%s': give ADDRESS:PORT, e.g. 127.0.0.1:9477", name, v);
        return COLLECT_USAGE;
    }
    snprintf(out, COLLECT_ADDR_MAX, "%s", v);
    return COLLECT_OK;
}

}  // namespace

const char *collector_usage(void)
{
    return Usage;
}

int collector_parse(int argc, char **argv, CollectorOptions *o, char *error, int cap)
{
    memset(o, 0, sizeof *o);
    for (int i = 0; i < argc; ++i) {
        const char *a = argv[i];
        if (strcmp(a, "--help") == 0) {
            o->help = 1;
            continue;
        }
        if (strcmp(a, "--plant") != 0 && strcmp(a, "--listen") != 0 && strcmp(a, "--mqtt") != 0) {
            snprintf(error, (size_t)cap, "unknown argument '%s' (vokcli monitor --help)", a);
            return COLLECT_USAGE;
        }
        if (i + 1 >= argc) {
            snprintf(error, (size_t)cap, "option %s needs a value (vokcli monitor --help)", a);
            return COLLECT_USAGE;
        }
        const char *v = argv[++i];
        if (a[2] == 'p') o->plant = v;
        else if (parse_addr(a, v, a[2] == 'l' ? o->listen : o->mqtt, error, cap) != COLLECT_OK) return COLLECT_USAGE;
    }
    if (!o->help && !o->plant) {
        snprintf(error, (size_t)cap, "monitor needs the plant file: --plant FILE");
        return COLLECT_USAGE;
    }
    return COLLECT_OK;
}

int collector_run(const CollectorOptions *o, FILE *log)
{
    memset(&C, 0, sizeof C);
    C.log = log;
    char error[PLANT_ERROR_MAX];
    if (plant_load(o->plant, &C.plant, error, sizeof error) != 0) {
        fprintf(log, "vokcli: %s\n", error);
        return COLLECT_USAGE;
    }
    if (store_open(C.plant.database, error, sizeof error) != STORE_OK) {
        fprintf(log, "vokcli: %s\n", error);
        return COLLECT_STORE;
    }
    if (export_start(&C.plant, &C.alarms, o->listen, o->mqtt, error, sizeof error) != 0) {
        fprintf(log, "vokcli: %s\n", error);
        store_close();
        return COLLECT_LISTEN;
    }
    StopRequested = 0;
    catch_stop_signals(on_stop);
    alarms_begin(&C.alarms, &C.plant, wall_ms());
    prune();
    for (int l = 0; l < C.plant.link_count; ++l) {
        C.link[l].fd = -1;
        if (start_worker(l) != 0) logf("link %s: cannot start its worker", C.plant.link[l].name);
    }
    logf("monitor: %d link%s, database %s", C.plant.link_count, C.plant.link_count == 1 ? "" : "s", C.plant.database);
    int64_t next_prune = wall_ms() + PRUNE_EVERY_MS;
    while (!StopRequested && !C.store_failed) {
        pass(TICK_MS, 0);
        const int64_t now = wall_ms();
        for (int l = 0; l < C.plant.link_count; ++l)
            if (C.link[l].fd < 0 && C.link[l].respawn_at_ms && now >= C.link[l].respawn_at_ms) {
                C.link[l].respawn_at_ms = 0;
                start_worker(l);
            }
        if (!C.store_failed && alarms_tick(&C.alarms, now, alarm_sink, nullptr) != STORE_OK) C.store_failed = 1;
        if (now >= next_prune) {
            prune();
            next_prune = now + PRUNE_EVERY_MS;
        }
        const char *news = export_tick(now);
        if (news[0]) logf("%s", news);
    }
    // Stop: every worker ends its exchange and sends what it read; all of it is written.
    for (int l = 0; l < C.plant.link_count; ++l)
        if (C.link[l].pid > 0) kill(C.link[l].pid, SIGTERM);
    const int64_t deadline = wall_ms() + DRAIN_MS;
    while (pass(TICK_MS, 1) > 0 && wall_ms() < deadline) {
    }
    for (int l = 0; l < C.plant.link_count; ++l)
        if (C.link[l].pid > 0) {
            kill(C.link[l].pid, SIGKILL);
            worker_ended(l, 1);
        }
    export_stop();
    store_close();
    if (C.store_failed) {
        fprintf(log, "vokcli: %s\n", C.store_error);
        return COLLECT_STORE;
    }
    logf("monitor stopped: %lld readouts, %lld readings written", (long long)C.readouts, (long long)C.readings);
    return COLLECT_OK;
}
