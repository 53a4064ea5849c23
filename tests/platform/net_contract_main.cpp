// The net contract on the backend of this build (POSIX natively, Win32 under Wine).
#include "platform/clock.h"
#include "platform/net.h"
#include "tests/platform/net_contract.h"

int main()
{
    clock_init();
    if (sock_startup() != 0) return 2;
    const int failed = net_contract_run();
    sock_cleanup();
    clock_shutdown();
    return failed == 0 ? 0 : 1;
}
