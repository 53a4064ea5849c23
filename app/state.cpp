// The one instance of each program-wide record, and their start values.
#include "app/state.h"

#include <string.h>

#include <bit>

const int BaudTable[BAUD_COUNT] = {2400, 4800, 9600, 19200, 38400};
const int ConverterModelTable[CONVERTER_TYPE_COUNT] = {4420, 4440, 4450, 4430,
                                                      4450, 4491, 4492, 4400};
const char *const ConverterTextTable[CONVERTER_TYPE_COUNT] = {
    "VOK4420(232<->485)", "VOK4440(USB<->485)", "VOK4450(COM<->485)",
    "VOK4430(232<->PLM)", "VOK4450(NET<->485)", "RF-NORM(232<->RFM)",
    "RF-SLOW(232<->RFM)", "VOK44XX( S-WAIT... )",
};
const int RefreshPeriodTable[REFRESH_PERIOD_COUNT] = {500, 1500, 3000, 5000,
                                                      10000, 20000, 60000};
const uint8_t BitMask[16] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80,
                             0xFE, 0xFD, 0xFB, 0xF7, 0xEF, 0xDF, 0xBF, 0x7F};
const char AppTitle[] = "VOK3900 WIN9x/XP  V2.95  2016.11.25";

// 192.168.1.100 with its bytes in network order, whatever the host's byte order.
static constexpr uint32_t kDefaultNetIp =
    std::endian::native == std::endian::little ? 0x6401A8C0u : 0xC0A80164u;

// Start values: constant-initialised, so they hold before any other initialiser runs.
static constexpr LinkSettings start_link_settings() {
    LinkSettings s{};
    s.com_port = 1;
    s.baud_index = 2;
    s.converter_type = 0;
    s.net_ip = kDefaultNetIp;
    s.net_port = 10001;
    s.net_baud_index = 2;
    s.reply_wait_ms = 50;
    s.new_baud_index = 2;
    return s;
}
static constexpr LinkState start_link_state() {
    LinkState s{};
    s.port = SERIAL_INVALID;
    return s;
}
static constexpr NetState start_net_state() {
    NetState s{};
    s.tcp = SOCK_INVALID;
    s.udp = SOCK_INVALID;
    s.port_entered = 10001;
    return s;
}
static constexpr RealTime start_real_time() {
    RealTime s{};
    s.period_index = 1;
    s.max_points = 300;
    s.restart = 1;
    s.temp_low = 15.0f;
    s.temp_high = 35.0f;
    s.hum_low = 5.0f;
    s.hum_high = 95.0f;
    for (int &slot : s.curve_itu) slot = -1;
    s.show_temperature = 1;
    s.min_period_index = 1;
    return s;
}
static constexpr LinkSettings kLinkSettingsStart = start_link_settings();
static constexpr LinkState kLinkStateStart = start_link_state();
static constexpr NetState kNetStateStart = start_net_state();
static constexpr RealTime kRealTimeStart = start_real_time();

LinkSettings link_settings = kLinkSettingsStart;
LinkState link_state = kLinkStateStart;
NetState net_state = kNetStateStart;
uint8_t RxBuffer[RX_BUFFER_SIZE];
ModuleTable module_table;
ChannelKind channel_kind;
AlarmSettings alarm_settings;
RealTime real_time = kRealTimeStart;
MainWindow main_window;
Numbering numbering;
uint8_t ItuTypeTable[CHANNEL_COUNT][UNITS_PER_CHANNEL];
uint8_t ItuTypeTableAll[UNITS_PER_MODULE];
uint8_t ItuStateByte[UNITS_PER_CHANNEL];

uint32_t default_net_ip(void) { return kDefaultNetIp; }

void state_reset(void) {
    link_settings = kLinkSettingsStart;
    link_state = kLinkStateStart;
    net_state = kNetStateStart;
    memset(RxBuffer, 0, sizeof RxBuffer);
    memset(&module_table, 0, sizeof module_table);
    memset(&channel_kind, 0, sizeof channel_kind);
    memset(&alarm_settings, 0, sizeof alarm_settings);
    real_time = kRealTimeStart;
    memset(&main_window, 0, sizeof main_window);
    memset(ItuTypeTable, 0, sizeof ItuTypeTable);
    memset(ItuTypeTableAll, 0, sizeof ItuTypeTableAll);
    memset(ItuStateByte, 0, sizeof ItuStateByte);
    memset(&numbering, 0, sizeof numbering);
}

Module &current_module(void) {
    int cur = module_table.current;
    if (cur < 0 || cur >= MODULE_MAX) cur = 0;
    return module_table.module[cur];
}
