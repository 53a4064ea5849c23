// The driver library's one state record and the exchange primitives every export uses.
#ifndef VOK_DRIVER_STATE_H
#define VOK_DRIVER_STATE_H

#include <stdint.h>

#include "platform/serial.h"

#define WORK_BUFFER_SIZE 4200
#define DRIVER_PORT_MAX 32
#define DRIVER_BAUD_COUNT 6
#define ECHO_LEN_USUAL 5   // echo offset of the usual 5-byte requests

typedef struct DriverStateRecord {
    uint8_t *work_buffer;      // receive buffer of every exchange; null until attached
    SerialHandle port_handle;  // SERIAL_INVALID when no port is open
    int open_port;             // 1..32, 0 when none is open
    int baud_index;            // into DriverBaudTable
    int line_mode;             // 0, 1 or 2
    int os_family;             // SERIAL_OS_9X, SERIAL_OS_NT or 0
    int echo_on;               // the converter echoes what is sent
    int echo_len;              // offset of the reply in work_buffer
    int read_event_open;
    int write_event_open;
} DriverStateRecord;

extern DriverStateRecord DriverState;
extern const uint32_t DriverBaudTable[DRIVER_BAUD_COUNT];

// Process attach / detach: allocate (zeroed) and free the work buffer. Tests call them to
// make the "buffer missing" state. driver_attach returns 1 when the buffer exists.
int driver_attach(void);
void driver_detach(void);

// Device name of port n: "COMn" on Windows; on other systems $VOK_COM<n>, else the older
// $VOK3900D_COM<n>, else /dev/ttyS<n-1>. Returns 1, or 0 when it does not fit in `cap`.
int driver_port_name(int port, char *out, int cap);

// The checks every export runs first: 0, or VOK_E_NOT_READY / VOK_E_ARG / VOK_E_PORT.
int driver_check_port(int port);

// Closes the open port and its events and forgets them (buffer zeroed, lines idle first).
void driver_close_port(void);

void driver_set_idle_lines(void);
// Idle lines, purge both queues, clear line errors: driver_clear without the buffer fill.
void driver_reset_line(void);
// driver_reset_line and a zero fill of work_buffer.
void driver_clear(void);
// One transmission with the transmit lines raised. Bytes written, or -1.
int driver_write(const uint8_t *frame, int length);
// driver_clear, then up to four attempts; 0 when a reply started to arrive, else nonzero.
int driver_send(int length, const uint8_t *frame);
// Reads up to `count` bytes into work_buffer from its start. Bytes read, or -1.
int driver_receive(int count);
// Wait before reading a data reply of `expected` bytes (echo included) at the open baud rate.
int data_wait_ms(int expected);

// One request: send (VOK_E_SEND when unanswered), sleep `wait`, read up to `read_count`.
// Returns the bytes received (may be -1 when the read failed), or VOK_E_SEND.
int driver_request(const uint8_t *frame, int length, int wait, int read_count);
// Length, lead and address checks of the reply in work_buffer: 0, VOK_E_SHORT or VOK_E_REPLY.
int driver_check_reply(int received, uint8_t lead, uint8_t address, int need);
// Position `pos` of the reply in work_buffer (counted from echo_len). Callers read only
// positions their length check has covered.
const uint8_t *driver_reply_at(int pos);
// The 5-byte request lead, address digits, one character, CR into `frame`; returns 5.
int driver_short_request(char lead, uint8_t address, char c, uint8_t *frame);
// driver_short_request, driver_request and driver_check_reply of its reply in one:
// 0, VOK_E_SEND, VOK_E_SHORT or VOK_E_REPLY.
int driver_ask(char lead, uint8_t address, char c, int wait, int read_count, uint8_t reply_lead, int need);

#endif
