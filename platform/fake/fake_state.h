// Shared state of the fake backends: the virtual clock and failure injection.
#ifndef VOK_FAKE_STATE_H
#define VOK_FAKE_STATE_H

#include <cstdint>

#include "platform/fake/fake_platform.h"

namespace fake {

extern int64_t g_now_us;
extern int g_period_raised;  // clock_init without clock_shutdown yet
extern bool g_logging;       // set_logging: whether calls go into the logs
// True (once) when fail_next(what) was requested.
bool take_failure(Fail what);
void reset_serial();
void reset_net();

}  // namespace fake

#endif
