// Console backend for Windows: whether a stream is a terminal, the console's Ctrl-C /
// Ctrl-Break / close events caught into a flag, and UTF-8 output shown on a console of any
// code page.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/console.h"

static volatile LONG Interrupted = 0;

static BOOL WINAPI on_console_event(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT || type == CTRL_CLOSE_EVENT) {
        // A second interrupt while the first is being finished ends the program at once.
        if (InterlockedExchange(&Interrupted, 1)) ExitProcess(130);
        return TRUE;
    }
    return FALSE;
}

// A console stream's bytes go through a pipe to a thread that writes them to the console
// as UTF-16 (WriteConsoleW): the console then shows every character, whatever its code
// page, and is left on the code page it had. Index 0 stdout, 1 stderr.
struct Relay {
    FILE *stream;
    int fd;             // the stream's descriptor (1 or 2), on the pipe while relayed
    int console_fd;     // a descriptor of the console, for the thread and for the end
    int pipe_fd;        // the pipe's writing end until it replaces fd
    HANDLE pipe_read;
    HANDLE thread;
};
static Relay Relays[2];
static int RelayStarted = 0;

static void write_console(HANDLE console, const char *p, size_t n)
{
    wchar_t w[4096];
    while (n > 0) {
        // At most 4096 bytes a piece, so at most 4096 UTF-16 units.
        size_t take = n;
        if (take > 4096) {
            take = utf8_whole(p, 4096);
            if (take == 0) take = 4096;
        }
        const int k = MultiByteToWideChar(CP_UTF8, 0, p, (int)take, w, 4096);
        for (int done = 0; done < k;) {
            DWORD wrote = 0;
            if (!WriteConsoleW(console, w + done, (DWORD)(k - done), &wrote, NULL) || wrote == 0) return;
            done += (int)wrote;
        }
        p += take;
        n -= take;
    }
}

static DWORD WINAPI relay_thread(LPVOID arg)
{
    Relay *r = (Relay *)arg;
    HANDLE console = (HANDLE)_get_osfhandle(r->console_fd);
    char buf[4096];
    size_t kept = 0;  // the start of a character whose other bytes are still to come
    DWORD got = 0;
    while (ReadFile(r->pipe_read, buf + kept, (DWORD)(sizeof buf - kept), &got, NULL) && got > 0) {
        const size_t n = kept + got;
        const size_t whole = utf8_whole(buf, n);
        write_console(console, buf, whole);
        kept = n - whole;
        memmove(buf, buf + whole, kept);
    }
    write_console(console, buf, kept);  // a character cut short at the end shows as such
    CloseHandle(r->pipe_read);
    return 0;
}

// Puts the console back on the streams once the relays wrote everything out.
static void relay_end(void)
{
    for (Relay &r : Relays) {
        if (!r.thread) continue;
        fflush(r.stream);
        _dup2(r.console_fd, r.fd);  // closes the pipe's only writing end: the thread reads its end
        WaitForSingleObject(r.thread, INFINITE);
        CloseHandle(r.thread);
        r.thread = NULL;
        _close(r.console_fd);
    }
}

// 1 when the stream shows on a console and its relay is ready to take over, 0 for a file or
// a pipe (switched to binary: the bytes go out as written, no CR added), -1 on failure.
static int relay_prepare(Relay *r, FILE *stream)
{
    const int fd = _fileno(stream);
    DWORD mode = 0;
    HANDLE h = (HANDLE)_get_osfhandle(fd);
    if (h == INVALID_HANDLE_VALUE) return -1;
    if (!GetConsoleMode(h, &mode)) {
        fflush(stream);
        _setmode(fd, _O_BINARY);
        return 0;
    }
    HANDLE rd = NULL, wr = NULL;
    if (!CreatePipe(&rd, &wr, NULL, 0)) return -1;
    const int console_fd = _dup(fd);
    const int pipe_fd = _open_osfhandle((intptr_t)wr, _O_TEXT | _O_WRONLY);
    if (console_fd < 0 || pipe_fd < 0) {
        if (console_fd >= 0) _close(console_fd);
        if (pipe_fd >= 0) _close(pipe_fd); else CloseHandle(wr);
        CloseHandle(rd);
        return -1;
    }
    *r = Relay{stream, fd, console_fd, pipe_fd, rd, NULL};
    return 1;
}

static void relay_switch(Relay *r)
{
    fflush(r->stream);
    const int moved = _dup2(r->pipe_fd, r->fd) == 0;
    _close(r->pipe_fd);
    if (moved) r->thread = CreateThread(NULL, 0, relay_thread, r, 0, NULL);
    if (!r->thread) {  // the stream writes to the console as before
        if (moved) _dup2(r->console_fd, r->fd);
        CloseHandle(r->pipe_read);
        _close(r->console_fd);
        return;
    }
    // A pipe would make the C library buffer the stream whole; on a console each write shows
    // at once, in the order stdout and stderr were written.
    setvbuf(r->stream, NULL, _IONBF, 0);
}

void console_utf8(void)
{
    if (RelayStarted) return;
    RelayStarted = 1;
    // Both consoles are taken before either stream moves: stdout and stderr often share one
    // handle, which moving the first stream may close.
    const int out = relay_prepare(&Relays[0], stdout);
    const int err = relay_prepare(&Relays[1], stderr);
    if (out > 0) relay_switch(&Relays[0]);
    if (err > 0) relay_switch(&Relays[1]);
    if (Relays[0].thread || Relays[1].thread) atexit(relay_end);
}

int console_is_terminal(int stream)
{
    const Relay &r = Relays[stream == CONSOLE_STDOUT ? 0 : 1];
    if (r.thread) return 1;  // the stream now writes to the relay's pipe, but shows on a console
    return _isatty(_fileno(stream == CONSOLE_STDOUT ? stdout : stderr)) ? 1 : 0;
}

void console_catch_interrupt(void)
{
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int console_interrupted(void) { return InterlockedCompareExchange(&Interrupted, 0, 0) ? 1 : 0; }
