// The serial seam's contract on a line whose far end the caller holds: opening by name, line
// settings, read time-outs measured (not early, not far late), exact bytes, short, oversized
// and zero-length reads, the input-queue count and purge, a far end that hangs up and a
// device that goes away.
#include "tests/platform/serial_contract.h"

#include <stdio.h>
#include <string.h>

#include "platform/clock.h"
#include "platform/serial.h"

namespace {

// The link layer's time-outs: 3 ms a byte asked plus 10 ms.
const SerialTimeouts Link = {0, 3, 10, 3, 20};
// A wait may not end early; a loaded machine (and Wine's server round trips) only add time.
const double Early = 4.0, Late = 60.0;  // ms

struct Run {
    const SerialPeer *peer;
    SerialHandle h;
    char got[112];  // what the check saw, printed with its line
};

double ms_since(int64_t t0) { return (double)(now_us() - t0) / 1000.0; }
bool lasted(double ms, double want) { return ms >= want - Early && ms < want + Late; }

// Polls the input-queue count until it holds `want` bytes or 2 s have passed; the last
// count, -1 when the query failed.
int queued(SerialHandle h, int want)
{
    const int64_t deadline = now_us() + 2000000;
    for (;;) {
        int in = -1;
        if (!serial_clear_errors(h, nullptr, &in, nullptr)) return -1;
        if (in >= want || now_us() >= deadline) return in;
        sleep_ms(1);
    }
}

// The far end sends n bytes of a pattern that starts at `seed`; the queue count once they
// are there (or the deadline passed).
int peer_sends(Run &r, uint8_t *pattern, int n, uint8_t seed)
{
    for (int i = 0; i < n; i++) pattern[i] = (uint8_t)(seed + 7 * i);
    return r.peer->send(pattern, n) ? queued(r.h, n) : -2;
}

struct Timed {
    int n;
    double ms;
};

Timed timed_read(SerialHandle h, void *buf, int count, const SerialTimeouts &t)
{
    if (!serial_set_timeouts(h, &t)) return {-100, 0};
    const int64_t t0 = now_us();
    const int n = serial_read(h, buf, count);
    return {n, ms_since(t0)};
}

bool opens_by_name(Run &r)
{
    r.h = serial_open(r.peer->port);
    snprintf(r.got, sizeof r.got, "%s", r.h != SERIAL_INVALID ? "opened" : "refused");
    return r.h != SERIAL_INVALID;
}

bool missing_name_fails(Run &r)
{
    SerialHandle other = serial_open("COM200");
    snprintf(r.got, sizeof r.got, "%s", other != SERIAL_INVALID ? "opened" : "refused");
    if (other != SERIAL_INVALID) serial_close(other);
    return other == SERIAL_INVALID;
}

// The link layer's set-up: queues, event mask, time-outs, 9600 8N1 without flow control.
bool line_settings(Run &r)
{
    SerialLine line;
    memset(&line, 0, sizeof line);
    int ok = serial_set_event_mask(r.h, SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY) &&
             serial_setup_queues(r.h, 4200, 256) && serial_set_timeouts(r.h, &Link) &&
             serial_get_line(r.h, &line);
    line.baud = 9600;
    line.byte_size = 8;
    line.parity = line.stop_bits = 0;
    line.binary = 1;
    line.parity_check = line.out_cts_flow = line.out_dsr_flow = line.dsr_sensitivity = 0;
    line.out_x = line.in_x = line.error_char_on = line.null_strip = line.abort_on_error = 0;
    line.dtr_control = line.rts_control = 0;
    line.xon_lim = 0;
    line.xoff_lim = 4160;
    ok = ok && serial_set_line(r.h, &line);
    SerialLine back;
    memset(&back, 0, sizeof back);
    ok = ok && serial_get_line(r.h, &back) && back.baud == 9600 && back.byte_size == 8 &&
         back.parity == 0 && back.stop_bits == 0;
    ok = ok && serial_purge(r.h, SERIAL_PURGE_ALL) && serial_create_event(r.h, SERIAL_READ_EVENT) &&
         serial_create_event(r.h, SERIAL_WRITE_EVENT);
    snprintf(r.got, sizeof r.got, "set-up %s, read back %u baud %u-%u-%u", ok ? "accepted" : "refused",
             (unsigned)back.baud, back.byte_size, back.parity, back.stop_bits);
    return ok != 0;
}

bool empty_read_times_out(Run &r)
{
    uint8_t buf[32];
    const Timed t = timed_read(r.h, buf, 18, Link);
    snprintf(r.got, sizeof r.got, "%d bytes after %.1f ms, 64 ms due", t.n, t.ms);
    return t.n == 0 && lasted(t.ms, 64);
}

bool queue_counts_what_arrived(Run &r)
{
    uint8_t sent[20];
    const int in = peer_sends(r, sent, 20, 0x30);
    // Settled: nothing more than was sent shows up.
    int again = -1;
    serial_clear_errors(r.h, nullptr, &again, nullptr);
    snprintf(r.got, sizeof r.got, "count %d, then %d, 20 sent", in, again);
    return in == 20 && again == 20;
}

// Reads the 20 bytes the check before left queued: whole and unchanged, without waiting for
// the (long) time-out.
bool read_returns_the_bytes_at_once(Run &r)
{
    uint8_t want[20], buf[20];
    for (int i = 0; i < 20; i++) want[i] = (uint8_t)(0x30 + 7 * i);
    const SerialTimeouts slow = {0, 3, 300, 3, 20};
    const Timed t = timed_read(r.h, buf, 20, slow);
    const bool same = t.n == 20 && memcmp(buf, want, 20) == 0;
    snprintf(r.got, sizeof r.got, "%d bytes%s after %.1f ms", t.n, same ? " unchanged" : ", differing", t.ms);
    return same && t.ms < Late;
}

bool short_read_waits_its_time_out(Run &r)
{
    uint8_t sent[3], buf[10];
    const int in = peer_sends(r, sent, 3, 0x81);
    const Timed t = timed_read(r.h, buf, 10, Link);
    snprintf(r.got, sizeof r.got, "%d of 10 after %.1f ms (3 queued), 40 ms due", t.n, t.ms);
    return in == 3 && t.n == 3 && memcmp(buf, sent, 3) == 0 && lasted(t.ms, 40);
}

bool zero_length_read_returns_at_once(Run &r)
{
    uint8_t sent[2], buf[4];
    const int in = peer_sends(r, sent, 2, 0xC1);
    const SerialTimeouts slow = {0, 0, 200, 3, 20};
    const Timed t = timed_read(r.h, buf, 0, slow);
    const int left = queued(r.h, 0);
    const Timed rest = timed_read(r.h, buf, 2, Link);
    snprintf(r.got, sizeof r.got, "%d after %.1f ms, %d still queued", t.n, t.ms, left);
    return in == 2 && t.n == 0 && t.ms < Late && left == 2 && rest.n == 2 && memcmp(buf, sent, 2) == 0;
}

// Asks for far more than any reply, into a buffer of exactly that size: the bytes that came,
// after the time-out, and nothing written past them.
bool oversized_read(Run &r)
{
    enum { Ask = 4200, Fill = 0xA5 };
    static uint8_t buf[Ask];
    memset(buf, Fill, sizeof buf);
    uint8_t sent[20];
    const int in = peer_sends(r, sent, 20, 0x11);
    const SerialTimeouts total = {0, 0, 100, 3, 20};
    const Timed t = timed_read(r.h, buf, Ask, total);
    int touched = 0;
    for (int i = 20; i < Ask; i++) touched += buf[i] != Fill;
    snprintf(r.got, sizeof r.got, "%d of %d after %.1f ms, 100 ms due, %d bytes past them written", t.n, Ask,
             t.ms, touched);
    return in == 20 && t.n == 20 && memcmp(buf, sent, 20) == 0 && touched == 0 && lasted(t.ms, 100);
}

bool purge_empties_the_queue(Run &r)
{
    uint8_t sent[9], buf[9];
    const int in = peer_sends(r, sent, 9, 0x55);
    const int purged = serial_purge(r.h, SERIAL_PURGE_RXABORT | SERIAL_PURGE_RXCLEAR);
    int after = -1;
    serial_clear_errors(r.h, nullptr, &after, nullptr);
    const Timed t = timed_read(r.h, buf, 9, Link);
    snprintf(r.got, sizeof r.got, "%d queued, purge %d, then %d queued and %d read", in, purged, after, t.n);
    return in == 9 && purged == 1 && after == 0 && t.n == 0;
}

// The far end goes: a read ends within its time-out, as a failure or with nothing.
bool hung_up_read_ends(Run &r)
{
    uint8_t buf[8];
    const int gone = r.peer->hang_up();
    const Timed t = timed_read(r.h, buf, 8, Link);
    snprintf(r.got, sizeof r.got, "%d after %.1f ms", t.n, t.ms);
    return gone && (t.n == -1 || t.n == 0) && t.ms < 34 + Late;
}

// With no time-outs a read waits for its whole count; a far end that is gone ends it.
bool hung_up_read_without_time_outs_ends(Run &r)
{
    uint8_t buf[8];
    const SerialTimeouts none = {0, 0, 0, 0, 0};
    const Timed t = timed_read(r.h, buf, 8, none);
    serial_set_timeouts(r.h, &Link);
    snprintf(r.got, sizeof r.got, "%d after %.1f ms", t.n, t.ms);
    return (t.n == -1 || t.n == 0) && t.ms < Late;
}

bool removed_port_fails_queries(Run &r)
{
    const int gone = r.peer->remove();
    int in = -7;
    const int ok = serial_clear_errors(r.h, nullptr, &in, nullptr);
    snprintf(r.got, sizeof r.got, "query %d (count %d)", ok, in);
    return gone && ok == 0;
}

bool removed_port_fails_writes(Run &r)
{
    const int n = serial_write(r.h, "$01M\r", 5);
    snprintf(r.got, sizeof r.got, "write %d", n);
    return n == -1;
}

bool removed_port_opens_no_more(Run &r)
{
    SerialHandle again = serial_open(r.peer->port);
    snprintf(r.got, sizeof r.got, "%s", again != SERIAL_INVALID ? "opened" : "refused");
    if (again != SERIAL_INVALID) serial_close(again);
    return again == SERIAL_INVALID && serial_close(r.h) == 1;
}

struct Check {
    const char *name;
    bool (*run)(Run &);
};

// In order: each check may rely on the state the one before left (the open port, the bytes
// queued), and the far end is gone after the last three.
const Check Checks[] = {
    {"open: the port opens by its name", opens_by_name},
    {"open: a name with no device behind it fails", missing_name_fails},
    {"line: queues, mask, time-outs and 9600 8N1 are accepted and read back", line_settings},
    {"read: nothing arriving gives 0 after the total time-out", empty_read_times_out},
    {"queue: the input-queue count is what the far end sent", queue_counts_what_arrived},
    {"read: the bytes sent come back unchanged, at once when all are there", read_returns_the_bytes_at_once},
    {"read: asking more than arrived gives what arrived, after the time-out", short_read_waits_its_time_out},
    {"read: a zero-length read gives 0 at once and takes nothing", zero_length_read_returns_at_once},
    {"read: 4200 asked of 20 gives the 20, nothing written past them", oversized_read},
    {"purge: the input queue is empty after it", purge_empties_the_queue},
    {"hang-up: a read ends within its time-out, failed or empty", hung_up_read_ends},
    {"hang-up: a read without time-outs ends too", hung_up_read_without_time_outs_ends},
    {"removed: the input-queue query fails", removed_port_fails_queries},
    {"removed: a write fails", removed_port_fails_writes},
    {"removed: the name opens no more", removed_port_opens_no_more},
};

}  // namespace

int serial_contract_run(const SerialPeer *peer)
{
    Run r;
    memset(&r, 0, sizeof r);
    r.peer = peer;
    int passed = 0, failed = 0;
    for (const Check &c : Checks) {
        r.got[0] = '\0';
        // Without an open port the rest would only repeat the first failure.
        const bool ok = (r.h != SERIAL_INVALID || c.run == opens_by_name) && c.run(r);
        printf("%s %s: %s\n", ok ? "ok  " : "FAIL", c.name, r.got[0] ? r.got : "port not open");
        fflush(stdout);  // a check that hangs is then named by the last line
        if (ok)
            passed++;
        else
            failed++;
    }
    printf("%d passed, %d failed\n", passed, failed);
    fflush(stdout);
    return failed;
}
