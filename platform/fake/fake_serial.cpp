// Fake serial backend: a COM port driver model (input queue, bit-timed output, time-outs,
// modem lines) wired to a simulated serial converter, on virtual time.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/fake/fake_state.h"
#include "platform/serial.h"
#include "sim/sim.h"

struct SerialPort {
    std::string name;
    sim::SerialConverter *conv = nullptr;
    bool open = false;
    bool unplugged = false;         // the device is gone: nothing on it works
    SerialLine line{};
    SerialTimeouts timeouts{};
    uint32_t event_mask = 0;
    fake::SerialConfig config;      // what the program set since the open
    bool initial_given = false;
    SerialLine initial{};           // the device's settings at open (set_initial_line)
    std::vector<uint8_t> inq;       // driver input queue
    bool overrun = false;
    int rts = 0, dtr = 0;
    bool event[2] = {false, false};
    std::vector<fake::SerialEvent> log;
};

namespace fake {

static const size_t IN_QUEUE = 4200;
static std::map<std::string, std::unique_ptr<SerialPort>> g_ports;
static int g_os_family = SERIAL_OS_NT;

void reset_serial()
{
    g_ports.clear();
    g_os_family = SERIAL_OS_NT;
}

void attach_serial(const std::string &port_name, sim::SerialConverter *conv)
{
    auto &p = g_ports[port_name];
    if (!p)
        p = std::make_unique<SerialPort>();
    p->name = port_name;
    p->conv = conv;
    p->unplugged = false;
    if (conv)
        conv->clear();  // bytes in flight belong to an earlier time line
}

void set_os_family(int family) { g_os_family = family; }

static SerialPort *port(const std::string &name)
{
    auto it = g_ports.find(name);
    return it == g_ports.end() ? nullptr : it->second.get();
}

void unplug_serial(const std::string &port_name)
{
    if (SerialPort *p = port(port_name)) {
        p->unplugged = true;
        p->conv = nullptr;
        p->inq.clear();
    }
}

const std::vector<SerialEvent> &serial_log(const std::string &port_name)
{
    static const std::vector<SerialEvent> none;
    SerialPort *p = port(port_name);
    return p ? p->log : none;
}

void clear_serial_log(const std::string &port_name)
{
    if (SerialPort *p = port(port_name))
        p->log.clear();
}

const SerialConfig *serial_config(const std::string &port_name)
{
    SerialPort *p = port(port_name);
    return p ? &p->config : nullptr;
}

void set_initial_line(const std::string &port_name, const SerialLine &line)
{
    auto &p = g_ports[port_name];
    if (!p)
        p = std::make_unique<SerialPort>();
    p->name = port_name;
    p->initial = line;
    p->initial_given = true;
}

int serial_rts(const std::string &port_name)
{
    SerialPort *p = port(port_name);
    return p ? p->rts : -1;
}

int serial_dtr(const std::string &port_name)
{
    SerialPort *p = port(port_name);
    return p ? p->dtr : -1;
}

// Moves the bytes that have arrived by now into the driver queue; a full queue loses them.
static void pull(SerialPort *p)
{
    if (p->conv == nullptr)
        return;
    std::vector<uint8_t> in;
    p->conv->take(g_now_us, in);
    for (uint8_t b : in) {
        if (p->inq.size() < IN_QUEUE)
            p->inq.push_back(b);
        else
            p->overrun = true;
    }
}

int serial_in_queue(const std::string &port_name)
{
    SerialPort *p = port(port_name);
    if (p == nullptr)
        return -1;
    pull(p);
    return (int)p->inq.size();
}

static void log(SerialPort *p, SerialEvent::Kind k, int value, std::vector<uint8_t> bytes = {})
{
    if (g_logging)
        p->log.push_back(SerialEvent{g_now_us, k, std::move(bytes), value});
}

// Arrival time of the k-th byte (0-based) counted from the driver queue's head.
static int64_t arrival_of_nth(SerialPort *p, size_t k)
{
    if (k < p->inq.size())
        return g_now_us;
    if (p->conv == nullptr)
        return sim::NEVER;
    return p->conv->arrival_of(k - p->inq.size());
}

}  // namespace fake

using namespace fake;

static bool valid(SerialHandle h) { return h != nullptr && h->open && !h->unplugged; }

int serial_os_family(void) { return g_os_family; }

SerialHandle serial_open(const char *name)
{
    SerialPort *p = name ? port(name) : nullptr;
    if (p == nullptr || p->open || p->unplugged || take_failure(Fail::Open))
        return SERIAL_INVALID;
    p->open = true;
    p->inq.clear();
    p->overrun = false;
    p->event[0] = p->event[1] = false;
    p->line = SerialLine{};
    p->line.baud = 9600;
    p->line.byte_size = 8;
    if (p->initial_given)
        p->line = p->initial;
    p->timeouts = SerialTimeouts{};
    p->config = SerialConfig{};
    log(p, SerialEvent::Open, 1);
    return p;
}

int serial_close(SerialHandle h)
{
    if (h == nullptr)
        return 1;
    h->open = false;
    h->event[0] = h->event[1] = false;
    log(h, SerialEvent::Close, 1);
    return 1;
}

int serial_set_event_mask(SerialHandle h, uint32_t mask)
{
    if (!valid(h))
        return 0;
    h->event_mask = mask;
    h->config.event_mask = mask;
    h->config.event_mask_set = true;
    return 1;
}

int serial_setup_queues(SerialHandle h, uint32_t in_size, uint32_t out_size)
{
    if (!valid(h))
        return 0;
    h->config.in_queue_size = in_size;
    h->config.out_queue_size = out_size;
    h->config.queues_set = true;
    return 1;
}

int serial_set_timeouts(SerialHandle h, const SerialTimeouts *t)
{
    if (!valid(h) || t == nullptr)
        return 0;
    h->timeouts = *t;
    h->config.timeouts = *t;
    h->config.timeouts_set = true;
    return 1;
}

int serial_get_line(SerialHandle h, SerialLine *line)
{
    if (!valid(h) || line == nullptr)
        return 0;
    *line = h->line;
    return 1;
}

int serial_set_line(SerialHandle h, const SerialLine *line)
{
    if (!valid(h) || line == nullptr)
        return 0;
    if (take_failure(Fail::SetLine) || line->baud == 0) {
        log(h, SerialEvent::SetLine, 0);
        return 0;
    }
    h->line = *line;
    h->config.line = *line;
    h->config.line_set = true;
    log(h, SerialEvent::SetLine, (int)line->baud);
    return 1;
}

int serial_purge(SerialHandle h, uint32_t flags)
{
    if (!valid(h))
        return 0;
    // Bytes still on the wire are not the driver's: they arrive after the purge.
    if (flags & (SERIAL_PURGE_RXCLEAR | SERIAL_PURGE_RXABORT)) {
        pull(h);
        if (flags & SERIAL_PURGE_RXCLEAR)
            h->inq.clear();
    }
    log(h, SerialEvent::Purge, (int)flags);
    return 1;
}

int serial_set_rts(SerialHandle h, int on)
{
    if (!valid(h))
        return 0;
    h->rts = on ? 1 : 0;
    log(h, SerialEvent::Rts, h->rts);
    return 1;
}

int serial_set_dtr(SerialHandle h, int on)
{
    if (!valid(h))
        return 0;
    h->dtr = on ? 1 : 0;
    log(h, SerialEvent::Dtr, h->dtr);
    return 1;
}

int serial_create_event(SerialHandle h, int which)
{
    if (!valid(h) || which < 0 || which > 1 || take_failure(Fail::CreateEvent))
        return 0;
    h->event[which] = true;
    return 1;
}

int serial_close_event(SerialHandle h, int which)
{
    if (h == nullptr || which < 0 || which > 1 || !h->event[which])
        return 0;
    h->event[which] = false;
    return 1;
}

int serial_clear_errors(SerialHandle h, uint32_t *errors, int *in_queue, int *out_queue)
{
    if (!valid(h))
        return 0;
    pull(h);
    if (errors)
        *errors = h->overrun ? 0x0002u : 0u;  // CE_OVERRUN
    h->overrun = false;
    if (out_queue)
        *out_queue = 0;  // writes complete before they return
    if (in_queue) {
        *in_queue = (int)h->inq.size();
        log(h, SerialEvent::QueueQuery, *in_queue);
    } else {
        log(h, SerialEvent::ClearErrors, (int)h->inq.size());
    }
    return 1;
}

int serial_read(SerialHandle h, void *buf, int count)
{
    if (!valid(h) || buf == nullptr || count < 0)
        return -1;
    if (take_failure(Fail::Read)) {
        h->overrun = false;
        log(h, SerialEvent::Read, count);
        return -1;
    }
    pull(h);
    const SerialTimeouts &to = h->timeouts;
    const bool no_timeout = to.read_interval == 0 && to.read_total_mult == 0 &&
                            to.read_total_const == 0;
    const int64_t deadline =
        no_timeout ? sim::NEVER
                   : g_now_us + ((int64_t)to.read_total_mult * count + to.read_total_const) * 1000;
    if (count > 0) {
        // Wait for the count-th byte, or the time-out, whichever comes first.
        const int64_t t_last = arrival_of_nth(h, (size_t)count - 1);
        if (t_last != sim::NEVER && t_last <= deadline) {
            g_now_us = std::max(g_now_us, t_last);
        } else if (deadline != sim::NEVER) {
            g_now_us = deadline;
        }
        // (no time-outs and no more bytes coming: a real read would hang; it returns what is
        // there at once, as a read on a line whose far end is gone does, and time stays put)
        pull(h);
    }
    const int n = std::min<int>(count, (int)h->inq.size());
    if (n > 0)
        std::memcpy(buf, h->inq.data(), (size_t)n);
    std::vector<uint8_t> got(h->inq.begin(), h->inq.begin() + n);
    h->inq.erase(h->inq.begin(), h->inq.begin() + n);
    log(h, SerialEvent::Read, count, std::move(got));
    return n;
}

static int write_common(SerialHandle h, const void *buf, int count)
{
    if (!valid(h) || buf == nullptr || count < 0)
        return -1;
    const uint8_t *p = (const uint8_t *)buf;
    std::vector<uint8_t> bytes(p, p + count);
    if (take_failure(Fail::Write)) {
        log(h, SerialEvent::Write, -1, std::move(bytes));
        return -1;
    }
    log(h, SerialEvent::Write, count, bytes);
    if (h->conv && count > 0) {
        const int64_t done = h->conv->send(g_now_us, p, (size_t)count, h->line.baud);
        g_now_us = std::max(g_now_us, done);
    } else if (count > 0) {
        g_now_us += (int64_t)count * 10 * 1000000 / (h->line.baud ? h->line.baud : 9600);
    }
    return count;
}

int serial_write(SerialHandle h, const void *buf, int count)
{
    return write_common(h, buf, count);
}

int serial_write_plain(SerialHandle h, const void *buf, int count)
{
    return write_common(h, buf, count);
}

int serial_transmit_char(SerialHandle h, uint8_t c)
{
    return write_common(h, &c, 1) == 1 ? 1 : 0;
}

uint32_t serial_wait_event(SerialHandle h, uint32_t mask, int timeout_ms)
{
    if (!valid(h))
        return 0;
    // Writes finish before they return, so the output side is always empty.
    if (mask & SERIAL_EV_TXEMPTY)
        return SERIAL_EV_TXEMPTY;
    if (!(mask & SERIAL_EV_RXCHAR))
        return 0;
    pull(h);
    if (!h->inq.empty())
        return SERIAL_EV_RXCHAR;
    const int64_t deadline = g_now_us + (int64_t)std::max(timeout_ms, 0) * 1000;
    const int64_t next = h->conv ? h->conv->next_arrival_us() : sim::NEVER;
    if (next <= deadline) {
        g_now_us = std::max(g_now_us, next);
        pull(h);
        return SERIAL_EV_RXCHAR;
    }
    g_now_us = deadline;
    return 0;
}
