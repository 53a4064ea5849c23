// Clock backend for POSIX: nanosleep on CLOCK_MONOTONIC, so a signal never shortens a wait.
#include <errno.h>
#include <time.h>

#include "platform/clock.h"

void clock_init(void) {}
void clock_shutdown(void) {}

void sleep_ms(int ms)
{
    if (ms <= 0) return;
    struct timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += ms / 1000;
    until.tv_nsec += (long)(ms % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec++;
        until.tv_nsec -= 1000000000L;
    }
    // Absolute deadline: an interrupted sleep resumes for the rest only.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

int64_t now_us(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

uint32_t now_ms(void) { return (uint32_t)(now_us() / 1000); }
