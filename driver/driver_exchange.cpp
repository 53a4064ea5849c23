// The driver's exchange: RTS/DTR keying, purge, the two write paths, send with retries,
// the timed read and the baud-dependent wait before a data reply.
#include <string.h>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "protocol/protocol.h"

#define SEND_ATTEMPTS 4
#define LONG_FRAME 12          // frames this long or longer get the longer wait
#define SEND_WAIT_SHORT_MS 25  // enough for the first byte of a reply to a 5-byte request
#define SEND_WAIT_LONG_MS 65
// Per-byte path: the write time-out of one byte (3 ms per byte + 20 ms) bounds the wait
// for the transmit queue to empty.
#define TX_EMPTY_WAIT_MS 23

// Line mode 1 sets RTS, then DTR; mode 2 DTR, then RTS; mode 0 leaves both alone.
static void set_lines(int rts, int dtr)
{
    SerialHandle h = DriverState.port_handle;
    if (DriverState.line_mode == 1) {
        serial_set_rts(h, rts);
        serial_set_dtr(h, dtr);
    } else if (DriverState.line_mode == 2) {
        serial_set_dtr(h, dtr);
        serial_set_rts(h, rts);
    }
}

// Idle: mode 1 holds DTR alone up, mode 2 RTS alone.
void driver_set_idle_lines(void) { set_lines(DriverState.line_mode == 2, DriverState.line_mode == 1); }

// Keys the converter's transmitter (both lines up); the idle lines drop it again after the frame.
static void set_transmit_lines(void) { set_lines(1, 1); }

void driver_reset_line(void)
{
    driver_set_idle_lines();
    serial_purge(DriverState.port_handle, SERIAL_PURGE_ALL);
    serial_clear_errors(DriverState.port_handle, nullptr, nullptr, nullptr);
}

void driver_clear(void)
{
    driver_reset_line();
    if (DriverState.work_buffer != nullptr)
        memset(DriverState.work_buffer, 0, WORK_BUFFER_SIZE);
}

// The whole frame at once, waited until it has left (the NT family; POSIX drains).
// Windows 9x serial drivers mishandle overlapped writes, hence the per-byte path there.
static int whole_frame_path(void)
{
#ifdef _WIN32
    return DriverState.os_family == SERIAL_OS_NT;
#else
    return DriverState.os_family != SERIAL_OS_9X;
#endif
}

int driver_write(const uint8_t *frame, int length)
{
    SerialHandle h = DriverState.port_handle;
    driver_reset_line();
    set_transmit_lines();
    int written = 0;
    if (whole_frame_path()) {
        written = serial_write(h, frame, length);
        if (written < 0) {
            driver_reset_line();
            return -1;
        }
    } else {
        for (int i = 0; i < length; i++) {
            if (!serial_transmit_char(h, frame[i])) {
                driver_reset_line();
                return -1;
            }
            serial_wait_event(h, SERIAL_EV_TXEMPTY, TX_EMPTY_WAIT_MS);
            written++;
        }
    }
    driver_set_idle_lines();
    trace_frame(TRACE_TX, frame, written, 0);
    return written;
}

int driver_send(int length, const uint8_t *frame)
{
    driver_clear();
    int wait = length < LONG_FRAME ? SEND_WAIT_SHORT_MS : SEND_WAIT_LONG_MS;
    for (int attempt = 0; attempt < SEND_ATTEMPTS; attempt++) {
        driver_reset_line();
        driver_write(frame, length);
        sleep_ms(wait);
        int in_queue = 0;
        serial_clear_errors(DriverState.port_handle, nullptr, &in_queue, nullptr);
        // With an echoing converter the echo arrives first: only a byte past it is an answer.
        if (in_queue >= DriverState.echo_len + 1)
            return 0;
    }
    trace_no_reply(1);
    return 1;
}

int driver_receive(int count)
{
    if (DriverState.work_buffer == nullptr)
        return -1;
    // Never let a requested length run past the work buffer.
    if (count > WORK_BUFFER_SIZE)
        count = WORK_BUFFER_SIZE;
    if (count <= 0)
        return 0;
    const int got = serial_read(DriverState.port_handle, DriverState.work_buffer, count);
    if (got >= 0) trace_frame(TRACE_RX, DriverState.work_buffer, got, DriverState.echo_len);
    else trace_no_reply(got);
    return got;
}

int data_wait_ms(int expected)
{
    // Time for `expected` bytes at 10 bits each plus the module's turnaround, in tenths
    // of a millisecond per byte so the fraction drops exactly.
    static const int TENTHS_PER_BYTE[DRIVER_BAUD_COUNT] = {102, 51, 25, 12, 7, 4};
    static const int TURNAROUND_MS[DRIVER_BAUD_COUNT] = {200, 100, 100, 100, 80, 60};
    int index = DriverState.baud_index;
    if (index < 0 || index >= DRIVER_BAUD_COUNT)
        index = 0;
    if (expected < 0)
        expected = 0;
    return expected * TENTHS_PER_BYTE[index] / 10 + TURNAROUND_MS[index];
}

int driver_request(const uint8_t *frame, int length, int wait, int read_count)
{
    if (driver_send(length, frame) != 0)
        return VOK_E_SEND;
    sleep_ms(wait);
    return driver_receive(read_count);
}

int driver_check_reply(int received, uint8_t lead, uint8_t address, int need)
{
    char digits[2];
    format_address(address, digits);
    int rc = check_reply(DriverState.work_buffer, received, DriverState.echo_len, lead, digits, need);
    if (rc == REPLY_OK)
        return 0;
    return rc == REPLY_SHORT ? VOK_E_SHORT : VOK_E_REPLY;
}

const uint8_t *driver_reply_at(int pos) { return DriverState.work_buffer + DriverState.echo_len + pos; }

int driver_short_request(char lead, uint8_t address, char c, uint8_t *frame)
{
    return build_request(lead, address, &c, 1, frame, REQUEST_MAX);
}

int driver_ask(char lead, uint8_t address, char c, int wait, int read_count, uint8_t reply_lead, int need)
{
    uint8_t frame[REQUEST_MAX];
    const int len = driver_short_request(lead, address, c, frame);
    const int n = driver_request(frame, len, wait, read_count);
    return n == VOK_E_SEND ? VOK_E_SEND : driver_check_reply(n, reply_lead, address, need);
}
