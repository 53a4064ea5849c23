// COM port of vokmon: open with the fixed line settings, close, discard, and the raw read
// and write primitives the exchange is built on. DTR stays set while the port is open;
// RTS is high only while a write is in progress.
#ifndef VOK_LINK_SERIAL_PORT_H
#define VOK_LINK_SERIAL_PORT_H

#include <stdint.h>

#include "platform/serial.h"

// Fixed port parameters.
enum {
    PORT_IN_QUEUE = 4200,        // driver input queue, also the size of RxBuffer
    PORT_OUT_QUEUE = 256,
    PORT_READ_MS_PER_BYTE = 3,   // read time-out: 3 ms x bytes + 10 ms
    PORT_READ_MS_CONST = 10,
    PORT_WRITE_MS_PER_BYTE = 3,  // write time-out: 3 ms x bytes + 20 ms
    PORT_WRITE_MS_CONST = 20,
    PORT_XOFF_LIMIT = 4160,
};

// Sets link_state.os_family from the system version (98 or 40); leaves it for any other system.
void detect_os_family(void);

// Names the device port_create opens instead of "COM<com_port>": a path such as /dev/ttyUSB0
// or a Windows name such as COM12 (the command-line tool's --port). nullptr or "" goes back to
// "COM<com_port>". Names longer than PORT_DEVICE_MAX - 1 characters are refused (returns -1).
enum { PORT_DEVICE_MAX = 128 };
int port_set_device(const char *name);

// Opens "COM<com_port>" (or the device named above) and prepares it (modem lines, event mask, queues, time-outs, purge,
// read and write events). Returns the handle, or SERIAL_INVALID with nothing left open.
SerialHandle port_create(void);

// Applies 8N1 without flow control at `baud` to link_state.port. 1 on success; on failure
// closes the port and its events and returns 0.
int port_set_line(int baud);

// Opens the link on the COM port of link_settings. 1 when open (link_changed(1) told),
// 0 when the port cannot be opened or set up (nothing stays open).
int port_open(void);

// Closes the port, its events and the link; tells link_changed(0). Always 1.
int port_close(void);

// Drops RTS, keeps DTR, purges both directions, clears errors, zeroes RxBuffer. Returns 0.
int port_discard(void);

// Reads up to `count` bytes into `buffer`; ends after at most 3*count + 10 ms.
// Returns the bytes read (0 when none), or -1 when the read failed.
int port_read(int count, uint8_t *buffer);

// Writes the frame with RTS raised for the duration of the write (NT or 9x routine by
// link_state.os_family). Returns the bytes written, or -1 (RTS low again, port purged).
int port_write(const uint8_t *buffer, int count);

// Bytes waiting in the driver's input queue (clears the error state on the way); -1 when
// the port is not open or the query failed.
int port_in_queue(void);

#endif
