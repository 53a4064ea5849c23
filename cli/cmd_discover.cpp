// vokcli discover: the network converters that answer on this host's networks, as vokmon's
// converter list finds them; nothing on a converter is changed.
#include <stdio.h>
#include <string.h>

#include "app/state.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "netsetup/converter_proto.h"
#include "platform/net.h"

namespace {

const int SpeedOfCode[5] = {38400, 19200, 9600, 4800, 2400};

int prefix_of(uint32_t mask_net)
{
    const uint8_t *b = reinterpret_cast<const uint8_t *>(&mask_net);
    int n = 0;
    for (int k = 0; k < 4; ++k)
        for (int bit = 7; bit >= 0; --bit) n += (b[k] >> bit) & 1;
    return n;
}

uint32_t to_net(uint32_t host)
{
    const uint8_t b[4] = {(uint8_t)(host >> 24), (uint8_t)(host >> 16), (uint8_t)(host >> 8), (uint8_t)host};
    uint32_t v;
    memcpy(&v, b, 4);
    return v;
}

struct Row {
    char mac[18], ip[16], network[32], speed[8];
};

void row_of(int i, Row *r)
{
    const ConverterList &c = converter_list;
    const uint8_t *m = c.mac[i];
    snprintf(r->mac, sizeof r->mac, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    ip_to_text(to_net(c.ip[i]), r->ip);
    const int k = c.if_index[i];
    char addr[16];
    ip_to_text(local_if.addr[k], addr);
    snprintf(r->network, sizeof r->network, "%s/%d", addr, prefix_of(local_if.mask[k]));
    if (c.baud_code[i] < 5) snprintf(r->speed, sizeof r->speed, "%d", SpeedOfCode[c.baud_code[i]]);
    else snprintf(r->speed, sizeof r->speed, "OUT");
}

}  // namespace

int cmd_discover(const CliOptions *o, FILE *out, FILE *err)
{
    if (o->format == FORMAT_CSV) {
        fprintf(err, "vokcli: discover writes text or --json\n");
        return EXIT_USAGE;
    }
    int r = udp_open();
    if (r != 0) {
        fprintf(err, "vokcli: cannot open a UDP socket for the discovery (%d): check the network set-up\n", r);
        return EXIT_LINK;
    }
    r = local_if_query();
    if (r == 0 && local_if.count == 0) {
        udp_close();
        r = -4;
    }
    if (r != 0) {
        fprintf(err, "vokcli: no network interface besides loopback to ask on (%d): connect the host to the converter's network\n", r);
        return EXIT_LINK;
    }
    r = converter_discover();
    if (r == -7) {
        fprintf(err, "vokcli: no network converter answered on UDP port %d on %d network%s: check the cable and that the converter is on\n",
                CONVERTER_UDP_PORT, local_if.count, local_if.count == 1 ? "" : "s");
        return EXIT_NO_REPLY;
    }
    if (r == 0) r = converter_read_configs();
    if (r != 0) {
        fprintf(err, "vokcli: the discovery failed on the network (%d): try again\n", r);
        return EXIT_LINK;
    }
    udp_close();
    const ConverterList &c = converter_list;
    if (o->format == FORMAT_JSON) {
        fprintf(out, "{\"converters\": [");
        for (int i = 0; i < c.count; ++i) {
            Row row;
            row_of(i, &row);
            fprintf(out, "%s\n  {\"mac\": \"%s\", \"ip\": \"%s\", \"ip_unset\": %s, \"port\": %u, \"baud\": %s%s%s, \"network\": \"%s\"}",
                    i ? "," : "", row.mac, row.ip, c.ip_unset[i] ? "true" : "false", (unsigned)c.port[i],
                    c.baud_code[i] < 5 ? "" : "\"", row.speed, c.baud_code[i] < 5 ? "" : "\"", row.network);
        }
        fprintf(out, "%s]}\n", c.count ? "\n" : "");
        return EXIT_OK;
    }
    fprintf(out, "mac                ip               port   baud   network\n");
    for (int i = 0; i < c.count; ++i) {
        Row row;
        row_of(i, &row);
        fprintf(out, "%-17s  %-15s  %5u  %-5s  %s%s\n", row.mac, row.ip, (unsigned)c.port[i], row.speed, row.network,
                c.ip_unset[i] ? "  (no fixed address: answered from this one)" : "");
    }
    return EXIT_OK;
}
