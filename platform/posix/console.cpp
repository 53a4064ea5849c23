// Console backend for POSIX: isatty, and SIGINT / SIGTERM caught into a flag.
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "platform/console.h"

static volatile sig_atomic_t Interrupted = 0;

// The first interrupt asks the program to finish what it has; a second one, while it still
// finishes, ends it at once with the shell's code for an interrupt.
static void on_signal(int)
{
    if (Interrupted) _exit(130);
    Interrupted = 1;
}

int console_is_terminal(int stream)
{
    return isatty(stream == CONSOLE_STDOUT ? STDOUT_FILENO : STDERR_FILENO) ? 1 : 0;
}

void console_catch_interrupt(void)
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int console_interrupted(void) { return Interrupted ? 1 : 0; }

void console_utf8(void) {}
