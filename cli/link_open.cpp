// Link settings of vokcli: vokcfg.cfg first (as vokmon stored them), then the options given.
#include "cli/link_open.h"

#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#include "app/settings.h"
#include "app/state.h"
#include "cli/system_reason.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "platform/net.h"

namespace {

char LinkText[CLI_PORT_MAX + 48];

int baud_index_of(int baud)
{
    for (int i = 0; i < BAUD_COUNT; ++i)
        if (BaudTable[i] == baud) return i;
    return -1;
}

int load_config(const char *path, char *error, int cap)
{
    FILE *f = fopen(path, "rb");
    if (!f) {
        snprintf(error, (size_t)cap, "cannot open settings file %s: give vokmon's vokcfg.cfg", path);
        return EXIT_USAGE;
    }
    uint8_t bytes[SETTINGS_FILE_SIZE + 1];
    const size_t n = fread(bytes, 1, sizeof bytes, f);
    fclose(f);
    if (n != SETTINGS_FILE_SIZE) {
        // The whole size, not the bytes read: a long file would read as 17.
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), ec);
        snprintf(error, (size_t)cap, "%s is no settings file: vokcfg.cfg has %d bytes, this one %llu", path,
                 (int)SETTINGS_FILE_SIZE, (unsigned long long)(ec ? n : size));
        return EXIT_USAGE;
    }
    settings_decode(bytes);
    if (link_settings.converter_type < 0 || link_settings.converter_type >= CONVERTER_TYPE_COUNT ||
        link_settings.baud_index < 0 || link_settings.baud_index >= BAUD_COUNT || link_settings.com_port < 1) {
        snprintf(error, (size_t)cap, "%s holds no valid link (converter %d, speed index %d, COM%d): save it again from vokmon",
                 path, link_settings.converter_type, link_settings.baud_index, link_settings.com_port);
        return EXIT_USAGE;
    }
    ip_to_text(link_settings.net_ip, net_state.host_text);
    net_state.port_entered = link_settings.net_port;
    return EXIT_OK;
}

// "host:port" of --port; 0 when `port` is one, with host and port filled.
int split_host_port(const char *port, char *error, int cap)
{
    const char *colon = strrchr(port, ':');
    const size_t host_len = (size_t)(colon - port);
    char *end = nullptr;
    const long p = strtol(colon + 1, &end, 10);
    if (host_len == 0 || host_len > HOST_TEXT_MAX || *end != 0 || colon[1] == 0 || p < 1 || p > 65535) {
        snprintf(error, (size_t)cap, "--port '%s': a network converter is given as host:port, e.g. 192.168.1.100:10001", port);
        return EXIT_USAGE;
    }
    memcpy(net_state.host_text, port, host_len);
    net_state.host_text[host_len] = 0;
    net_state.port_entered = (uint16_t)p;
    return EXIT_OK;
}

}  // namespace

int cli_link_settings(const CliOptions *o, char *error, int cap)
{
    state_reset();
    port_set_device(nullptr);
    int rc = EXIT_OK;
    if (o->config && (rc = load_config(o->config, error, cap)) != EXIT_OK) return rc;
    if (!o->config && !o->port[0]) {
        snprintf(error, (size_t)cap, "no link given: use --port /dev/ttyUSB0, COM3 or host:port, or --config vokcfg.cfg");
        return EXIT_USAGE;
    }
    if (o->baud) link_settings.baud_index = baud_index_of(o->baud);
    if (o->wait_ms >= 0) link_settings.reply_wait_ms = (int16_t)o->wait_ms;
    const int is_net_port = o->port[0] && strchr(o->port, ':') != nullptr;
    if (o->converter >= 0) link_settings.converter_type = o->converter;
    else if (o->port[0]) link_settings.converter_type = is_net_port ? CONVERTER_NET : (o->config && link_settings.converter_type != CONVERTER_NET ? link_settings.converter_type : CONVERTER_232);
    if (o->port[0]) {
        if (is_net_port && link_settings.converter_type != CONVERTER_NET) {
            snprintf(error, (size_t)cap, "--port %s is a network converter: leave out --converter or give --converter 4", o->port);
            return EXIT_USAGE;
        }
        if (!is_net_port && link_settings.converter_type == CONVERTER_NET) {
            snprintf(error, (size_t)cap, "--port %s is a serial port, but converter type 4 needs host:port: give --converter 0-3 or 5-7", o->port);
            return EXIT_USAGE;
        }
        if (is_net_port && (rc = split_host_port(o->port, error, cap)) != EXIT_OK) return rc;
        if (!is_net_port) port_set_device(o->port);
    }
    const int baud = BaudTable[link_settings.baud_index];
    if (link_settings.converter_type == CONVERTER_NET)
        snprintf(LinkText, sizeof LinkText, "%s:%u at %d baud", net_state.host_text, (unsigned)net_state.port_entered, baud);
    else if (o->port[0])
        snprintf(LinkText, sizeof LinkText, "%s at %d baud", o->port, baud);
    else
        snprintf(LinkText, sizeof LinkText, "COM%d at %d baud", link_settings.com_port, baud);
    return EXIT_OK;
}

int cli_open_link(const CliOptions *o, FILE *err)
{
    char error[CLI_ERROR_MAX];
    const int rc = cli_link_settings(o, error, sizeof error);
    if (rc != EXIT_OK) {
        fprintf(err, "vokcli: %s\n", error);
        return rc;
    }
    if (link_settings.converter_type == CONVERTER_NET) {
        system_reason_clear();
        const int r = net_open();
        if (r == NET_OPEN_NO_HOST) {
            fprintf(err, "vokcli: cannot resolve '%s': check the converter's host name or give its IP address\n", net_state.host_text);
            return EXIT_LINK;
        }
        if (r != 0) {
            char reason[200], said[208] = "";
            system_reason(reason, sizeof reason);
            if (reason[0]) snprintf(said, sizeof said, " (%s)", reason);
            fprintf(err, "vokcli: no connection to the network converter %s:%u%s: check the address, the port and that it is switched on\n",
                    net_state.host_text, (unsigned)net_state.port_entered, said);
            return EXIT_LINK;
        }
        return EXIT_OK;
    }
    system_reason_clear();
    if (!port_open()) {
        char reason[200], said[208] = "";
        system_reason(reason, sizeof reason);
        if (reason[0]) snprintf(said, sizeof said, " (%s)", reason);
        fprintf(err, "vokcli: cannot open serial port %s%s: check the name and that no other program uses it\n",
                o->port[0] ? o->port : LinkText, said);
        return EXIT_LINK;
    }
    probe_echo();
    return EXIT_OK;
}

void cli_close_link(void)
{
    if (!link_state.open) return;
    if (link_settings.converter_type == CONVERTER_NET) net_close();
    else port_close();
}

const char *cli_link_text(void)
{
    return LinkText;
}

int cli_no_reply(FILE *err, int address)
{
    fprintf(err, "vokcli: no reply from module 0x%02X on %s: check the address, the converter type and the baud rate\n", address & 0xFF,
            LinkText);
    return EXIT_NO_REPLY;
}
