// Fast probe exchange: a silent address costs the measured turnaround of the link plus a
// margin instead of the search schedule's fixed waits and retransmission. Waits are 1 ms
// sleeps between looks at the input queue (or select on the network link), never spinning.
#include "link/fast_probe.h"

#include <string.h>

#include "app/state.h"
#include "link/exchange.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "link/trace.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace {

enum {
    POLL_MS = 1,
    TAIL_GAP_BYTES = 4,       // a reply is over when nothing came for this many byte times ...
    TAIL_GAP_EXTRA_US = 10000, // ... plus this (scheduling of the host and the converter)
    NET_TAIL_EXTRA_US = 5000, // TCP segments of one reply may come this far apart
    STALE_MAX = 4150,
};

int64_t line_byte_us(void)
{
    const int baud = BaudTable[timing_baud_index(link_settings.baud_index)];
    return 10LL * 1000000 / baud;
}

void measured(FastTiming *ft, int64_t turnaround_us)
{
    ft->window_us = fast_window_us(ft, turnaround_us);
    if (turnaround_us > ft->longest_us) ft->longest_us = turnaround_us;
    ft->replies++;
}

int serial_fast(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    port_discard();
    const int sent = port_write(cmd, cmd_len);
    trace_frame(TRACE_TX, cmd, sent > 0 ? sent : 0, 0);
    const int64_t out_us = now_us();
    const int start = link_state.echo_len + 1;
    int queued = port_in_queue();
    while (queued < start && now_us() - out_us < ft->window_us) {
        sleep_ms(POLL_MS);
        queued = port_in_queue();
    }
    if (queued < start) {
        port_discard();
        trace_no_reply(EXCHANGE_NO_REPLY_SEARCH);
        return EXCHANGE_NO_REPLY_SEARCH;
    }
    measured(ft, now_us() - out_us);
    // The rest of the reply: until all `expect` bytes are in or the line has gone quiet.
    const int64_t quiet_us = TAIL_GAP_BYTES * ft->byte_us + TAIL_GAP_EXTRA_US;
    int64_t last_us = now_us();
    while (queued < expect && now_us() - last_us < quiet_us) {
        sleep_ms(POLL_MS);
        const int q = port_in_queue();
        if (q > queued) last_us = now_us();
        if (q >= 0) queued = q;
    }
    if (queued > RX_BUFFER_SIZE) queued = RX_BUFFER_SIZE;
    const int n = port_read(queued, RxBuffer);
    if (n >= 0) trace_frame(TRACE_RX, RxBuffer, n, link_state.echo_len);
    else trace_no_reply(n);
    return n;
}

int net_fast(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    if (!link_state.open || net_state.tcp == SOCK_INVALID) return NET_SEND_CLOSED;
    // A late reply to an earlier probe must not be taken for this one. Unlike net_send this
    // does not wait for leftovers: the window below already covered the last reply.
    static uint8_t stale[STALE_MAX];
    while (sock_wait_readable(net_state.tcp, 0) > 0)
        if (sock_recv(net_state.tcp, stale, STALE_MAX) <= 0) return NET_SEND_FAILED;
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
    measured(ft, now_us() - out_us);
    const int64_t gap_us = TAIL_GAP_BYTES * ft->byte_us + NET_TAIL_EXTRA_US;
    int total = 0;
    for (;;) {
        int room = RX_BUFFER_SIZE - total;
        if (room <= 0) break;
        const int got = sock_recv(net_state.tcp, RxBuffer + total, room);
        if (got < 0) return NET_RECV_FAILED;
        if (got == 0) break;
        total += got;
        if (total >= expect) break;
        if (sock_wait_readable(net_state.tcp, gap_us) <= 0) break;
    }
    trace_frame(TRACE_RX, RxBuffer, total, 0);
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
    ft->longest_us = 0;
    ft->byte_us = line_byte_us();
    ft->replies = 0;
}

int64_t fast_window_us(const FastTiming *ft, int64_t turnaround_us)
{
    const int64_t longest = turnaround_us > ft->longest_us ? turnaround_us : ft->longest_us;
    const int64_t w = longest + longest / 4 + 3 * ft->byte_us;
    return w < ft->first_window_us ? w : ft->first_window_us;
}

int fast_exchange(FastTiming *ft, int expect, int cmd_len, const uint8_t *cmd)
{
    if (link_settings.converter_type == CONVERTER_NET) return net_fast(ft, expect, cmd_len, cmd);
    return serial_fast(ft, expect, cmd_len, cmd);
}
