// Console backend for Windows: _isatty, and the console's Ctrl-C / Ctrl-Break / close events
// caught into a flag.
#include <windows.h>
#include <io.h>
#include <stdio.h>

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

int console_is_terminal(int stream)
{
    return _isatty(_fileno(stream == CONSOLE_STDOUT ? stdout : stderr)) ? 1 : 0;
}

void console_catch_interrupt(void)
{
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

int console_interrupted(void) { return InterlockedCompareExchange(&Interrupted, 0, 0) ? 1 : 0; }

void console_utf8(void) { SetConsoleOutputCP(CP_UTF8); }
