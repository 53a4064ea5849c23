// Fake console for tests: no terminal unless a test says so; interrupts raised by hand.
#include "platform/console.h"
#include "platform/fake/fake_platform.h"

namespace {
int Terminal[3] = {0, 0, 0};
int Caught = 0;
int Interrupted = 0;
int64_t InterruptAtUs = -1;
}  // namespace

namespace fake {
void set_terminal(int stream, bool on)
{
    if (stream == CONSOLE_STDOUT || stream == CONSOLE_STDERR) Terminal[stream] = on ? 1 : 0;
}
void interrupt_at_us(int64_t t_us) { InterruptAtUs = t_us; }
void reset_console()
{
    Terminal[1] = Terminal[2] = 0;
    Caught = 0;
    Interrupted = 0;
    InterruptAtUs = -1;
}
}  // namespace fake

int console_is_terminal(int stream)
{
    return (stream == CONSOLE_STDOUT || stream == CONSOLE_STDERR) ? Terminal[stream] : 0;
}

void console_catch_interrupt(void) { Caught = 1; }

int console_interrupted(void)
{
    if (Caught && InterruptAtUs >= 0 && fake::now_us() >= InterruptAtUs) Interrupted = 1;
    return Interrupted;
}

void console_utf8(void) {}
