// The one instance of each program-wide record, and their start values.
#include "app/state.h"

#include <string.h>

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

LinkSettings link_settings;
LinkState link_state;
NetState net_state;
uint8_t RxBuffer[RX_BUFFER_SIZE];
ModuleTable module_table;
ChannelKind channel_kind;
AlarmSettings alarm_settings;
RealTime real_time;
MainWindow main_window;
uint8_t ItuTypeTable[CHANNEL_COUNT][UNITS_PER_CHANNEL];
uint8_t ItuTypeTableAll[UNITS_PER_MODULE];
uint8_t ItuStateByte[UNITS_PER_CHANNEL];

uint32_t default_net_ip(void) {
    static const uint8_t bytes[4] = {192, 168, 1, 100};
    uint32_t ip;
    memcpy(&ip, bytes, 4);
    return ip;
}

void state_reset(void) {
    memset(&link_settings, 0, sizeof link_settings);
    link_settings.com_port = 1;
    link_settings.baud_index = 2;
    link_settings.converter_type = 0;
    link_settings.net_ip = default_net_ip();
    link_settings.net_port = 10001;
    link_settings.net_baud_index = 2;
    link_settings.reply_wait_ms = 50;
    link_settings.new_baud_index = 2;

    memset(&link_state, 0, sizeof link_state);
    link_state.port = SERIAL_INVALID;

    memset(&net_state, 0, sizeof net_state);
    net_state.tcp = SOCK_INVALID;
    net_state.udp = SOCK_INVALID;
    net_state.port_entered = 10001;

    memset(RxBuffer, 0, sizeof RxBuffer);
    memset(&module_table, 0, sizeof module_table);
    memset(&channel_kind, 0, sizeof channel_kind);
    memset(&alarm_settings, 0, sizeof alarm_settings);

    memset(&real_time, 0, sizeof real_time);
    real_time.period_index = 1;
    real_time.max_points = 300;
    real_time.restart = 1;

    memset(&main_window, 0, sizeof main_window);
    memset(ItuTypeTable, 0, sizeof ItuTypeTable);
    memset(ItuTypeTableAll, 0, sizeof ItuTypeTableAll);
    memset(ItuStateByte, 0, sizeof ItuStateByte);
}

// Start values are in place before main() runs.
static const int state_initialised = (state_reset(), 1);
