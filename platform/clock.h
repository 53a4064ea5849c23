// Clock seam: sleeping and a monotonic clock. Backends: win32/ (Sleep after
// timeBeginPeriod(1)), posix/ (nanosleep, CLOCK_MONOTONIC), fake/ (virtual time).
#ifndef VOK_PLATFORM_CLOCK_H
#define VOK_PLATFORM_CLOCK_H

#include <stdint.h>

// Raises the timer resolution where the system needs it (1 ms). Safe to call twice.
void clock_init(void);
// Gives back what clock_init raised (the system-wide timer resolution). Safe to call twice
// or without clock_init.
void clock_shutdown(void);
// Sleeps `ms` milliseconds (0 or less returns at once). Every wait of the product goes here.
void sleep_ms(int ms);
// Monotonic milliseconds since an arbitrary start.
uint32_t now_ms(void);
// Monotonic microseconds, for measuring.
int64_t now_us(void);

#endif
