// Adapter from the collector to the core: link settings and open as vokcli does them, module
// parameters and search as the search dialog, IDs and readouts as the data display.
#include "monitor/bus_read.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "app/settings.h"
#include "app/state.h"
#include "display/channel_read.h"
#include "display/channel_reader.h"
#include "display/decode.h"
#include "display/search_scan.h"
#include "display/sensor_ids.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"

namespace {

// What an ID read leaves in the program-wide type tables, kept per module and channel: the
// tables hold one module's channel at a time, a collector reads many in turn.
struct ChannelCache {
    int known;
    int count;
    uint8_t types[UNITS_PER_CHANNEL];
    char id[UNITS_PER_CHANNEL][STORE_ID_MAX];
};
struct ModuleCache {
    int loaded;
    ChannelCache channel[CHANNEL_COUNT];
};
ModuleCache Cache[MODULE_MAX];
IdList Ids;
Readout Values;

int baud_index_of(int baud)
{
    for (int i = 0; i < BAUD_COUNT; ++i)
        if (BaudTable[i] == baud) return i;
    return 2;
}

// Makes entry `index` the module the readers work on.
void select_module(int index)
{
    module_table.current = index;
    update_channel_kinds();
}

}  // namespace

int bus_open(const PlantLink *l, char *error, int cap)
{
    state_reset();
    port_set_device(nullptr);
    link_settings.baud_index = baud_index_of(l->baud);
    link_settings.new_baud_index = link_settings.baud_index;
    link_settings.reply_wait_ms = (int16_t)l->wait_ms;
    link_settings.converter_type = l->converter;
    const char *colon = strrchr(l->port, ':');
    if (l->converter == CONVERTER_NET) {
        const size_t host_len = colon ? (size_t)(colon - l->port) : 0;
        const long port = colon ? strtol(colon + 1, nullptr, 10) : 0;
        if (host_len == 0 || host_len > HOST_TEXT_MAX || port < 1 || port > 65535) {
            snprintf(error, (size_t)cap, "%s is no host:port of a network converter", l->port);
            return -1;
        }
        memcpy(net_state.host_text, l->port, host_len);
        net_state.host_text[host_len] = 0;
        net_state.port_entered = (uint16_t)port;
        const int r = net_open();
        if (r == NET_OPEN_NO_HOST) snprintf(error, (size_t)cap, "cannot resolve the host of %s", l->port);
        else if (r != 0) snprintf(error, (size_t)cap, "no connection to the network converter %s", l->port);
        return r == 0 ? 0 : -1;
    }
    if (port_set_device(l->port) != 0 || !port_open()) {
        snprintf(error, (size_t)cap, "cannot open serial port %s", l->port);
        return -1;
    }
    probe_echo();
    return 0;
}

void bus_close(void)
{
    if (!link_state.open) return;
    if (link_settings.converter_type == CONVERTER_NET) net_close();
    else port_close();
}

int bus_find_modules(const PlantLink *l)
{
    memset(Cache, 0, sizeof Cache);
    if (l->search) {
        // The scan reads the parameters of every module it finds.
        const int n = search_run(0, nullptr, nullptr);
        for (int i = 0; i < n && i < MODULE_MAX; ++i) Cache[i].loaded = 1;
        return n;
    }
    module_table.count = l->module_count < MODULE_MAX ? l->module_count : MODULE_MAX;
    module_table.ready = 1;
    for (int i = 0; i < module_table.count; ++i) {
        module_table.module[i] = Module{};
        module_table.module[i].address = (uint8_t)l->module[i].address;
        bus_load_module(i);
    }
    return module_table.count;
}

int bus_module_count(void)
{
    return module_table.count;
}

int bus_module_address(int index)
{
    return module_table.module[index].address;
}

int bus_module_loaded(int index)
{
    return Cache[index].loaded;
}

int bus_load_module(int index)
{
    port_discard();
    memset(&Cache[index], 0, sizeof Cache[index]);
    const uint8_t address = module_table.module[index].address;
    module_table.module[index] = Module{};
    module_table.module[index].address = address;
    if (read_module_parameters(index) != 0) return BUS_NO_REPLY;
    Cache[index].loaded = 1;
    return BUS_OK;
}

int bus_channels(int index, uint8_t channels, int *out, int max)
{
    select_module(index);
    const Module &m = module_table.module[index];
    int n = 0;
    if (m.model == 4500) {
        if (max > 0) out[n++] = 3;  // its two fixed readings
        return n;
    }
    for (int c = 0; c < CHANNEL_COUNT && n < max; ++c)
        if ((channels == 0 || (channels & (1u << c))) && m.itu_count[c] > 0) out[n++] = c;
    return n;
}

int bus_read_ids(int index, int channel)
{
    select_module(index);
    Module &m = module_table.module[index];
    ChannelCache &cc = Cache[index].channel[channel];
    cc.known = 0;
    ChannelReaders rd;
    if (channel_readers(&m, channel, &rd) != 0) return BUS_NO_UNITS;
    cc.count = 0;
    if (rd.ids >= 0) {
        port_discard();
        const int r = read_unit_ids(rd.ids, &m, rd.channel, &Ids);
        if (r == IDS_NO_UNITS) return BUS_NO_UNITS;
        if (r == IDS_NO_REPLY) return BUS_NO_REPLY;
        if (r == IDS_WRONG_REPLY) return BUS_BAD_REPLY;
        cc.count = Ids.count < UNITS_PER_CHANNEL ? Ids.count : UNITS_PER_CHANNEL;
        for (int i = 0; i < cc.count; ++i)
            for (int k = 0; k < 8; ++k) snprintf(cc.id[i] + (ptrdiff_t)2 * k, 3, "%02X", Ids.id[i][k]);
    }
    memcpy(cc.types, ItuTypeTable[rd.channel], sizeof cc.types);
    cc.known = 1;
    return BUS_OK;
}

int bus_ids_known(int index, int channel)
{
    return Cache[index].channel[channel].known;
}

int bus_read_channel(int index, int channel, StoreReading *out, int max, int *count)
{
    *count = 0;
    select_module(index);
    Module &m = module_table.module[index];
    ChannelReaders rd;
    if (channel_readers(&m, channel, &rd) != 0) return BUS_NO_UNITS;
    const ChannelCache &cc = Cache[index].channel[rd.channel];
    // The decoders take the type codes from the tables: put this channel's back.
    if (cc.known) memcpy(ItuTypeTable[rd.channel], cc.types, sizeof cc.types);
    const int r = read_channel_values(rd.values, &m, rd.channel, &Values);
    if (r == READ_NO_UNITS || r == READ_MODEL_NO_UNITS) return BUS_NO_UNITS;
    if (r == READ_NO_REPLY) return BUS_NO_REPLY;
    if (r != READ_OK) return BUS_BAD_REPLY;
    for (int i = 0; i < Values.count && i < max; ++i) {
        StoreReading &u = out[i];
        u.position = i;
        snprintf(u.unit_id, sizeof u.unit_id, "%s", i < cc.count ? cc.id[i] : "");
        memcpy(u.raw, Values.record[i], 4);
        u.has_value = Values.unit[i].has_value;
        u.value = Values.unit[i].value;
        const char *text = Values.unit[i].text;
        const char *arrow = strstr(text, "->");
        snprintf(u.text, sizeof u.text, "%s", arrow ? arrow + 2 : text);
        (*count)++;
    }
    // A unit added or gone: the IDs kept no longer line up with the readings; read them anew.
    if (rd.ids >= 0 && cc.known && cc.count != Values.count) Cache[index].channel[rd.channel].known = 0;
    return BUS_OK;
}
