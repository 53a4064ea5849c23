// COM port primitives over the serial seam, with the program's fixed line settings and the
// RTS discipline of a half-duplex RS-485 converter: RTS high only while bytes go out.
#include "link/serial_port.h"

#include <stdio.h>
#include <string.h>

#include "link/link_state.h"

void detect_os_family(void) {
    const int family = serial_os_family();
    if (family == SERIAL_OS_9X || family == SERIAL_OS_NT) link_state.os_family = family;
}

// Both modem lines at rest: the converter listens to the bus while RTS is low.
static void lines_idle(SerialHandle h) {
    serial_set_rts(h, 0);
    serial_set_dtr(h, 1);
}

static void flush_all(SerialHandle h) {
    lines_idle(h);
    serial_purge(h, SERIAL_PURGE_ALL);
    serial_clear_errors(h, nullptr, nullptr, nullptr);
}

static void close_events_and_port(SerialHandle h) {
    if (link_state.read_event) serial_close_event(h, SERIAL_READ_EVENT);
    if (link_state.write_event) serial_close_event(h, SERIAL_WRITE_EVENT);
    link_state.read_event = 0;
    link_state.write_event = 0;
    serial_close(h);
}

static char PortDevice[PORT_DEVICE_MAX];

int port_set_device(const char *name) {
    if (name == nullptr) name = "";
    if (strlen(name) >= sizeof PortDevice) return -1;
    snprintf(PortDevice, sizeof PortDevice, "%s", name);
    return 0;
}

SerialHandle port_create(void) {
    detect_os_family();
    char name[PORT_DEVICE_MAX];
    if (PortDevice[0]) snprintf(name, sizeof name, "%s", PortDevice);
    else snprintf(name, sizeof name, "COM%d", link_settings.com_port);
    SerialHandle h = serial_open(name);
    if (h == SERIAL_INVALID) return SERIAL_INVALID;
    lines_idle(h);
    serial_set_event_mask(h, SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY);
    serial_setup_queues(h, PORT_IN_QUEUE, PORT_OUT_QUEUE);
    SerialTimeouts t;
    t.read_interval = 0;
    t.read_total_mult = PORT_READ_MS_PER_BYTE;
    t.read_total_const = PORT_READ_MS_CONST;
    t.write_total_mult = PORT_WRITE_MS_PER_BYTE;
    t.write_total_const = PORT_WRITE_MS_CONST;
    serial_set_timeouts(h, &t);
    serial_purge(h, SERIAL_PURGE_ALL);
    if (!serial_create_event(h, SERIAL_READ_EVENT)) {
        serial_close(h);
        return SERIAL_INVALID;
    }
    link_state.read_event = 1;
    if (!serial_create_event(h, SERIAL_WRITE_EVENT)) {
        serial_close_event(h, SERIAL_READ_EVENT);
        link_state.read_event = 0;
        serial_close(h);
        return SERIAL_INVALID;
    }
    link_state.write_event = 1;
    return h;
}

int port_set_line(int baud) {
    SerialHandle h = link_state.port;
    SerialLine line = {};
    int ok = baud > 0 && serial_get_line(h, &line);
    if (ok) {
        // Every field is set; all but these are 0: no flow control, no special characters,
        // DTR and RTS disabled (the program drives DTR itself, and RTS around each write).
        line = SerialLine{};
        line.baud = (uint32_t)baud;
        line.byte_size = 8;
        line.binary = 1;
        line.xoff_lim = PORT_XOFF_LIMIT;
        ok = serial_set_line(h, &line);
    }
    if (!ok) {
        close_events_and_port(h);
        link_state.port = SERIAL_INVALID;
        return 0;
    }
    return 1;
}

int port_open(void) {
    SerialHandle h = port_create();
    if (h == SERIAL_INVALID) return 0;
    link_state.port = h;
    // A speed index outside the table (hand-edited settings file) is refused like a
    // rejected line setting rather than read past the table.
    const int i = link_settings.baud_index;
    if (!port_set_line(i >= 0 && i < BAUD_COUNT ? BaudTable[i] : 0)) return 0;
    link_state.open = 1;
    port_discard();
    link_changed(1);
    return 1;
}

int port_close(void) {
    SerialHandle h = link_state.port;
    port_discard();
    if (h != SERIAL_INVALID) {
        flush_all(h);
        serial_set_event_mask(h, 0);
        close_events_and_port(h);
    }
    link_state.port = SERIAL_INVALID;
    link_state.open = 0;
    link_changed(0);
    return 1;
}

int port_discard(void) {
    if (link_state.port != SERIAL_INVALID) flush_all(link_state.port);
    memset(RxBuffer, 0, sizeof RxBuffer);
    return 0;
}

int port_read(int count, uint8_t *buffer) {
    if (link_state.port == SERIAL_INVALID || count < 0) return -1;
    if (count == 0) return 0;
    return serial_read(link_state.port, buffer, count);
}

int port_write(const uint8_t *buffer, int count) {
    SerialHandle h = link_state.port;
    if (h == SERIAL_INVALID || count < 0) return -1;
    flush_all(h);
    serial_set_rts(h, 1);
    // 9x family: no overlapped writes there. Its routine drops RTS whatever the write did;
    // after a failed NT write the flush drops it.
    const int nt = link_state.os_family == SERIAL_OS_NT;
    const int n = nt ? serial_write(h, buffer, count) : serial_write_plain(h, buffer, count);
    if (!nt || n >= 0) serial_set_rts(h, 0);
    if (n < 0) {
        flush_all(h);
        return -1;
    }
    return n;
}

int port_in_queue(void) {
    if (link_state.port == SERIAL_INVALID) return -1;
    int in_queue = 0;
    if (!serial_clear_errors(link_state.port, nullptr, &in_queue, nullptr)) return -1;
    return in_queue;
}
