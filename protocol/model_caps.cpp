// The model table.
#include "protocol/model_caps.h"

static const ModelCaps MODELS[] = {
    // first last  units             counts        alarm-counts alarms sensor-channels 4103 fast-refresh
    //   fast-curve humidity th-itus curve-dialog io sort-by-model volts calibration 4598-record
    //   th-range second-counts (the first row naming a model holds)
    {3903, 3903, UNITS_BY_TYPE,      COUNTS_PLAIN,    0, 0, 8, 0, 1, 1, 0, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 0},
    {4101, 4101, UNITS_BY_TYPE,      COUNTS_PLAIN,    1, 1, 1, 0, 0, 0, 0, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 1},
    {4102, 4102, UNITS_BY_TYPE,      COUNTS_PLAIN,    1, 1, 1, 0, 0, 0, 0, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 0},
    {4103, 4103, UNITS_BY_TYPE,      COUNTS_RAW_4103, 0, 1, 3, 1, 0, 0, 0, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 0},
    {4300, 4300, UNITS_BY_TYPE,      COUNTS_PLAIN,    0, 0, 8, 0, 0, 0, 0, 0, 0, IO_NONE,         0, 1, 0, 0, 0, 0},
    {4301, 4301, UNITS_BY_TYPE,      COUNTS_PLAIN,    0, 0, 8, 0, 0, 0, 1, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 0},
    {4303, 4303, UNITS_BY_TYPE,      COUNTS_PLAIN,    0, 0, 8, 0, 1, 1, 1, 0, 0, IO_NONE,         0, 0, 0, 0, 0, 0},
    {4500, 4500, UNITS_FIXED_4500,   COUNTS_FROM_3,   0, 0, 8, 0, 0, 0, 0, 0, 0, IO_DIGITAL_4500, 0, 0, 0, 0, 0, 0},
    {4501, 4501, UNITS_DIGITAL_4501, COUNTS_RAW_4501, 0, 0, 8, 0, 0, 0, 0, 0, 1, IO_TEST_4501,    1, 0, 0, 0, 0, 0},
    {4560, 4560, UNITS_ITUS,         COUNTS_PLAIN,    0, 0, 8, 0, 0, 0, 1, 1, 1, IO_NONE,         1, 0, 0, 0, 1, 0},
    {4562, 4562, UNITS_BY_KIND,      COUNTS_PLAIN,    0, 0, 8, 0, 0, 0, 0, 0, 1, IO_NONE,         1, 1, 0, 0, 1, 0},
    {4563, 4563, UNITS_BY_KIND,      COUNTS_PLAIN,    0, 0, 8, 0, 1, 1, 0, 0, 1, IO_NONE,         1, 1, 1, 0, 1, 0},
    {4598, 4598, UNITS_ITUS,         COUNTS_PLAIN,    0, 0, 8, 0, 1, 0, 0, 0, 0, IO_NONE,         1, 0, 0, 1, 1, 0},
    {4560, 4598, UNITS_BY_TYPE,      COUNTS_PLAIN,    0, 0, 8, 0, 0, 0, 0, 0, 0, IO_NONE,         0, 0, 0, 0, 1, 0},
};

static const ModelCaps OTHER = {0, 0, UNITS_BY_TYPE, COUNTS_PLAIN, 0, 0, 8, 0, 0, 0, 0, 0, 0, IO_NONE, 0, 0, 0, 0, 0, 0};

const ModelCaps *model_caps(int model)
{
    for (const ModelCaps &row : MODELS)
        if (model >= row.first && model <= row.last) return &row;
    return &OTHER;
}

int is_456x(int model) { return model_caps(model)->units == UNITS_BY_KIND; }
int is_itu_model(int model) { return model_caps(model)->units == UNITS_ITUS; }
int is_4500(int model) { return model_caps(model)->units == UNITS_FIXED_4500; }
int is_4501(int model) { return model_caps(model)->units == UNITS_DIGITAL_4501; }

int is_family_type(int type_code) { return type_code >= 128 && type_code <= 131; }
