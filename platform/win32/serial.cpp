// Serial backend for Windows: COM ports through the Win32 communications API, opened for
// overlapped I/O so every read and write is bounded by the port's time-outs.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "platform/serial.h"

enum { PORT_SLOTS = 8 };

struct SerialPort {
    int used;
    HANDLE file;
    OVERLAPPED read_ov;   // hEvent: the read event, when created
    OVERLAPPED write_ov;  // hEvent: the write event, when created
};

static SerialPort Ports[PORT_SLOTS];

// Each DCB field the seam carries beside its SerialLine field, once for both directions:
// plain values, one-bit flags, and the two-bit DTR and RTS modes.
#define DCB_VALUES(X)                                                                          \
    X(BaudRate, baud) X(ByteSize, byte_size) X(Parity, parity) X(StopBits, stop_bits)          \
    X(XonLim, xon_lim) X(XoffLim, xoff_lim) X(XonChar, xon_char) X(XoffChar, xoff_char)        \
    X(ErrorChar, error_char) X(EofChar, eof_char) X(EvtChar, evt_char)
#define DCB_FLAGS(X)                                                                           \
    X(fBinary, binary) X(fParity, parity_check) X(fOutxCtsFlow, out_cts_flow)                  \
    X(fOutxDsrFlow, out_dsr_flow) X(fDsrSensitivity, dsr_sensitivity)                          \
    X(fTXContinueOnXoff, tx_continue_on_xoff) X(fOutX, out_x) X(fInX, in_x)                    \
    X(fErrorChar, error_char_on) X(fNull, null_strip) X(fAbortOnError, abort_on_error)
#define DCB_MODES(X) X(fDtrControl, dtr_control) X(fRtsControl, rts_control)

// The device's current DCB.
static BOOL read_dcb(HANDLE f, DCB *d)
{
    memset(d, 0, sizeof *d);
    d->DCBlength = sizeof *d;
    return GetCommState(f, d);
}

int serial_os_family(void)
{
    OSVERSIONINFOW v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExW(&v)) return 0;
    if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return SERIAL_OS_9X;
    if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) return SERIAL_OS_NT;
    return 0;
}

// "COMn" becomes "\\.\COMn", which also reaches ports above COM9; other names are used as given.
SerialHandle serial_open(const char *name)
{
    SerialPort *p = std::find_if(Ports, Ports + PORT_SLOTS, [](const SerialPort &s) { return !s.used; });
    if (!name || !*name || p == Ports + PORT_SLOTS) return SERIAL_INVALID;

    char path[300];
    if (strncmp(name, "COM", 3) == 0)
        snprintf(path, sizeof path, "\\\\.\\%s", name);
    else
        snprintf(path, sizeof path, "%s", name);
    wchar_t wide[300];
    if (!MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, 300)) return SERIAL_INVALID;

    HANDLE f = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (f == INVALID_HANDLE_VALUE) return SERIAL_INVALID;
    // Only a serial line will do: a name may also reach a file, another device, or a port
    // whose device has gone (still listed by the system), none of which has line settings.
    DCB d;
    if (!read_dcb(f, &d)) {
        CloseHandle(f);
        return SERIAL_INVALID;
    }
    memset(p, 0, sizeof *p);
    p->used = 1;
    p->file = f;
    return p;
}

int serial_close(SerialHandle h)
{
    if (!h || !h->used) return 1;
    serial_close_event(h, SERIAL_READ_EVENT);
    serial_close_event(h, SERIAL_WRITE_EVENT);
    CloseHandle(h->file);
    memset(h, 0, sizeof *h);
    return 1;
}

int serial_set_event_mask(SerialHandle h, uint32_t mask)
{
    return h && h->used && SetCommMask(h->file, mask) ? 1 : 0;
}

int serial_setup_queues(SerialHandle h, uint32_t in_size, uint32_t out_size)
{
    return h && h->used && SetupComm(h->file, in_size, out_size) ? 1 : 0;
}

int serial_set_timeouts(SerialHandle h, const SerialTimeouts *t)
{
    if (!h || !h->used || !t) return 0;
    // The seam's fields are COMMTIMEOUTS's, in its order.
    COMMTIMEOUTS ct = {t->read_interval, t->read_total_mult, t->read_total_const, t->write_total_mult,
                       t->write_total_const};
    return SetCommTimeouts(h->file, &ct) ? 1 : 0;
}

int serial_get_line(SerialHandle h, SerialLine *line)
{
    if (!h || !h->used || !line) return 0;
    DCB d;
    if (!read_dcb(h->file, &d)) return 0;
#define TO_LINE(dcb, seam) line->seam = d.dcb;
    DCB_VALUES(TO_LINE) DCB_FLAGS(TO_LINE) DCB_MODES(TO_LINE)
#undef TO_LINE
    return 1;
}

// Starts from the device's current DCB so fields the seam does not carry keep their values.
int serial_set_line(SerialHandle h, const SerialLine *line)
{
    if (!h || !h->used || !line) return 0;
    DCB d;
    if (!read_dcb(h->file, &d)) return 0;
#define VALUE_TO_DCB(dcb, seam) d.dcb = line->seam;
#define FLAG_TO_DCB(dcb, seam) d.dcb = line->seam ? 1 : 0;
#define MODE_TO_DCB(dcb, seam) d.dcb = line->seam & 3;
    DCB_VALUES(VALUE_TO_DCB) DCB_FLAGS(FLAG_TO_DCB) DCB_MODES(MODE_TO_DCB)
#undef VALUE_TO_DCB
#undef FLAG_TO_DCB
#undef MODE_TO_DCB
    return SetCommState(h->file, &d) ? 1 : 0;
}

int serial_purge(SerialHandle h, uint32_t flags)
{
    return h && h->used && PurgeComm(h->file, flags) ? 1 : 0;
}

int serial_set_rts(SerialHandle h, int on)
{
    return h && h->used && EscapeCommFunction(h->file, on ? SETRTS : CLRRTS) ? 1 : 0;
}

int serial_set_dtr(SerialHandle h, int on)
{
    return h && h->used && EscapeCommFunction(h->file, on ? SETDTR : CLRDTR) ? 1 : 0;
}

// The overlapped record of a direction; nullptr for a closed port or an unknown direction.
static OVERLAPPED *record(SerialHandle h, int which)
{
    if (!h || !h->used || (which != SERIAL_READ_EVENT && which != SERIAL_WRITE_EVENT)) return nullptr;
    return which == SERIAL_READ_EVENT ? &h->read_ov : &h->write_ov;
}

static HANDLE new_event(void) { return CreateEventW(nullptr, TRUE, FALSE, nullptr); }  // manual reset, not signalled

int serial_create_event(SerialHandle h, int which)
{
    OVERLAPPED *ov = record(h, which);
    if (!ov) return 0;
    if (!ov->hEvent) ov->hEvent = new_event();
    return ov->hEvent ? 1 : 0;
}

int serial_close_event(SerialHandle h, int which)
{
    OVERLAPPED *ov = record(h, which);
    if (!ov) return 0;
    if (ov->hEvent) CloseHandle(ov->hEvent);
    ov->hEvent = nullptr;
    return 1;
}

int serial_clear_errors(SerialHandle h, uint32_t *errors, int *in_queue, int *out_queue)
{
    if (!h || !h->used) return 0;
    DWORD err = 0;
    COMSTAT st = {};
    if (!ClearCommError(h->file, &err, &st)) return 0;
    if (errors) *errors = err;
    if (in_queue) *in_queue = (int)st.cbInQue;
    if (out_queue) *out_queue = (int)st.cbOutQue;
    return 1;
}

// Starts the transfer on `ov` and waits for it. Completion is bounded by the port's total
// time-outs; while the query says the operation is still incomplete it waits again.
static int overlapped_io(SerialHandle h, OVERLAPPED *ov, void *buf, int count, int writing)
{
    HANDLE ev = ov->hEvent;
    memset(ov, 0, sizeof *ov);
    ov->hEvent = ev;
    DWORD n = 0;
    BOOL ok = writing ? WriteFile(h->file, buf, (DWORD)count, &n, ov)
                      : ReadFile(h->file, buf, (DWORD)count, &n, ov);
    if (ok) return (int)n;
    if (GetLastError() != ERROR_IO_PENDING) {
        serial_clear_errors(h, nullptr, nullptr, nullptr);
        return -1;
    }
    n = 0;
    for (;;) {
        if (GetOverlappedResult(h->file, ov, &n, TRUE)) break;
        if (GetLastError() == ERROR_IO_INCOMPLETE) continue;
        serial_clear_errors(h, nullptr, nullptr, nullptr);
        break;
    }
    return (int)n;
}

int serial_read(SerialHandle h, void *buf, int count)
{
    if (!h || !h->used || !buf || count < 0) return -1;
    return overlapped_io(h, &h->read_ov, buf, count, 0);
}

int serial_write(SerialHandle h, const void *buf, int count)
{
    if (!h || !h->used || !buf || count < 0) return -1;
    return overlapped_io(h, &h->write_ov, (void *)buf, count, 1);
}

// The 9x path writes with no overlapped record. On NT a handle opened for overlapped I/O
// needs one (without it a write may be reported complete before it is), so there a
// private record with its own event is used and waited for.
int serial_write_plain(SerialHandle h, const void *buf, int count)
{
    if (!h || !h->used || !buf || count < 0) return -1;
    if (serial_os_family() == SERIAL_OS_9X) {
        DWORD n = 0;
        return WriteFile(h->file, buf, (DWORD)count, &n, nullptr) ? (int)n : -1;
    }
    OVERLAPPED ov = {};
    ov.hEvent = new_event();
    if (!ov.hEvent) return -1;
    int n = overlapped_io(h, &ov, (void *)buf, count, 1);
    CloseHandle(ov.hEvent);
    return n;
}

int serial_transmit_char(SerialHandle h, uint8_t c)
{
    return h && h->used && TransmitCommChar(h->file, (char)c) ? 1 : 0;
}

uint32_t serial_wait_event(SerialHandle h, uint32_t mask, int timeout_ms)
{
    if (!h || !h->used) return 0;
    OVERLAPPED ov = {};
    ov.hEvent = new_event();
    if (!ov.hEvent) return 0;
    DWORD start = GetTickCount();
    uint32_t seen = 0;
    for (;;) {
        DWORD ev = 0, n = 0;
        ResetEvent(ov.hEvent);
        if (!WaitCommEvent(h->file, &ev, &ov)) {
            if (GetLastError() != ERROR_IO_PENDING) break;
            DWORD left = INFINITE;
            if (timeout_ms >= 0) {
                DWORD spent = GetTickCount() - start;
                left = spent >= (DWORD)timeout_ms ? 0 : (DWORD)timeout_ms - spent;
            }
            if (WaitForSingleObject(ov.hEvent, left) != WAIT_OBJECT_0) {
                // Time-out: setting the mask again ends the pending wait; collect it so
                // the record is free before it goes out of scope.
                DWORD m = 0;
                if (GetCommMask(h->file, &m)) SetCommMask(h->file, m);
                GetOverlappedResult(h->file, &ov, &n, TRUE);
                break;
            }
            if (!GetOverlappedResult(h->file, &ov, &n, FALSE)) break;
        }
        seen = ev & mask;
        if (seen || ev == 0) break;  // 0: the mask was changed under the wait
        if (timeout_ms >= 0 && GetTickCount() - start >= (DWORD)timeout_ms) break;
    }
    CloseHandle(ov.hEvent);
    return seen;
}
