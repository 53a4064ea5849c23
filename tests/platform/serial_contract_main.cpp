// The serial contract on the backend of this build. POSIX: the far end is a pty master this
// program holds, its slave reached as COM7 through a link in a scratch directory. Windows
// (under Wine): `serial_contract COMn CONTROL-PORT`, the far end a helper on the Linux side
// (serial_peer.py) that holds the pty master and takes its orders over loopback TCP.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/clock.h"
#include "tests/platform/serial_contract.h"

#ifdef _WIN32
#include "platform/net.h"

namespace {

SockHandle Control = SOCK_INVALID;

// Sends one order line and waits (5 s at most) for the helper's "ok" line.
int order(const char *line)
{
    const int len = (int)strlen(line);
    if (Control == SOCK_INVALID || sock_send(Control, line, len) != len) return 0;
    char reply[16];
    int got = 0;
    while (got < (int)sizeof reply - 1 && (got == 0 || reply[got - 1] != '\n')) {
        if (sock_wait_readable(Control, 5000000) != 1) return 0;
        const int n = sock_recv(Control, reply + got, (int)sizeof reply - 1 - got);
        if (n <= 0) return 0;
        got += n;
    }
    reply[got] = '\0';
    return strcmp(reply, "ok\n") == 0;
}

int send_bytes(const uint8_t *bytes, int n)
{
    char line[16 + 2 * 64];
    if (n > 64) return 0;
    int k = snprintf(line, sizeof line, "send ");
    for (int i = 0; i < n; i++) k += snprintf(line + k, sizeof line - (size_t)k, "%02x", bytes[i]);
    snprintf(line + k, sizeof line - (size_t)k, "\n");
    return order(line);
}
int hang_up() { return order("hangup\n"); }
int remove_port() { return order("remove\n"); }

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: serial_contract COMn CONTROL-PORT\n");
        return 2;
    }
    clock_init();
    if (sock_startup() != 0) return 2;
    Control = sock_tcp();
    if (Control == SOCK_INVALID || sock_connect(Control, 0x0100007Fu, (uint16_t)atoi(argv[2])) != 0) {
        fprintf(stderr, "serial_contract: no helper on port %s\n", argv[2]);
        return 2;
    }
    const SerialPeer peer = {argv[1], send_bytes, hang_up, remove_port};
    const int failed = serial_contract_run(&peer);
    sock_close(Control);
    sock_cleanup();
    clock_shutdown();
    return failed == 0 ? 0 : 1;
}

#else
#include <fcntl.h>
#include <unistd.h>

namespace {

int Master = -1;
char Dir[64], Link[96];

int send_bytes(const uint8_t *bytes, int n) { return Master >= 0 && write(Master, bytes, (size_t)n) == n; }
int hang_up()
{
    const int ok = Master >= 0 && close(Master) == 0;
    Master = -1;
    return ok;
}
int remove_port() { return unlink(Link) == 0; }

}  // namespace

int main()
{
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char *slave = Master >= 0 && grantpt(Master) == 0 && unlockpt(Master) == 0 ? ptsname(Master) : nullptr;
    snprintf(Dir, sizeof Dir, "/tmp/vok-serial-contract-XXXXXX");
    if (!slave || !mkdtemp(Dir)) {
        fprintf(stderr, "serial_contract: no pty\n");
        return 2;
    }
    snprintf(Link, sizeof Link, "%s/com7", Dir);
    if (symlink(slave, Link) != 0 || setenv("VOK_COM7", Link, 1) != 0) return 2;
    clock_init();
    const SerialPeer peer = {"COM7", send_bytes, hang_up, remove_port};
    const int failed = serial_contract_run(&peer);
    clock_shutdown();
    if (Master >= 0) close(Master);
    unlink(Link);
    rmdir(Dir);
    return failed == 0 ? 0 : 1;
}
#endif
