// Serial backend for POSIX: the Win32 communications model on a tty file descriptor.
// Ports libserialport knows (UARTs, USB adapters) are opened through it; pseudo-terminals,
// which it refuses, are opened directly. Either way the I/O below works on the descriptor
// with termios and poll, so a pty pair behaves like a real line in the tests.
#include <errno.h>
#include <fcntl.h>
#include <libserialport.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/serial.h"

enum { PORT_SLOTS = 8 };
static const uint32_t NO_WAIT = 0xFFFFFFFFu;  // MAXDWORD in a Win32 read interval

struct SerialPort {
    int used;
    int fd;
    struct sp_port *sp;  // non-null when libserialport opened the device
    SerialLine line;
    SerialTimeouts timeouts;
    uint32_t event_mask;
    uint32_t in_size, out_size;
    int rts, dtr;  // last state asked for (a pty has no modem lines)
    int event_open[2];
};

static SerialPort Ports[PORT_SLOTS];

int serial_os_family(void) { return 0; }

// --- time helpers (CLOCK_MONOTONIC, nanoseconds) ---

static int64_t mono_ns(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000000 + t.tv_nsec;
}

// The deadline `total_ms` from now, held to a year so it stays in range; -1 (none) for 0.
static int64_t deadline_after(uint64_t total_ms)
{
    if (total_ms > 86400000ull * 365) total_ms = 86400000ull * 365;
    return total_ms ? mono_ns() + (int64_t)total_ms * 1000000 : -1;
}

// Waits for `events` on the descriptor until `deadline_ns` (-1: no limit). Returns the
// revents seen, 0 on time-out, -1 on failure.
static int wait_fd(int fd, short events, int64_t deadline_ns)
{
    for (;;) {
        struct pollfd p = {fd, events, 0};
        struct timespec ts, *tsp = nullptr;
        if (deadline_ns >= 0) {
            int64_t left = deadline_ns - mono_ns();
            if (left <= 0) return 0;
            ts.tv_sec = (time_t)(left / 1000000000);
            ts.tv_nsec = (long)(left % 1000000000);
            tsp = &ts;
        }
        int r = ppoll(&p, 1, tsp, nullptr);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        return r == 0 ? 0 : p.revents;
    }
}

// --- opening ---

// "COMn" names a port the Windows way. On POSIX it maps to $VOK_COMn when set (a pty made
// by a test or the simulator), else to $VOK3900D_COMn (the name the library read first, so
// one setting serves every program), else to /dev/ttyS(n-1). Any other name is a device path.
static void device_path(const char *name, char *out, size_t size)
{
    if (strncmp(name, "COM", 3) == 0 && name[3] >= '1' && name[3] <= '9') {
        char *end = nullptr;
        long n = strtol(name + 3, &end, 10);
        if (end && *end == '\0' && n >= 1 && n <= 256) {
            char var[32];
            snprintf(var, sizeof var, "VOK_COM%ld", n);
            const char *mapped = getenv(var);
            if (!mapped || !*mapped) {
                snprintf(var, sizeof var, "VOK3900D_COM%ld", n);
                mapped = getenv(var);
            }
            if (mapped && *mapped)
                snprintf(out, size, "%s", mapped);
            else
                snprintf(out, size, "/dev/ttyS%ld", n - 1);
            return;
        }
    }
    snprintf(out, size, "%s", name);
}

// The line speeds a port takes, with their termios codes.
static const struct {
    uint32_t baud;
    speed_t code;
} Speeds[] = {{1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
              {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};

static speed_t speed_code(uint32_t baud)
{
    for (const auto &s : Speeds)
        if (s.baud == baud) return s.code;
    return B0;
}

static uint32_t speed_value(speed_t code)
{
    for (const auto &s : Speeds)
        if (s.code == code) return s.baud;
    return 0;
}

// Raw, receiver on, modem status ignored: the line settings are then applied on top.
static int make_raw(int fd)
{
    struct termios t;
    if (tcgetattr(fd, &t) != 0) return 0;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

static void line_from_termios(int fd, SerialLine *line)
{
    memset(line, 0, sizeof *line);
    line->binary = 1;
    struct termios t;
    if (tcgetattr(fd, &t) != 0) return;
    line->baud = speed_value(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5: line->byte_size = 5; break;
    case CS6: line->byte_size = 6; break;
    case CS7: line->byte_size = 7; break;
    default: line->byte_size = 8; break;
    }
    line->parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    line->stop_bits = (t.c_cflag & CSTOPB) ? 2 : 0;
    line->out_cts_flow = (t.c_cflag & CRTSCTS) ? 1 : 0;
    line->out_x = (t.c_iflag & IXON) ? 1 : 0;
    line->in_x = (t.c_iflag & IXOFF) ? 1 : 0;
}

static void close_device(SerialPort *p)
{
    if (p->sp) {
        sp_close(p->sp);
        sp_free_port(p->sp);
    } else if (p->fd >= 0) {
        close(p->fd);
    }
    memset(p, 0, sizeof *p);
    p->fd = -1;
}

SerialHandle serial_open(const char *name)
{
    SerialPort *p = std::find_if(Ports, Ports + PORT_SLOTS, [](const SerialPort &s) { return !s.used; });
    if (!name || !*name || p == Ports + PORT_SLOTS) return SERIAL_INVALID;
    memset(p, 0, sizeof *p);
    p->fd = -1;

    char path[256];
    device_path(name, path, sizeof path);

    struct sp_port *sp = nullptr;
    if (sp_get_port_by_name(path, &sp) == SP_OK) {
        int fd = -1;
        if (sp_open(sp, SP_MODE_READ_WRITE) != SP_OK) {
            sp_free_port(sp);
            return SERIAL_INVALID;
        }
        if (sp_get_port_handle(sp, &fd) != SP_OK || fd < 0) {
            sp_close(sp);
            sp_free_port(sp);
            return SERIAL_INVALID;
        }
        p->sp = sp;
        p->fd = fd;
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    } else {
        if (sp) sp_free_port(sp);
        p->fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (p->fd < 0) return SERIAL_INVALID;
        if (!isatty(p->fd)) {  // not a serial line at all
            close_device(p);
            return SERIAL_INVALID;
        }
    }
    // Not shared: a second open of the same device fails while this one holds it.
    if (flock(p->fd, LOCK_EX | LOCK_NB) != 0) {
        close_device(p);
        return SERIAL_INVALID;
    }
    ioctl(p->fd, TIOCEXCL);
    if (!make_raw(p->fd)) {
        close_device(p);
        return SERIAL_INVALID;
    }
    line_from_termios(p->fd, &p->line);
    p->used = 1;
    return p;
}

int serial_close(SerialHandle h)
{
    if (!h || !h->used) return 1;
    close_device(h);
    return 1;
}

// --- settings (bookkeeping where POSIX has no equivalent) ---

int serial_set_event_mask(SerialHandle h, uint32_t mask)
{
    if (!h || !h->used) return 0;
    h->event_mask = mask;
    return 1;
}

// The kernel's tty buffers have a fixed size; the sizes are remembered only.
int serial_setup_queues(SerialHandle h, uint32_t in_size, uint32_t out_size)
{
    if (!h || !h->used) return 0;
    h->in_size = in_size;
    h->out_size = out_size;
    return 1;
}

int serial_set_timeouts(SerialHandle h, const SerialTimeouts *t)
{
    if (!h || !h->used || !t) return 0;
    h->timeouts = *t;
    return 1;
}

int serial_get_line(SerialHandle h, SerialLine *line)
{
    if (!h || !h->used || !line) return 0;
    *line = h->line;
    return 1;
}

// A pty has no modem lines: the state is remembered and the call succeeds.
static int set_modem_line(SerialHandle h, int bit, int on)
{
    if (bit == TIOCM_RTS) h->rts = on ? 1 : 0;
    else h->dtr = on ? 1 : 0;
    if (ioctl(h->fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return 1;
    return errno == ENOTTY || errno == EINVAL;
}

int serial_set_line(SerialHandle h, const SerialLine *line)
{
    if (!h || !h->used || !line) return 0;
    speed_t speed = speed_code(line->baud);
    if (speed == B0 || line->byte_size < 5 || line->byte_size > 8 || line->parity > 2 ||
        (line->stop_bits != 0 && line->stop_bits != 2))
        return 0;
    struct termios t;
    if (tcgetattr(h->fd, &t) != 0) return 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[line->byte_size - 5] | CLOCAL | CREAD;
    if (line->parity) t.c_cflag |= PARENB | (line->parity == 1 ? PARODD : 0);
    if (line->stop_bits == 2) t.c_cflag |= CSTOPB;
    // RTS handshake and CTS output flow are the one hardware flow control termios has.
    if (line->out_cts_flow || line->rts_control == 2) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~(tcflag_t)(IXON | IXOFF | INPCK);
    if (line->out_x) t.c_iflag |= IXON;
    if (line->in_x) t.c_iflag |= IXOFF;
    if (line->parity_check) t.c_iflag |= INPCK;
    t.c_cc[VSTART] = (cc_t)line->xon_char;
    t.c_cc[VSTOP] = (cc_t)line->xoff_char;
    if (tcsetattr(h->fd, TCSANOW, &t) != 0) return 0;
    h->line = *line;
    // As SetCommState does: "disable" drops the line, "enable" raises it.
    if (line->dtr_control <= 1) set_modem_line(h, TIOCM_DTR, line->dtr_control);
    if (line->rts_control <= 1) set_modem_line(h, TIOCM_RTS, line->rts_control);
    return 1;
}

// Reads are synchronous, so nothing is ever in flight to abort; the clear flags flush.
int serial_purge(SerialHandle h, uint32_t flags)
{
    if (!h || !h->used) return 0;
    int in = (flags & SERIAL_PURGE_RXCLEAR) != 0, out = (flags & SERIAL_PURGE_TXCLEAR) != 0;
    if (in || out) {
        if (tcflush(h->fd, in && out ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH) != 0) return 0;
    }
    return 1;
}

int serial_set_rts(SerialHandle h, int on) { return h && h->used ? set_modem_line(h, TIOCM_RTS, on) : 0; }
int serial_set_dtr(SerialHandle h, int on) { return h && h->used ? set_modem_line(h, TIOCM_DTR, on) : 0; }

static int mark_event(SerialHandle h, int which, int is_open)
{
    if (!h || !h->used || which < 0 || which > 1) return 0;
    h->event_open[which] = is_open;
    return 1;
}

int serial_create_event(SerialHandle h, int which) { return mark_event(h, which, 1); }
int serial_close_event(SerialHandle h, int which) { return mark_event(h, which, 0); }

int serial_clear_errors(SerialHandle h, uint32_t *errors, int *in_queue, int *out_queue)
{
    if (!h || !h->used) return 0;
    int in = 0, out = 0;
    // A device that went away (or a pty whose far end closed) answers EIO: a failure, as
    // ClearCommError's on a port whose device is gone, not an empty queue.
    if (ioctl(h->fd, TIOCINQ, &in) != 0) return 0;
    if (ioctl(h->fd, TIOCOUTQ, &out) != 0) return 0;
    if (errors) *errors = 0;  // framing and overrun counts are not reported by a tty
    if (in_queue) *in_queue = in;
    if (out_queue) *out_queue = out;
    return 1;
}

// --- I/O ---

int serial_read(SerialHandle h, void *buf, int count)
{
    if (!h || !h->used || !buf || count < 0) return -1;
    if (count == 0) return 0;
    const SerialTimeouts &t = h->timeouts;
    uint8_t *dst = (uint8_t *)buf;
    // Win32 rules: interval MAXDWORD with no totals returns what is queued; all zero waits
    // for the whole count; otherwise the total time-out bounds the read.
    int immediate = t.read_interval == NO_WAIT && t.read_total_mult == 0 && t.read_total_const == 0;
    // Interval and multiplier both MAXDWORD: wait up to the constant for the first bytes.
    int first_bytes = t.read_interval == NO_WAIT && t.read_total_mult == NO_WAIT;
    int64_t deadline = deadline_after(first_bytes ? t.read_total_const
                                                  : (uint64_t)t.read_total_mult * (uint64_t)count + t.read_total_const);
    int interval = t.read_interval != 0 && t.read_interval != NO_WAIT;
    int got = 0, hung_up = 0;
    for (;;) {
        ssize_t n = read(h->fd, dst + got, (size_t)(count - got));
        if (n > 0) {
            got += (int)n;
            if (got == count) break;
            if (first_bytes) break;
            if (interval) {
                int64_t gap = mono_ns() + (int64_t)t.read_interval * 1000000;
                if (deadline < 0 || gap < deadline) deadline = gap;
            }
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // A device that went away (EIO): ends the read like a line error.
            return got > 0 ? got : -1;
        }
        // After a hang-up the descriptor stays readable with nothing to read: once the
        // last queued bytes are taken, end like a line error instead of spinning.
        if (hung_up) return got > 0 ? got : -1;
        if (immediate) break;
        int r = wait_fd(h->fd, POLLIN, deadline);
        if (r == 0) break;
        if (r < 0) return got > 0 ? got : -1;
        if (r & (POLLHUP | POLLERR)) hung_up = 1;
    }
    return got;
}

// Writes all bytes within the write time-out (none set: no limit). Bytes written or -1.
static int write_all(SerialHandle h, const uint8_t *src, int count)
{
    const SerialTimeouts &t = h->timeouts;
    const int64_t deadline = deadline_after((uint64_t)t.write_total_mult * (uint64_t)count + t.write_total_const);
    int done = 0;
    while (done < count) {
        ssize_t n = write(h->fd, src + done, (size_t)(count - done));
        if (n > 0) {
            done += (int)n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return done > 0 ? done : -1;
        int r = wait_fd(h->fd, POLLOUT, deadline);
        if (r <= 0) break;  // write time-out: report what went out
    }
    return done;
}

int serial_write(SerialHandle h, const void *buf, int count)
{
    if (!h || !h->used || !buf || count < 0) return -1;
    int n = write_all(h, (const uint8_t *)buf, count);
    // Completion means on the wire: the caller drops RTS right after this returns.
    if (n > 0) tcdrain(h->fd);
    return n;
}

int serial_write_plain(SerialHandle h, const void *buf, int count)
{
    return serial_write(h, buf, count);
}

int serial_transmit_char(SerialHandle h, uint8_t c)
{
    if (!h || !h->used) return 0;
    return write_all(h, &c, 1) == 1;
}

uint32_t serial_wait_event(SerialHandle h, uint32_t mask, int timeout_ms)
{
    if (!h || !h->used) return 0;
    uint32_t wanted = mask & h->event_mask;
    uint32_t seen = 0;
    if (wanted & SERIAL_EV_TXEMPTY) {
        // The transmitter is empty once the queued bytes have drained.
        if (tcdrain(h->fd) == 0) seen |= SERIAL_EV_TXEMPTY;
    }
    if (wanted & SERIAL_EV_RXCHAR) {
        int in = 0;
        if (ioctl(h->fd, TIOCINQ, &in) == 0 && in > 0) {
            seen |= SERIAL_EV_RXCHAR;
        } else if (!seen && timeout_ms != 0) {
            int r = wait_fd(h->fd, POLLIN, timeout_ms < 0 ? -1 : deadline_after((uint64_t)timeout_ms));
            // A hung-up pty polls readable with nothing queued: only real bytes count.
            if (r > 0 && ioctl(h->fd, TIOCINQ, &in) == 0 && in > 0) seen |= SERIAL_EV_RXCHAR;
        }
    }
    return seen;
}
