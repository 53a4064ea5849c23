// Fast probe exchange: a silent address costs the measured turnaround of the link plus a
// margin instead of the search schedule's fixed waits and retransmission. Waits are 1 ms
// sleeps between looks at the input queue (or select on the network link), never spinning.
#include "link/fast_probe.h"

#include <string.h>

#include "link/exchange.h"
#include "link/link_state.h"
#include "link/net_link.h"
#include "link/request.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/trace.h"
#include "protocol/protocol.h"

namespace {

enum {
    POLL_MS = 1,
    TAIL_GAP_EXTRA_US = 20000, // a reply cut short ends after its missing bytes' time plus this
    STALE_MAX = 4150,
};
const int64_t SETTLE_MAX_US = 2000000;

// An upper-case hex digit as the modules send them, or -1.
int hex_value(uint8_t c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int64_t line_byte_us(void)
{
    const int baud = BaudTable[timing_baud_index(link_settings.baud_index)];
    return 10LL * 1000000 / baud;
}

// Bytes that came outside a probe's window: logged, and their sender noted.
void late_bytes(FastTiming *ft, const uint8_t *p, int n)
{
    trace_frame(TRACE_RX, p, n, 0);
    // The end of an echoing converter's copy of the last probe, come after its purge.
    if (n <= ft->last_len && memcmp(p, ft->last_cmd + ft->last_len - n, (size_t)n) == 0) return;
    const int from = fast_reply_address(p, n);
    ft->late_address = from >= 0 ? from : FAST_LATE_UNKNOWN;
}

// A reply to the probe must carry its address; one that does not is a late reply of an
// earlier probe, and its module is asked again.
int check_address(FastTiming *ft, const uint8_t *reply, int n, const uint8_t *cmd)
{
    const int from = fast_reply_address(reply, n);
    if (from < 0 || (reply[1] == cmd[1] && reply[2] == cmd[2])) return 0;
    ft->late_address = from;
    return 1;
}

// Where the reply begins in the bytes read so far: after the echo of `cmd` when the converter
// echoes (bytes in front of the echo are the tail of an earlier one), at the first lead
// character otherwise. -1 while no reply has begun. *echo_at: where the echo begins.
int reply_begins(const uint8_t *p, int n, const uint8_t *cmd, int cmd_len, int *echo_at)
{
    int from = 0;
    *echo_at = -1;
    if (link_state.echo_len > 0) {
        for (int k = 0; k + cmd_len <= n && *echo_at < 0; ++k)
            if (memcmp(p + k, cmd, (size_t)cmd_len) == 0) *echo_at = k;
        if (*echo_at < 0) return -1;
        from = *echo_at + cmd_len;
    }
    for (int k = from; k < n; ++k)
        if (p[k] == LEAD_ACK || p[k] == LEAD_DATA) return k;
    return -1;
}

// Reads what the input queue holds onto the end of `acc`; returns the new total.
int take_queued(uint8_t *acc, int got)
{
    const int q = port_in_queue();
    if (q <= 0 || got >= RX_BUFFER_SIZE) return got;
    const int n = port_read(q < RX_BUFFER_SIZE - got ? q : RX_BUFFER_SIZE - got, acc + got);
    return n > 0 ? got + n : got;
}

// port_write without its purge: a reply that comes the moment an earlier window closed must
// stay in the input queue, where it gives itself away, rather than vanish.
int write_keeping_input(const uint8_t *cmd, int cmd_len)
{
    const SerialHandle h = link_state.port;
    if (h == SERIAL_INVALID) return -1;
    serial_set_rts(h, 1);
    const int n = link_state.os_family == SERIAL_OS_NT ? serial_write(h, cmd, cmd_len) : serial_write_plain(h, cmd, cmd_len);
    serial_set_rts(h, 0);
    return n;
}

int serial_fast(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    static uint8_t acc[RX_BUFFER_SIZE];
    // Anything waiting now came after an earlier probe's window.
    int got = take_queued(acc, 0);
    if (got > 0) late_bytes(ft, acc, got);
    const int sent = write_keeping_input(cmd, cmd_len);
    trace_frame(TRACE_TX, cmd, sent > 0 ? sent : 0, 0);
    const int64_t out_us = now_us();
    got = 0;
    int echo_at = -1, lead_at = -1;
    for (;;) {
        got = take_queued(acc, got);
        lead_at = reply_begins(acc, got, cmd, cmd_len, &echo_at);
        if (lead_at >= 0 || now_us() - out_us >= ft->window_us) break;
        sleep_ms(POLL_MS);
    }
    // Bytes in front of the echo: the tail of an earlier one, or a late reply.
    const int front = echo_at > 0 ? echo_at : 0;
    if (front > 0) late_bytes(ft, acc, front);
    if (lead_at < 0) {
        // What did come (the echo) is kept out of RxBuffer; a reply starting now is found in
        // front of the next probe.
        memset(RxBuffer, 0, sizeof RxBuffer);
        trace_no_reply(EXCHANGE_NO_REPLY_SEARCH);
        return EXCHANGE_NO_REPLY_SEARCH;
    }
    fast_measured(ft, now_us() - out_us);
    // The rest of the reply: until all of it is in, or nothing came for as long as the missing
    // bytes take on the line and a margin for a busy host.
    const int want = lead_at + (expect - link_state.echo_len);
    int64_t last_us = now_us();
    while (got < want && got < RX_BUFFER_SIZE) {
        const int64_t quiet_us = (int64_t)(want - got) * ft->byte_us + TAIL_GAP_EXTRA_US;
        if (now_us() - last_us >= quiet_us) break;
        sleep_ms(POLL_MS);
        const int before = got;
        got = take_queued(acc, got);
        if (got > before) last_us = now_us();
    }
    // Into RxBuffer as bus_exchange leaves it: the echo (when there is one), then the reply.
    memset(RxBuffer, 0, sizeof RxBuffer);
    const int from = link_state.echo_len > 0 ? echo_at : lead_at;
    const int n = got - from;
    memcpy(RxBuffer, acc + from, (size_t)n);
    trace_frame(TRACE_RX, RxBuffer, n, link_state.echo_len);
    if (n > link_state.echo_len &&
        check_address(ft, RxBuffer + link_state.echo_len, n - link_state.echo_len, cmd))
        return EXCHANGE_NO_REPLY_SEARCH;
    return n;
}

int net_fast(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    if (!link_state.open || net_state.tcp == SOCK_INVALID) return NET_SEND_CLOSED;
    // A late reply to an earlier probe must not be taken for this one. Unlike net_send this
    // does not wait for leftovers: the window below already covered the last reply.
    static uint8_t stale[STALE_MAX];
    while (sock_wait_readable(net_state.tcp, 0) > 0) {
        const int got = sock_recv(net_state.tcp, stale, STALE_MAX);
        if (got <= 0) return NET_SEND_FAILED;
        late_bytes(ft, stale, got);
    }
    if (sock_send(net_state.tcp, cmd, cmd_len) != cmd_len) return NET_SEND_FAILED;
    trace_frame(TRACE_TX, cmd, cmd_len, 0);
    const int64_t out_us = now_us();
    memset(RxBuffer, 0, sizeof RxBuffer);
    const int ready = sock_wait_readable(net_state.tcp, ft->window_us);
    if (ready < 0) return NET_RECV_WAIT;
    if (ready == 0) {
        trace_no_reply(EXCHANGE_NO_REPLY_SEARCH);
        return EXCHANGE_NO_REPLY_SEARCH;
    }
    fast_measured(ft, now_us() - out_us);
    int total = 0;
    for (;;) {
        int room = RX_BUFFER_SIZE - total;
        if (room <= 0) break;
        const int got = sock_recv(net_state.tcp, RxBuffer + total, room);
        if (got < 0) return NET_RECV_FAILED;
        if (got == 0) break;
        total += got;
        if (total >= expect) break;
        // The rest may come in later segments: wait as long as it takes on the bus, plus a margin.
        const int64_t gap_us = (int64_t)(expect - total) * ft->byte_us + TAIL_GAP_EXTRA_US;
        if (sock_wait_readable(net_state.tcp, gap_us) <= 0) break;
    }
    trace_frame(TRACE_RX, RxBuffer, total, 0);
    if (check_address(ft, RxBuffer, total, cmd)) return EXCHANGE_NO_REPLY_SEARCH;
    return total;
}

}  // namespace

void fast_timing_begin(FastTiming *ft, int cmd_len, int expect)
{
    const int type = link_settings.converter_type;
    const int baud = link_settings.baud_index;
    int64_t first_ms;
    if (type == CONVERTER_NET)
        first_ms = net_wait(baud, 1, cmd_len + expect) + net_receive_window_us(1) / 1000;
    else if (type == CONVERTER_RF_NORM || type == CONVERTER_RF_SLOW || type == CONVERTER_S_WAIT)
        first_ms = (int64_t)POLL_GAP_MS * (polled_polls(type, link_settings.reply_wait_ms) + 1);
    else
        first_ms = paced_first_wait(type, baud, 1, cmd_len, expect);
    ft->first_window_us = first_ms * 1000;
    ft->window_us = ft->first_window_us;
    ft->byte_us = line_byte_us();
    ft->samples = 0;
    ft->late_address = -1;
    ft->last_len = 0;
}

int64_t fast_window_us(const FastTiming *ft)
{
    const int n = ft->samples < FAST_SAMPLES ? ft->samples : FAST_SAMPLES;
    if (n <= 0) return ft->first_window_us;
    int64_t sorted[FAST_SAMPLES];
    memcpy(sorted, ft->sample_us, sizeof(int64_t) * (size_t)n);
    for (int i = 1; i < n; ++i)
        for (int k = i; k > 0 && sorted[k - 1] > sorted[k]; --k) {
            const int64_t t = sorted[k];
            sorted[k] = sorted[k - 1];
            sorted[k - 1] = t;
        }
    const int64_t median = sorted[n / 2];
    const int64_t w = median + median / 4 + 2 * ft->byte_us;
    return w < ft->first_window_us ? w : ft->first_window_us;
}

void fast_measured(FastTiming *ft, int64_t turnaround_us)
{
    if (ft->samples < FAST_SAMPLES) ft->sample_us[ft->samples] = turnaround_us;
    ft->samples++;
    ft->window_us = fast_window_us(ft);
}

int fast_reply_address(const uint8_t *p, int n)
{
    for (int i = 0; i + 2 < n; ++i) {
        if (p[i] != LEAD_ACK && p[i] != LEAD_DATA) continue;
        const int hi = hex_value(p[i + 1]), lo = hex_value(p[i + 2]);
        if (hi >= 0 && lo >= 0) return hi * 16 + lo;
    }
    return -1;
}

void fast_settle(const FastTiming *ft)
{
    const int64_t start = now_us();
    int64_t last = start;
    static uint8_t drop[STALE_MAX];
    while (now_us() - last < ft->first_window_us && now_us() - start < SETTLE_MAX_US) {
        if (link_settings.converter_type == CONVERTER_NET) {
            if (net_state.tcp == SOCK_INVALID || sock_wait_readable(net_state.tcp, ft->first_window_us) <= 0) break;
            const int got = sock_recv(net_state.tcp, drop, STALE_MAX);
            if (got <= 0) break;
            trace_frame(TRACE_RX, drop, got, 0);
            last = now_us();
        } else {
            const int q = port_in_queue();
            if (q < 0) break;
            if (q > 0) {
                const int got = port_read(q < STALE_MAX ? q : STALE_MAX, drop);
                if (got > 0) trace_frame(TRACE_RX, drop, got, 0);
                last = now_us();
            }
            sleep_ms(POLL_MS);
        }
    }
    port_discard();
}

int fast_exchange(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    const int r = link_settings.converter_type == CONVERTER_NET ? net_fast(ft, expect, cmd_len, cmd)
                                                                 : serial_fast(ft, expect, cmd_len, cmd);
    ft->last_len = cmd_len < (int)sizeof ft->last_cmd ? cmd_len : (int)sizeof ft->last_cmd;
    memcpy(ft->last_cmd, cmd, (size_t)ft->last_len);
    return r;
}

void fast_name_probe_begin(FastTiming *ft)
{
    const CommandRow *row = command_row(CMD_READ_NAME);
    fast_timing_begin(ft, row->request_len, command_wait_length(CMD_READ_NAME, 0) + link_state.echo_len);
}

int fast_name_probe(FastTiming *ft, uint8_t address, ModuleReply *out)
{
    const char command = command_row(CMD_READ_NAME)->command;
    module_request_fast(ft, CMD_READ_NAME, address, &command, 1, 0, 0, out);
    return out->got;
}
