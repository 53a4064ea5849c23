// Module search below the dialog: the probe of one address, the parameter and sort number
// reads of a module found, and the whole scan for callers without a window.
#include "display/search_scan.h"

#include <stdio.h>
#include <string.h>

#include "app/state.h"
#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/fast_probe.h"
#include "link/serial_port.h"
#include "platform/trace.h"
#include "platform/net.h"
#include "platform/clock.h"
#include "protocol/protocol.h"

namespace {
ModuleReply Last;  // the scan's last reply

SearchLateReply LateReply = nullptr;
void *LateReplyCtx = nullptr;
// Addresses whose reply came in another address's probe during this scan, and those probed
// while such a reply was on its way (their replies queue behind it and may be lost).
uint8_t LateSeen[SEARCH_LAST_ADDRESS + 1];
uint8_t AskAgain[SEARCH_LAST_ADDRESS + 1];
enum { LATE_SETTLE_MS = 1000 };  // longer than the slowest reply the scan waits out

// A '$' register read; the reply stays in Last. Returns the exchange's result (< 0: none).
int ask(uint8_t address, CommandId id)
{
    const char command = command_row(id)->command;
    module_request(id, address, &command, 1, 0, 0, &Last);
    return Last.got;
}

// Reply byte at position pos of the last reply. RxBuffer is far larger than any position
// read here, so the read stays inside it even for a short reply.
uint8_t rx(int pos) { return Last.bytes[pos]; }
uint8_t rx_hex(int pos) { return hex_pair_value(&Last.bytes[pos]); }

// Counts of the $AA6 reply, by the layout of the module's model.
int read_counts(Module &m)
{
    m.chan_state = rx_hex(3);
    m.itu_total = 0;
    const ModelCaps *caps = model_caps(m.model);
    if (caps->counts == COUNTS_RAW_4501) {
        m.itu_total_b = 0;
        for (int k = 0; k < CHANNEL_COUNT; ++k) {
            m.itu_count[k] = rx(5 + k);
            m.itu_count_b[k] = rx(13 + k);
            m.itu_total += m.itu_count[k];
            m.itu_total_b += m.itu_count_b[k];
        }
        return 0;
    }
    if (caps->counts == COUNTS_RAW_4103) {
        for (int k = 0; k < CHANNEL_COUNT; ++k) m.itu_count[k] = k < 3 ? rx(5 + k) : 0;
        m.itu_total = m.itu_count[0] + m.itu_count[1] + m.itu_count[2];
        alarm_settings.temp_high = static_cast<int8_t>(rx(8) - 0x37);
        alarm_settings.temp_low = static_cast<int8_t>(rx(9) - 0x37);
        alarm_settings.humidity_high = static_cast<int8_t>(rx(10));
        alarm_settings.humidity_low = static_cast<int8_t>(rx(11));
        alarm_settings.temp_hysteresis = static_cast<int8_t>(rx(12));
        alarm_settings.humidity_hysteresis = static_cast<int8_t>(rx(13));
        for (int k = 0; k < 4; ++k) alarm_settings.temp_enable[k] = rx(14 + k);
        for (int k = 0; k < 2; ++k) alarm_settings.humidity_enable[k] = rx(18 + k);
        return 0;
    }
    // Model 4500 has no state mask: its counts start at position 3. Every other model is
    // read in the plain layout from position 5.
    const int p = caps->counts == COUNTS_FROM_3 ? 3 : 5;
    for (int k = 0; k < CHANNEL_COUNT; ++k) {
        m.itu_count[k] = rx_hex(p + 2 * k);
        m.itu_total += m.itu_count[k];
    }
    if (!caps->alarm_counts) return 0;
    // These models carry their temperature alarm settings in counts 1..7.
    alarm_settings.temp_high = static_cast<int8_t>(m.itu_count[1] - 0x37);
    alarm_settings.temp_low = static_cast<int8_t>(m.itu_count[2] - 0x37);
    for (int k = 0; k < 4; ++k) alarm_settings.temp_enable[k] = m.itu_count[3 + k];
    alarm_settings.temp_hysteresis = static_cast<int8_t>(m.itu_count[7]);
    alarm_settings.humidity_high = 0;
    alarm_settings.humidity_low = 0;
    alarm_settings.humidity_hysteresis = 0;
    alarm_settings.humidity_enable[0] = 0;
    alarm_settings.humidity_enable[1] = 0;
    for (int k = 1; k < CHANNEL_COUNT; ++k) m.itu_count[k] = 0;
    m.itu_total = m.itu_count[0];
    if (m.firmware[1] < '2') return 0;
    // Second generation: the counts of the second channel set come from $AA8.
    m.itu_total = 0;
    port_discard();
    if (ask(m.address, CMD_READ_COUNTS2) < 0 || rx(0) != LEAD_ACK) return -1;
    m.chan_state2 = rx_hex(3);
    for (int k = 0; k < CHANNEL_COUNT; ++k) {
        m.itu_count2[k] = rx_hex(5 + 2 * k);
        m.itu_total += m.itu_count2[k];
    }
    return 0;
}

void late_reply(int probed, int answered, int again)
{
    LateReply(probed, answered, again, LateReplyCtx);
    LateSeen[answered] = 1;
    // Every address asked since the late module may have had its reply queued behind.
    for (int a = answered + 1; a <= probed; ++a) AskAgain[a] = 1;
}

// Bytes come in between two probes: the reply of an earlier address that answered after
// its probe's wait. The link throws such bytes away before a request, unseen; here they are
// read first and named.
void check_between_probes(int address)
{
    uint8_t late[64];
    int n = 0;
    if (link_settings.converter_type == CONVERTER_NET) {
        // As long as the link itself looks for leftovers before a request; once bytes came,
        // until the rest of that reply is in too.
        int64_t wait_us = 10000;
        while (n < (int)sizeof late && net_state.tcp != SOCK_INVALID && sock_wait_readable(net_state.tcp, wait_us) > 0) {
            wait_us = 30000;
            const int got = sock_recv(net_state.tcp, late + n, (int)sizeof late - n);
            if (got <= 0) break;
            trace_frame(TRACE_RX, late + n, got, 0);
            n += got;
        }
    } else {
        const int q = port_in_queue();
        if (q > 0) n = port_read(q < (int)sizeof late ? q : (int)sizeof late, late);
    }
    const int answered = n > 0 ? fast_reply_address(late, n) : -1;
    if (answered >= 0 && answered != address) late_reply(address > 0 ? address - 1 : 0, answered, 0);
}

// The probe of the scan, through the search schedule or (ft not null) the fast exchange;
// `first_answer` is the address the first ask was answered from when this is the second.
int probe_with(int address, FastTiming *ft, int first_answer = -1)
{
    // The fast exchange looks at what is waiting before it sends (a late reply gives itself
    // away there), so only the normal probe clears the link around itself.
    if (!ft && LateReply && first_answer < 0) check_between_probes(address);
    if (!ft) port_discard();
    int got;
    if (ft) got = fast_name_probe(ft, static_cast<uint8_t>(address), &Last);
    else got = ask(static_cast<uint8_t>(address), CMD_READ_NAME);
    int added = 0;
    // The fast exchange checks the address itself and asks again with this normal probe.
    if (LateReply && !ft && Last.len >= 3 && rx(0) == LEAD_ACK && rx_hex(1) != address) {
        const int answered = rx_hex(1);
        port_discard();
        late_reply(address, answered, answered == first_answer);
        // The module probed may have answered behind the late one: ask it once more.
        if (first_answer < 0) return probe_with(address, nullptr, answered);
        return 0;
    }
    // The table holds 64 modules; further answers are not kept.
    if (got > 0 && rx(0) == LEAD_ACK && module_table.count < MODULE_MAX) {
        module_table.module[module_table.count].address = static_cast<uint8_t>(address);
        module_table.count++;
        added = 1;
    }
    if (!ft) port_discard();
    return added;
}

int in_table(int address)
{
    for (int i = 0; i < module_table.count; ++i)
        if (module_table.module[i].address == address) return 1;
    return 0;
}

// Asks `address` again, as the normal scan asks it.
void probe_again(int address)
{
    if (!in_table(address)) probe_with(address, nullptr);
}

// Keeps the table in ascending address order after a module was found late.
void sort_table(void)
{
    for (int i = 1; i < module_table.count; ++i)
        for (int k = i; k > 0 && module_table.module[k - 1].address > module_table.module[k].address; --k) {
            const uint8_t a = module_table.module[k].address;
            module_table.module[k].address = module_table.module[k - 1].address;
            module_table.module[k - 1].address = a;
        }
}

// One address of the fast scan. A reply that came after its window makes the scan ask that
// address and the ones after it again with the normal schedule: the fast scan finds what the
// normal one finds, only the quick answers are taken at their own pace.
void fast_probe(int address, FastTiming *ft)
{
    ft->late_address = -1;
    probe_with(address, ft);
    const int late = ft->late_address;
    if (late < 0) return;
    // Everything from the late module on may have been drowned by its reply.
    int from = late <= address ? late : address - 2;
    if (from < 0) from = 0;
    fast_settle(ft);
    for (int a = from; a <= address; ++a) probe_again(a);
    sort_table();
}
}  // namespace

void search_scan_begin(void)
{
    module_table.scan_pos = 0;
    module_table.count = 0;
    link_state.searching = 1;
}

void search_check_reply_address(SearchLateReply late, void *ctx)
{
    LateReply = late;
    LateReplyCtx = ctx;
}

void search_scan_finish(void)
{
    link_state.searching = 0;
    module_table.scan_pos = 0;
    if (module_table.count != 0) {
        module_table.ready = 1;
        for (int i = 0; i < module_table.count; ++i) read_module_parameters(i);
    }
}

int search_run(int fast, SearchProgress progress, void *ctx)
{
    search_scan_begin();
    FastTiming ft;
    if (fast) fast_name_probe_begin(&ft);
    memset(LateSeen, 0, sizeof LateSeen);
    memset(AskAgain, 0, sizeof AskAgain);
    int stop = 0;
    for (;;) {
        if (fast) fast_probe(module_table.scan_pos, &ft);
        else probe_address(module_table.scan_pos);
        stop = progress ? progress(module_table.scan_pos, module_table.count, ctx) : 0;
        if (stop || module_table.scan_pos >= SEARCH_LAST_ADDRESS) break;
        module_table.scan_pos++;
        if (!fast) sleep_ms(SEARCH_TICK_MS);
    }
    // A late reply queues the replies behind it: the addresses probed while it was on its
    // way are asked once more on a quiet line, so a healthy module is not lost. A module that
    // is late again gets its reply waited out before the next address is asked.
    int settled = 0;
    for (int a = 0; a <= SEARCH_LAST_ADDRESS && LateReply && !stop; ++a) {
        if ((!AskAgain[a] && !LateSeen[a]) || in_table(a)) continue;
        if (!settled) sleep_ms(LATE_SETTLE_MS);
        settled = 1;
        port_discard();
        if (!probe_with(a, nullptr) && LateSeen[a]) sleep_ms(LATE_SETTLE_MS);
    }
    if (settled) {
        sort_table();
        sleep_ms(LATE_SETTLE_MS);
        port_discard();
    }
    link_state.searching = 0;
    module_table.scan_pos = 0;
    if (module_table.count == 0) return 0;
    module_table.ready = 1;
    for (int i = 0; i < module_table.count && !stop; ++i) {
        if (progress && progress(SEARCH_READING, i, ctx)) break;
        read_module_parameters(i);
    }
    return module_table.count;
}

int probe_address(int address)
{
    return probe_with(address, nullptr);
}

int read_module_parameters(int i)
{
    if (i < 0 || i >= MODULE_MAX) return -1;
    Module &m = module_table.module[i];
    if (ask(m.address, CMD_READ_CONFIG) < 0) return -1;
    m.type_code = rx_hex(3);
    m.data_format = rx_hex(7);

    if (ask(m.address, CMD_READ_NAME) < 0) return -1;
    for (int k = 0; k < 7; ++k) m.name[k] = static_cast<char>(rx(3 + k));
    m.name[7] = 0;
    m.model = model_from_name(reinterpret_cast<const uint8_t *>(m.name));

    if (ask(m.address, CMD_READ_FIRMWARE) < 0) return -1;
    for (int k = 0; k < 5; ++k) m.firmware[k] = static_cast<char>(rx(3 + k));
    m.firmware[5] = 0;

    if (ask(m.address, CMD_READ_FAULT) < 0) return -1;
    if (rx(0) == LEAD_ACK) {
        m.fault_state = rx_hex(3);
        m.chan_error = rx_hex(5);
        m.chan_warning = rx_hex(7);
    } else {
        m.fault_state = 0x80;
        m.chan_error = 0;
        m.chan_warning = 0;
    }

    if (ask(m.address, CMD_READ_COUNTS) < 0) return -1;
    if (read_counts(m) != 0) return -1;

    port_discard();
    const ModelCaps *caps = model_caps(m.model);
    if (caps->units == UNITS_BY_KIND) {
        if (ask(m.address, CMD_READ_KIND_MASKS) < 0) return -1;
        if (rx(0) == LEAD_ACK) {
            m.chan_mask_b = rx_hex(3);
            m.chan_mask_a = rx_hex(5);
        } else {
            m.chan_mask_b = 0;
            m.chan_mask_a = 0;
        }
        port_discard();
    }

    if (ask(m.address, CMD_READ_MODE) < 0) return -1;
    if (rx(0) != LEAD_ACK) m.mode = 238;
    else m.mode = rx(3) == '0' ? 0 : rx(3) == '1' ? 1 : 238;
    port_discard();

    int last = 0;
    if (m.type_code == 0x80 || m.type_code == 0x83) last = read_sort_numbers(i, 8);
    if (m.type_code == 0x82) last = read_sort_numbers(i, 1);
    if (caps->sort_by_model) {
        last = read_sort_numbers(i, 8);
        // The temperature-humidity modules' numbers are their ITU addresses, not sort numbers.
        if (caps->units == UNITS_ITUS) m.sort_valid = 0;
    }
    return last;
}

int read_sort_numbers(int i, int n)
{
    if (i < 0 || i >= MODULE_MAX) return 1;
    Module &m = module_table.module[i];
    m.sort_valid = 0;
    for (int c = 0; c < n && c < CHANNEL_COUNT; ++c) {
        if (m.itu_count[c] == 0) {
            memset(m.sort_no[c], 0, sizeof m.sort_no[c]);
            continue;
        }
        port_discard();
        if (channel_request(CMD_READ_SORT, m.address, c, m.itu_count[c], 0, &Last) == REQ_NO_REPLY) return 1;
        if (rx(0) == LEAD_DATA && rx(3) == 0) {
            int k = rx(4);
            if (k == 0) {
                memset(m.sort_no[c], 0, sizeof m.sort_no[c]);
            } else {
                // A channel holds 64 units; a larger count byte cannot be stored.
                if (k > UNITS_PER_CHANNEL) k = UNITS_PER_CHANNEL;
                memcpy(m.sort_no[c], Last.bytes + 5, static_cast<size_t>(k));
            }
            m.sort_valid = 1;
        }
        sleep_ms(10);  // gives the module a pause between channel reads
    }
    port_discard();
    return 0;
}
