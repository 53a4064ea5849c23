// The one instance of each program-wide record, and their start values.
#include "app/state.h"

#include <string.h>

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

// Start values: constant-initialised, so they hold before any other initialiser runs.
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
static constexpr RealTime kRealTimeStart = start_real_time();

ModuleTable module_table;
ChannelKind channel_kind;
AlarmSettings alarm_settings;
RealTime real_time = kRealTimeStart;
MainWindow main_window;
Numbering numbering;
uint8_t ItuTypeTable[CHANNEL_COUNT][UNITS_PER_CHANNEL];
uint8_t ItuTypeTableAll[UNITS_PER_MODULE];
uint8_t ItuStateByte[UNITS_PER_CHANNEL];

void state_reset(void) {
    link_state_reset();
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
