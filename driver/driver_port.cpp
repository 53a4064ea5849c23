// Opening and closing the library's one serial port, and the echo probe.
#include <string.h>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "platform/clock.h"

#define IN_QUEUE_SIZE WORK_BUFFER_SIZE
#define OUT_QUEUE_SIZE 256
#define XOFF_LIMIT 4150
#define ECHO_PROBE_WAIT_MS 60
#define ECHO_PROBE_READ 18

void driver_close_port(void)
{
    SerialHandle h = DriverState.port_handle;
    if (DriverState.work_buffer != nullptr)
        memset(DriverState.work_buffer, 0, WORK_BUFFER_SIZE);
    if (h != SERIAL_INVALID) {
        driver_reset_line();
        serial_set_event_mask(h, 0);
        if (DriverState.read_event_open)
            serial_close_event(h, SERIAL_READ_EVENT);
        if (DriverState.write_event_open)
            serial_close_event(h, SERIAL_WRITE_EVENT);
        serial_close(h);
    }
    DriverState.read_event_open = 0;
    DriverState.write_event_open = 0;
    DriverState.port_handle = SERIAL_INVALID;
    DriverState.open_port = 0;
    clock_shutdown();
}

// 8N1, byte-transparent, no flow control or character handling: RTS and DTR stay with
// the library, which keys them around each frame.
static int apply_line_settings(SerialHandle h, uint32_t baud)
{
    SerialLine line;
    memset(&line, 0, sizeof line);
    line.baud = baud;
    line.byte_size = 8;
    line.parity = 0;
    line.stop_bits = 0;
    line.binary = 1;
    line.xon_lim = 0;
    line.xoff_lim = XOFF_LIMIT;
    return serial_set_line(h, &line);
}

// Writes "ABC" and looks for it coming straight back: converters that echo put every
// request ahead of its reply, which is then read 5 bytes further on.
static void probe_echo(void)
{
    static const uint8_t PROBE[3] = {'A', 'B', 'C'};
    driver_clear();
    driver_write(PROBE, 3);
    sleep_ms(ECHO_PROBE_WAIT_MS);
    int n = driver_receive(ECHO_PROBE_READ);
    const uint8_t *b = DriverState.work_buffer;
    if (n >= 3 && b[0] == 'A' && b[1] == 'B' && b[2] == 'C') {
        DriverState.echo_on = 1;
        DriverState.echo_len = ECHO_LEN_USUAL;
    } else {
        DriverState.echo_on = 0;
        DriverState.echo_len = 0;
    }
    driver_clear();
}

extern "C" VOK_API int VOK_CALL vok_com_open(int port, int baud_index, int line_mode)
{
    if (DriverState.work_buffer == nullptr)
        return VOK_E_NOT_READY;
    if (port < 1 || port > DRIVER_PORT_MAX || baud_index < 0 || baud_index >= DRIVER_BAUD_COUNT ||
        line_mode < 0 || line_mode > 2)
        return VOK_E_ARG;
    DriverState.baud_index = baud_index;
    DriverState.line_mode = line_mode;
    if (DriverState.open_port != 0 || DriverState.port_handle != SERIAL_INVALID)
        driver_close_port();
    DriverState.os_family = serial_os_family();

    char name[256];
    if (!driver_port_name(port, name, (int)sizeof name))
        return VOK_E_OPEN;
    SerialHandle h = serial_open(name);
    if (h == SERIAL_INVALID)
        return VOK_E_OPEN;
    DriverState.port_handle = h;
    // The timer resolution is raised while a port is open; driver_close_port lowers it.
    clock_init();
    driver_set_idle_lines();

    serial_set_event_mask(h, SERIAL_EV_RXCHAR | SERIAL_EV_TXEMPTY);
    serial_setup_queues(h, IN_QUEUE_SIZE, OUT_QUEUE_SIZE);
    serial_purge(h, SERIAL_PURGE_ALL);
    // A read returns after 3 ms per byte asked + 10 ms with what has arrived.
    SerialTimeouts timeouts = {0, 3, 10, 3, 20};
    serial_set_timeouts(h, &timeouts);

    DriverState.read_event_open = serial_create_event(h, SERIAL_READ_EVENT);
    DriverState.write_event_open = DriverState.read_event_open && serial_create_event(h, SERIAL_WRITE_EVENT);
    if (!DriverState.write_event_open) {
        driver_close_port();
        return VOK_E_EVENT;
    }
    if (!apply_line_settings(h, DriverBaudTable[baud_index])) {
        driver_close_port();
        return VOK_E_SETUP;
    }

    DriverState.open_port = port;
    driver_clear();
    probe_echo();
    return VOK_OK;
}

extern "C" VOK_API int VOK_CALL vok_com_close(int port)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    driver_close_port();
    return VOK_OK;
}
