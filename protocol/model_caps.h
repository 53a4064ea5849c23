// What each module model can do and how it is read: the one table the data display, the curve
// view, the numbering, the search, the maintenance dialogs and vokcli consult instead of
// testing model numbers themselves. Pure.
#ifndef VOK_MODEL_CAPS_H
#define VOK_MODEL_CAPS_H

// Layout of the $AA6 channel counts.
enum { COUNTS_PLAIN = 0, COUNTS_RAW_4501, COUNTS_RAW_4103, COUNTS_FROM_3 };

// Readers of a module's units, by the module as a whole (4562/4563 choose per channel).
enum {
    UNITS_BY_TYPE = 0,   // 1-Wire family units; served when the type code is 128-131
    UNITS_FIXED_4500,    // two fixed readings on channel 3, no IDs
    UNITS_DIGITAL_4501,  // 1-Wire reader, digital ITUs besides
    UNITS_ITUS,          // ITU channels (temperature-humidity modules)
    UNITS_BY_KIND,       // per channel: 1-Wire (kind a) or ITU (kind b); all channels at once
};

// The module's own IO dialog.
enum { IO_NONE = 0, IO_DIGITAL_4500, IO_TEST_4501 };

typedef struct ModelCaps {
    int first, last;      // model numbers of the row (both included)
    int units;            // UNITS_*
    int counts;           // COUNTS_*
    int alarm_counts;     // counts 1-7 of $AA6 carry the alarm settings (4101, 4102)
    int alarms;           // alarm thresholds in the module parameters (4101-4103)
    int sensor_channels;  // channels the 1-Wire reader serves (1 on 4101/4102, 3 on 4103)
    int itu_modules;      // the 4103's rules: channels 1-2 hold temperature-humidity ITU modules,
                          // its 1-Wire lead is not relied on, type code 130 with three channels
    int fast_refresh;     // the data display's 0.5 s period
    int fast_curve;       // the curve view's 0.5 s period (and after a number download)
    int humidity;         // the curve view may show humidity on every channel
    int th_itus;          // every channel carries temperature-humidity ITUs (the curve view's reader C,
                          // the ITU dialogs on a double click)
    int curve_dialog;     // the curve parameters dialog opens for the model (besides 128-131)
    int io_dialog;        // IO_*
    int sort_by_model;    // sort numbers of 8 channels are read whatever the type code
    int volts_input;      // the second input of 0x1E/0x26 units is a 0-10 V signal
    int calibration;      // 0x28 units carry calibration offsets (from firmware x2x3/x2x4)
    int short_itu_record; // temperature-humidity ITU records of the 4598 layout
    int th_range;         // a temperature-humidity module (4560-4598): counts in the plain layout
                          // whatever the type code
    int second_counts;    // the parameters show the $AA8 counts from firmware generation 2 (4101)
} ModelCaps;

// The row of `model`; a row of no capabilities for a model the table does not name.
const ModelCaps *model_caps(int model);

// Short names for the rows' unit readers, used wherever a feature branches on them.
int is_456x(int model);       // channels of two kinds (4562, 4563)
int is_itu_model(int model);  // ITU channels throughout (4560, 4598)
int is_4500(int model);       // two fixed readings and its own digital IO
int is_4501(int model);       // digital ITUs and the IO test

// Type codes 128-131: 1-Wire family modules.
int is_family_type(int type_code);

#endif
