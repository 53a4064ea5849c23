// The one instance of each link record, their start values, and the change handler.
#include "link/link_state.h"

#include <string.h>

#include <bit>

const int BaudTable[BAUD_COUNT] = {2400, 4800, 9600, 19200, 38400};

// 192.168.1.100 with its bytes in network order, whatever the host's byte order.
static constexpr uint32_t kDefaultNetIp =
    std::endian::native == std::endian::little ? 0x6401A8C0u : 0xC0A80164u;

// Start values: constant-initialised, so they hold before any other initialiser runs.
static constexpr LinkSettings kLinkSettingsStart = {.com_port = 1, .baud_index = 2, .converter_type = 0,
    .net_ip = kDefaultNetIp, .net_port = 10001, .net_baud_index = 2, .reply_wait_ms = 50, .new_baud_index = 2};
static constexpr LinkState kLinkStateStart = [] {
    LinkState s{};
    s.port = SERIAL_INVALID;
    return s;
}();
static constexpr NetState kNetStateStart = [] {
    NetState s{};
    s.tcp = s.udp = SOCK_INVALID;
    s.port_entered = 10001;
    return s;
}();

LinkSettings link_settings = kLinkSettingsStart;
LinkState link_state = kLinkStateStart;
NetState net_state = kNetStateStart;
uint8_t RxBuffer[RX_BUFFER_SIZE];

static void (*change_handler)(int opened);

uint32_t default_net_ip(void) { return kDefaultNetIp; }

void link_state_reset(void) {
    link_settings = kLinkSettingsStart;
    link_state = kLinkStateStart;
    net_state = kNetStateStart;
    memset(RxBuffer, 0, sizeof RxBuffer);
}

void link_set_change_handler(void (*fn)(int opened)) { change_handler = fn; }

void link_changed(int opened) {
    if (change_handler) change_handler(opened);
}
