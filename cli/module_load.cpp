// Module parameters for the commands that read one module: a name request that must come
// back from that address first, then the search's own parameter read.
#include "cli/module_load.h"

#include "app/settings.h"
#include "app/state.h"
#include "cli/link_open.h"
#include "cli/output.h"
#include "display/channel_reader.h"
#include "display/search_scan.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "protocol/model_caps.h"
#include "protocol/protocol.h"

namespace {

enum { NAME_REPLY_LEN = 11 };

// Asks the module for its name. The parameter read takes any bytes for an answer, so an
// empty address would come back as a made-up module; this answer must be "!AA...".
int probe_module(int address, FILE *err)
{
    const char command = command_row(CMD_READ_NAME)->command;
    ModuleReply r;
    module_request(CMD_READ_NAME, (uint8_t)address, &command, 1, 0, 0, &r);
    const int n = r.len;
    if (n <= 0) return cli_no_reply(err, address);
    const uint8_t *reply = r.bytes;
    if (n >= 3 && reply[0] == LEAD_ACK && hex_pair_value(reply + 1) == address) return EXIT_OK;
    char text[3 * NAME_REPLY_LEN + 16];
    frame_text(reply, n < NAME_REPLY_LEN ? n : NAME_REPLY_LEN, text, sizeof text);
    if (n >= 3 && reply[0] == LEAD_ACK)
        fprintf(err, "vokcli: the name request to module 0x%02X was answered by module 0x%02X (\"%s\"): a late module or "
                     "two modules on one address; try --converter 7 with a longer --wait\n",
                address, hex_pair_value(reply + 1), text);
    else
        fprintf(err, "vokcli: module 0x%02X answered its name request with \"%s\", not with its name: check the "
                     "converter type and the baud rate\n", address, text);
    return EXIT_BAD_REPLY;
}

}  // namespace

int cli_load_module(int address, FILE *err)
{
    module_table.count = 1;
    module_table.current = 0;
    module_table.ready = 1;
    module_table.module[0] = Module{};
    module_table.module[0].address = (uint8_t)address;
    port_discard();
    const int rc = probe_module(address, err);
    if (rc != EXIT_OK) return rc;
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

int check_channel_choice(Module *m, int channel, FILE *err)
{
    char name[8];
    if (is_4500(m->model) && channel >= 0 && channel != 3) {
        fprintf(err, "vokcli: module 0x%02X (%s) has its readings on CH3 only: give --channel 3 or leave it out\n",
                m->address, clean_text(m->name, name, sizeof name));
        return EXIT_USAGE;
    }
    return EXIT_OK;
}

int module_keeps_ids(Module *m, const int *channels, int n)
{
    for (int k = 0; k < n; ++k) {
        ChannelReaders rd;
        if (channel_readers(m, channels[k], &rd) == 0 && rd.ids >= 0) return 1;
    }
    return 0;
}
