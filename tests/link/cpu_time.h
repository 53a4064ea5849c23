// Process CPU time and wall time for the real-time measurements (test helper only).
#ifndef VOK_TESTS_LINK_CPU_TIME_H
#define VOK_TESTS_LINK_CPU_TIME_H

#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include "platform/clock.h"

struct CpuSample {
    int64_t cpu_us;   // user + system time of this process
    int64_t wall_us;
};

inline CpuSample cpu_sample() {
    CpuSample s{0, now_us()};
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        auto us = [](const FILETIME &f) {
            return (int64_t)((((uint64_t)f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10;
        };
        s.cpu_us = us(kernel) + us(user);
    }
#else
    struct rusage ru;
    if (getrusage(RUSAGE_SELF, &ru) == 0)
        s.cpu_us = (int64_t)ru.ru_utime.tv_sec * 1000000 + ru.ru_utime.tv_usec +
                   (int64_t)ru.ru_stime.tv_sec * 1000000 + ru.ru_stime.tv_usec;
#endif
    return s;
}

#endif
