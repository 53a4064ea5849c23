// Module parameters for the commands that read one module: the search's own parameter read.
#include "cli/module_load.h"

#include "app/settings.h"
#include "app/state.h"
#include "cli/link_open.h"
#include "display/search_scan.h"
#include "link/serial_port.h"

int cli_load_module(int address, FILE *err)
{
    module_table.count = 1;
    module_table.current = 0;
    module_table.ready = 1;
    module_table.module[0] = Module{};
    module_table.module[0].address = (uint8_t)address;
    port_discard();
    if (read_module_parameters(0) != 0) return cli_no_reply(err, address);
    update_channel_kinds();
    return EXIT_OK;
}

int cli_open_module(const CliOptions *o, FILE *err)
{
    int rc = cli_open_link(o, err);
    if (rc != EXIT_OK) return rc;
    rc = cli_load_module(o->address, err);
    if (rc != EXIT_OK) cli_close_link();
    return rc;
}
