// vokmon's program-wide records: the link's (from link/), the module table, channel kinds,
// the real-time view, the main window and the fixed tables.
//
// Naming: each record type is spelled as the rest of the program names it (LinkSettings,
// ModuleTable, ...); its one instance is the same name in lower case with underscores
// (link_settings, module_table, ...). Plain tables keep their capitalised names as the
// arrays themselves (BaudTable, RxBuffer, ItuTypeTable, ...). Every record exists once,
// lives for the whole run and is defined with its start value in app/state.cpp (the link's
// in link/link_state.cpp).
#ifndef VOK_APP_STATE_H
#define VOK_APP_STATE_H

#include <stdint.h>

#include "link/link_state.h"
#include "platform/ui.h"

// Fixed capacities.
enum {
    MODULE_MAX = 64,          // modules in ModuleTable
    CHANNEL_COUNT = 8,        // CH0..CH7
    UNITS_PER_CHANNEL = 64,   // bus units (sensors, ITUs) per channel
    UNITS_PER_MODULE = 512,   // units when all channels are read together
    NET_CONVERTER_MAX = 8,    // network converters kept by the discovery
    START_DIR_MAX = 290,      // characters of MainWindow.start_dir
    REFRESH_PERIOD_COUNT = 7,
    NUMBER_LINE_MAX = 64,     // bytes of a stored ID-list line (UTF-8) with its zero
};

// ---- Fixed tables -------------------------------------------------------------------

// Model number shown in the title per converter type 0..7.
extern const int ConverterModelTable[CONVERTER_TYPE_COUNT];
// List texts of the converter types 0..7, in the order the settings dialog lists them.
extern const char *const ConverterTextTable[CONVERTER_TYPE_COUNT];
// Real-time view refresh periods in ms: 500, 1500, 3000, 5000, 10000, 20000, 60000.
extern const int RefreshPeriodTable[REFRESH_PERIOD_COUNT];
// Entry n (n < 8) selects bit n; entry 8 + n is its complement and clears it.
extern const uint8_t BitMask[16];
// Window class name and fixed front part of the window title.
extern const char AppTitle[];

// ---- Modules ---------------------------------------------------------------------------

typedef struct Module {
    uint8_t address;          // bus address
    int type_code;            // TT of the configuration reply; 128..131 form one family
    int data_format;          // FF of the configuration reply
    char name[8];             // 7 characters + zero
    int model;                // four-digit model from the name; 3900 when outside 3900..4900
    char firmware[8];         // 5 characters + zero
    uint8_t mode;             // 0 search, 1 storage, 238 normal
    uint8_t fault_state;      // 0 or 0x80: no channel problem
    uint8_t chan_error;       // nonzero: some channel has a wiring error
    uint8_t chan_warning;     // nonzero: some channel has duplicate sort numbers
    uint8_t chan_mask_a;      // channel kind masks of models 4562/4563, bit n = channel n
    uint8_t chan_mask_b;
    uint8_t chan_state;       // bit n set: channel n in use
    uint8_t itu_count[CHANNEL_COUNT];
    int itu_total;
    uint8_t itu_count_b[CHANNEL_COUNT];  // second row of counts (model 4501)
    int itu_total_b;
    uint8_t chan_state2;      // second generation model 4101
    uint8_t itu_count2[CHANNEL_COUNT];
    // ID bytes 1 and 2 of each ITU by channel and position (models 4562/4563). Sized for a
    // full channel so that no unit count from a reply can write past the row.
    uint8_t itu_id1[CHANNEL_COUNT][UNITS_PER_CHANNEL];
    uint8_t itu_id2[CHANNEL_COUNT][UNITS_PER_CHANNEL];
    uint8_t sort_no[CHANNEL_COUNT][UNITS_PER_CHANNEL];
    uint8_t sort_valid;       // 1 once the sort numbers were read
} Module;

typedef struct ModuleTable {
    int count;                // modules found, 0..64
    int current;              // selected module
    int scan_pos;             // bus address being probed by the search, 0..255
    int stale;                // 1 after a module's configuration was rewritten
    int ready;                // 1 once a search found at least one module
    Module module[MODULE_MAX];
} ModuleTable;

// Channel kinds of the selected module (models 4562/4563); index 8 = all channels, always 0.
typedef struct ChannelKind {
    int a[CHANNEL_COUNT + 1];
    int b[CHANNEL_COUNT + 1];
    int current_channel;      // channel shown in the data display, 0..8 (8 = all)
} ChannelKind;

// Alarm thresholds read from the last module of model 4101, 4102 or 4103.
typedef struct AlarmSettings {
    int8_t temp_high;
    int8_t temp_low;
    int8_t temp_hysteresis;
    int8_t humidity_high;
    int8_t humidity_low;
    int8_t humidity_hysteresis;
    uint8_t temp_enable[4];       // one bit per ITU 0..31 of the temperature channel
    uint8_t humidity_enable[2];   // one bit per ITU 0..7 of CH1 and of CH2
} AlarmSettings;

// ---- Views and window ------------------------------------------------------------------

typedef struct RealTime {
    int active;               // 1 while the curve view replaces the module grid
    int buttons_shown;        // 1 while its four push buttons exist
    int period_index;         // into RefreshPeriodTable, start 1
    int max_points;           // samples until the refresh timer stops, start 300
    int points;               // samples since the last start
    int channel;              // channel whose curve is drawn
    int module;               // module whose curve is drawn
    int restart;              // 1: restart the curve from its first sample; start 1
    // Curve settings (memory only, set by the curve parameter dialogs) and drawing state.
    float temp_low;           // bottom / top of the plot in temperature mode, start 15.0 / 35.0 C
    float temp_high;
    float hum_low;            // bottom / top in humidity mode, start 5.0 / 95.0 %RH
    float hum_high;
    int curve_itu[4];         // per curve slot: ITU position on the curve channel, -1 = empty
                              // (model 4500: the value numbers 0 and 1)
    int show_temperature;     // 1 temperature curves, 0 humidity curves; start 1
    int min_period_index;     // lowest period_index the curve dialog allows; start 1
    int prev_y[4];            // y of each curve's last drawn point
    int cur_y[4];             // y of each curve's newest point
    float held_temp[4];       // each curve's last plotted temperature, reused for a rejected
                              // glitch reading of that curve
} RealTime;

typedef struct MainWindow {
    UiWindow hwnd;            // the main window
    void *menu;               // its menu, as the ui backend hands it out (opaque here)
    void *instance;           // the program instance (opaque here)
    char start_dir[START_DIR_MAX + 1];  // current directory at start-up; vokcfg.cfg lives there
} MainWindow;

// ---- Sensor numbering -------------------------------------------------------------------

// Work area of the numbering of the channel shown in the data display (64 units).
typedef struct Numbering {
    uint8_t changed[UNITS_PER_CHANNEL];     // 1: the unit got a new number in this dialog
    uint8_t old_number[UNITS_PER_CHANNEL];  // sort number as the ID list showed it
    uint8_t new_number[UNITS_PER_CHANNEL];  // number to download; old_number until changed
    char line_store[UNITS_PER_CHANNEL][NUMBER_LINE_MAX];  // ID-list line as first built
    char line_buffer[NUMBER_LINE_MAX + 8];  // a stored line with its "--NN" suffix
} Numbering;

// ---- The instances ----------------------------------------------------------------------

extern ModuleTable module_table;
extern ChannelKind channel_kind;
extern AlarmSettings alarm_settings;
extern RealTime real_time;
extern MainWindow main_window;
extern Numbering numbering;

// Unit type codes and output bytes of the current module (filled by the enumeration).
extern uint8_t ItuTypeTable[CHANNEL_COUNT][UNITS_PER_CHANNEL];
extern uint8_t ItuTypeTableAll[UNITS_PER_MODULE];
extern uint8_t ItuStateByte[UNITS_PER_CHANNEL];

// Puts every record above, and the link's, back to its start value (program start; tests).
void state_reset(void);

// The module under the table's cursor; module 0 while the cursor is out of range (a dialog
// may open before any search has filled the table).
Module &current_module(void);

#endif
