// bus_exchange: send one request and collect its reply, paced by what the converter between
// host and bus needs. Converters give no end-of-reply signal, so every path waits a computed
// time for the reply start, then for the rest of the reply, then reads once.
#include "link/exchange.h"

#include <string.h>

#include "link/link_state.h"
#include "link/net_link.h"
#include "link/serial_port.h"
#include "link/timing.h"
#include "platform/clock.h"
#include "platform/trace.h"

// The reply has begun once one byte beyond the echo of the request sits in the input queue.
static int reply_start_seen(void) {
    return port_in_queue() >= link_state.echo_len + 1;
}

// Logs what a read into RxBuffer gave (`n` bytes or a negative code) and passes it on.
static int traced_reply(int n, int echo_len) {
    if (n >= 0) trace_frame(TRACE_RX, RxBuffer, n, echo_len);
    else trace_no_reply(n);
    return n;
}

// Reads the reply into RxBuffer with one byte of slack beyond the announced length (the read
// time-out ends it when nothing more comes), never past the end of the buffer.
static int read_reply(int expect) {
    int count = expect + 1;
    if (count > RX_BUFFER_SIZE) count = RX_BUFFER_SIZE;
    if (count < 0) count = 0;
    return traced_reply(port_read(count, RxBuffer), link_state.echo_len);
}

// No reply began on a serial path: the port is cleared and the search's or the usual code
// given back.
static int no_reply_start(void) {
    const int code = link_state.searching ? EXCHANGE_NO_REPLY_SEARCH : EXCHANGE_NO_REPLY;
    port_discard();
    trace_no_reply(code);
    return code;
}

static int transmit(int cmd_len, const uint8_t *cmd) {
    port_discard();
    const int n = port_write(cmd, cmd_len);
    trace_frame(TRACE_TX, cmd, n > 0 ? n : 0, 0);
    return n;
}

// One try of the paced path: up to two transmissions, each followed by the first wait.
static int paced_try(int wait, int cmd_len, const uint8_t *cmd) {
    for (int k = 0; k < PACED_TRANSMISSIONS; ++k) {
        if (k > 0) sleep_ms(RETRANSMIT_GAP_MS);
        transmit(cmd_len, cmd);
        sleep_ms(wait);
        if (reply_start_seen()) return 1;
    }
    return 0;
}

static int paced_path(int expect, int cmd_len, const uint8_t *cmd) {
    const int type = link_settings.converter_type;
    const int searching = link_state.searching;
    const int wait = paced_first_wait(type, link_settings.baud_index, searching, cmd_len, expect);
    int ok = paced_try(wait, cmd_len, cmd);
    if (!searching) {
        for (int r = 0; !ok && r < PACED_TRIES - 1; ++r) {
            port_discard();
            sleep_ms(PacedRetryPause[r]);
            ok = paced_try(wait, cmd_len, cmd);
        }
    }
    if (!ok) return no_reply_start();
    const int t = cmd_len + expect + (searching ? 0 : 1);
    sleep_ms(post_wait(type, link_settings.baud_index, t));
    return read_reply(expect);
}

// Radio converters and the user-wait converter: poll the input queue every 10 ms.
static int polled_path(int expect, int cmd_len, const uint8_t *cmd) {
    const int type = link_settings.converter_type;
    const int searching = link_state.searching;
    const int polls = polled_polls(type, link_settings.reply_wait_ms);
    const int attempts = polled_attempts(type, link_settings.reply_wait_ms, searching);
    port_discard();
    int ok = 0;
    for (int a = 0; !ok && a < attempts; ++a) {
        transmit(cmd_len, cmd);
        sleep_ms(POLL_GAP_MS);
        for (int p = 0; p < polls; ++p) {
            if (reply_start_seen()) {
                ok = 1;
                break;
            }
            sleep_ms(POLL_GAP_MS);
        }
    }
    if (!ok) return no_reply_start();
    if (type == CONVERTER_S_WAIT) {
        if (searching) sleep_ms(USER_SEARCH_POST_MS);
    } else if (searching) {
        sleep_ms(RADIO_SEARCH_POST_MS);
    } else {
        sleep_ms(post_wait(type, link_settings.baud_index, cmd_len + expect + 1));
    }
    return read_reply(expect);
}

static int net_cycle(int expect, int cmd_len, const uint8_t *cmd) {
    const int sent = net_send(cmd_len, cmd);
    if (sent != 0) {
        trace_no_reply(sent);
        return sent;
    }
    trace_frame(TRACE_TX, cmd, cmd_len, 0);
    sleep_ms(net_wait(link_settings.baud_index, link_state.searching, cmd_len + expect));
    return traced_reply(net_receive(expect), 0);
}

static int net_path(int expect, int cmd_len, const uint8_t *cmd) {
    int r = net_cycle(expect, cmd_len, cmd);
    if (link_state.searching) return r;
    for (int k = 0; r < 0 && k < NET_CYCLES - 1; ++k) {
        sleep_ms(NetRetryPause[k]);
        r = net_cycle(expect, cmd_len, cmd);
    }
    return r;
}

int bus_exchange(int expect, int cmd_len, const uint8_t *cmd) {
    switch (link_settings.converter_type) {
    case CONVERTER_NET:
        return net_path(expect, cmd_len, cmd);
    case CONVERTER_RF_NORM:
    case CONVERTER_RF_SLOW:
    case CONVERTER_S_WAIT:
        return polled_path(expect, cmd_len, cmd);
    default:
        return paced_path(expect, cmd_len, cmd);
    }
}

int probe_echo(void) {
    static const uint8_t probe[3] = {'A', 'B', 'C'};
    sleep_ms(ECHO_SETTLE_MS);
    port_discard();
    port_write(probe, sizeof probe);
    sleep_ms(ECHO_WAIT_MS);
    const int n = port_read(ECHO_READ_MAX, RxBuffer);
    link_state.echo_on = n > 2 && memcmp(RxBuffer, probe, sizeof probe) == 0;
    link_state.echo_len = link_state.echo_on ? 5 : 0;
    port_discard();
    return 0;
}
