// Clock backend for Windows: Sleep at 1 ms timer resolution, performance counter for time.
#include <windows.h>

#include <mmsystem.h>

#include "platform/clock.h"

static int PeriodRaised;

// Sleep rounds to the system tick (10-16 ms) unless the resolution is raised first.
void clock_init(void)
{
    if (PeriodRaised) return;
    if (timeBeginPeriod(1) == TIMERR_NOERROR) PeriodRaised = 1;
}

void clock_shutdown(void)
{
    if (!PeriodRaised) return;
    timeEndPeriod(1);
    PeriodRaised = 0;
}

void sleep_ms(int ms)
{
    if (ms <= 0) return;
    Sleep((DWORD)ms);
}

int64_t now_us(void)
{
    static LARGE_INTEGER freq;
    if (freq.QuadPart == 0) QueryPerformanceFrequency(&freq);
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    // Split to avoid overflow of count * 1e6 on long uptimes.
    int64_t s = c.QuadPart / freq.QuadPart, r = c.QuadPart % freq.QuadPart;
    return s * 1000000 + r * 1000000 / freq.QuadPart;
}

// Wraps like GetTickCount, but with the counter's precision.
uint32_t now_ms(void) { return (uint32_t)(now_us() / 1000); }
