// The driver's state record, its work buffer lifetime, port names and the common checks.
#include "driver/driver_state.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "driver/vok3900d.h"

DriverStateRecord DriverState = {nullptr, SERIAL_INVALID, 0, 0, 0, 0, 0, 0, 0, 0};

const uint32_t DriverBaudTable[DRIVER_BAUD_COUNT] = {1200, 2400, 4800, 9600, 19200, 38400};

int driver_attach(void)
{
    if (DriverState.work_buffer == nullptr)
        DriverState.work_buffer = (uint8_t *)calloc(1, WORK_BUFFER_SIZE);
    return DriverState.work_buffer != nullptr;
}

void driver_detach(void)
{
    free(DriverState.work_buffer);
    DriverState.work_buffer = nullptr;
}

int driver_port_name(int port, char *out, int cap)
{
    int len;
#ifdef _WIN32
    len = snprintf(out, (size_t)cap, "COM%d", port);
#else
    // VOK_COM<n> is the name vokmon and vokcli read too; VOK3900D_COM<n>, the library's
    // first name for it, still works when the other is not set.
    char var[32];
    snprintf(var, sizeof var, "VOK_COM%d", port);
    const char *path = getenv(var);
    if (path == nullptr || path[0] == '\0') {
        snprintf(var, sizeof var, "VOK3900D_COM%d", port);
        path = getenv(var);
    }
    if (path != nullptr && path[0] != '\0')
        len = snprintf(out, (size_t)cap, "%s", path);
    else
        len = snprintf(out, (size_t)cap, "/dev/ttyS%d", port - 1);
#endif
    return len > 0 && len < cap;
}

int driver_check_port(int port)
{
    if (DriverState.work_buffer == nullptr)
        return VOK_E_NOT_READY;
    if (port < 1 || port > DRIVER_PORT_MAX)
        return VOK_E_ARG;
    if (port != DriverState.open_port || DriverState.port_handle == SERIAL_INVALID)
        return VOK_E_PORT;
    return 0;
}
