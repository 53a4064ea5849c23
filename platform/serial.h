// Serial port seam: the Win32 communications model (overlapped handle, DCB, queues,
// time-outs, purge, error clearing, modem lines) as plain calls. Backends: win32/, posix/
// (libserialport) and fake/ (a line into the in-process simulator on virtual time),
// chosen at link time.
#ifndef VOK_PLATFORM_SERIAL_H
#define VOK_PLATFORM_SERIAL_H

#include <stdint.h>

typedef struct SerialPort *SerialHandle;  // opaque; nullptr is the invalid handle
#define SERIAL_INVALID ((SerialHandle)0)

// Operating-system family: chooses the write routine of the callers.
enum { SERIAL_OS_9X = 98, SERIAL_OS_NT = 40 };
// 98 for the Windows 95/98/ME platform, 40 for the NT platform, 0 for any other.
int serial_os_family(void);

// Event mask bits (Win32 values).
enum { SERIAL_EV_RXCHAR = 0x0001, SERIAL_EV_TXEMPTY = 0x0004 };
// Purge flags (Win32 values).
enum {
    SERIAL_PURGE_TXABORT = 0x0001,
    SERIAL_PURGE_RXABORT = 0x0002,
    SERIAL_PURGE_TXCLEAR = 0x0004,
    SERIAL_PURGE_RXCLEAR = 0x0008,
    SERIAL_PURGE_ALL = 0x000F,
};
// Overlapped-event directions.
enum { SERIAL_READ_EVENT = 0, SERIAL_WRITE_EVENT = 1 };

// Device control settings, field by field as the Win32 DCB has them.
typedef struct SerialLine {
    uint32_t baud;
    uint8_t byte_size;        // 8
    uint8_t parity;           // 0 none, 1 odd, 2 even
    uint8_t stop_bits;        // 0 one, 1 one and a half, 2 two
    uint8_t binary;           // fBinary
    uint8_t parity_check;     // fParity
    uint8_t out_cts_flow;     // fOutxCtsFlow
    uint8_t out_dsr_flow;     // fOutxDsrFlow
    uint8_t dtr_control;      // 0 disable, 1 enable, 2 handshake
    uint8_t dsr_sensitivity;  // fDsrSensitivity
    uint8_t tx_continue_on_xoff;
    uint8_t out_x;            // XON/XOFF output
    uint8_t in_x;             // XON/XOFF input
    uint8_t error_char_on;    // fErrorChar
    uint8_t null_strip;       // fNull
    uint8_t rts_control;      // 0 disable, 1 enable, 2 handshake, 3 toggle
    uint8_t abort_on_error;
    uint16_t xon_lim;
    uint16_t xoff_lim;
    char xon_char, xoff_char, error_char, eof_char, evt_char;
} SerialLine;

typedef struct SerialTimeouts {
    uint32_t read_interval;      // 0: none
    uint32_t read_total_mult;    // ms per byte requested
    uint32_t read_total_const;   // ms
    uint32_t write_total_mult;
    uint32_t write_total_const;
} SerialTimeouts;

// Opens `name` ("COM1", or a device path on POSIX) for reading and writing, not shared,
// existing device only, overlapped. Returns SERIAL_INVALID on failure.
SerialHandle serial_open(const char *name);
// Closes the port and any events still open on it. Returns 1.
int serial_close(SerialHandle h);

// Each returns 1 on success, 0 on failure (the Win32 BOOL convention).
int serial_set_event_mask(SerialHandle h, uint32_t mask);
int serial_setup_queues(SerialHandle h, uint32_t in_size, uint32_t out_size);
int serial_set_timeouts(SerialHandle h, const SerialTimeouts *t);
int serial_get_line(SerialHandle h, SerialLine *line);
int serial_set_line(SerialHandle h, const SerialLine *line);
int serial_purge(SerialHandle h, uint32_t flags);
int serial_set_rts(SerialHandle h, int on);
int serial_set_dtr(SerialHandle h, int on);
// Manual-reset, non-signalled event for overlapped reads or writes.
int serial_create_event(SerialHandle h, int which);
int serial_close_event(SerialHandle h, int which);

// Clears the device's error state. When not null, *errors receives the error bits and
// *in_queue / *out_queue the bytes waiting in the driver's input and output queues.
int serial_clear_errors(SerialHandle h, uint32_t *errors, int *in_queue, int *out_queue);

// Overlapped read of `count` bytes, waited to completion: returns when `count` bytes
// arrived or the total read time-out (mult * count + const) ran out, with what arrived.
// Returns the bytes read (0..count), or -1 when the read failed at once (errors cleared).
int serial_read(SerialHandle h, void *buf, int count);
// Overlapped write of the whole frame, waited to completion (drained on POSIX).
// Returns the bytes written, or -1 when it failed at once.
int serial_write(SerialHandle h, const void *buf, int count);
// Write without an overlapped record (the Windows 9x path). Bytes written or -1.
int serial_write_plain(SerialHandle h, const void *buf, int count);
// Sends one byte ahead of the output queue (TransmitCommChar). 1 or 0.
int serial_transmit_char(SerialHandle h, uint8_t c);
// Waits up to `timeout_ms` for one of the events of `mask`; returns the event bits seen, 0 on time-out.
uint32_t serial_wait_event(SerialHandle h, uint32_t mask, int timeout_ms);

#endif
