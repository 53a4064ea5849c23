// Fake clock: virtual time that moves only when a sleep or a simulated wait moves it.
#include <map>
#include <set>

#include "platform/clock.h"
#include "platform/fake/fake_state.h"

namespace fake {

int64_t g_now_us = 0;
int g_period_raised = 0;
bool g_logging = true;
static std::vector<int> g_sleeps;
static std::multiset<int> g_failures;
static std::map<int, int> g_fail_after;  // kind -> calls still to pass before the failure

void reset()
{
    g_now_us = 0;
    g_period_raised = 0;
    g_sleeps.clear();
    g_failures.clear();
    g_fail_after.clear();
    reset_serial();
    reset_net();
}

void set_logging(bool on) { g_logging = on; }

int64_t now_us() { return g_now_us; }

void advance_us(int64_t us)
{
    if (us > 0)
        g_now_us += us;
}

const std::vector<int> &sleep_log() { return g_sleeps; }
void clear_sleep_log() { g_sleeps.clear(); }
int timer_period_raised() { return g_period_raised; }

void fail_next(Fail what) { g_failures.insert((int)what); }

void fail_after(Fail what, int calls)
{
    g_fail_after[(int)what] = calls;
}

bool take_failure(Fail what)
{
    auto later = g_fail_after.find((int)what);
    if (later != g_fail_after.end() && later->second-- <= 0) {
        g_fail_after.erase(later);
        return true;
    }
    auto it = g_failures.find((int)what);
    if (it == g_failures.end())
        return false;
    g_failures.erase(it);
    return true;
}

}  // namespace fake

void clock_init(void) { fake::g_period_raised = 1; }
void clock_shutdown(void) { fake::g_period_raised = 0; }

void sleep_ms(int ms)
{
    if (fake::g_logging)
        fake::g_sleeps.push_back(ms);
    if (ms > 0)
        fake::g_now_us += (int64_t)ms * 1000;
}

uint32_t now_ms(void) { return (uint32_t)(fake::g_now_us / 1000); }

int64_t now_us(void) { return fake::g_now_us; }
