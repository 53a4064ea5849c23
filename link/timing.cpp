// Per-converter, per-speed waits of the exchange. Fractions are computed in double and
// truncated or rounded up where the converter's timing calls for it.
#include "link/timing.h"

#include <math.h>

#include "link/link_state.h"

const int PacedRetryPause[PACED_TRIES - 1] = {700, 1000, 1300, 1500};
const int NetRetryPause[NET_CYCLES - 1] = {1500, 2000};

// Some converters were tuned with single-precision factors; keep those values exactly.
static const double F12 = (double)1.2f;
static const double F07 = (double)0.7f;
static const double F04 = (double)0.4f;

// First wait, in units of 10 ms, per baud index.
static const int BaseUnits[BAUD_COUNT] = {9, 8, 7, 6, 6};
static const int UsbUnits[BAUD_COUNT] = {10, 4, 2, 2, 1};
static const int SearchCom485Units[BAUD_COUNT] = {5, 4, 2, 1, 1};
static const int SearchPlmUnits[BAUD_COUNT] = {20, 16, 14, 12, 10};
static const int LongCmdRs232Units[BAUD_COUNT] = {12, 9, 6, 5, 4};   // types 0, 1
static const int LongCmdCom485Units[BAUD_COUNT] = {14, 12, 11, 10, 9};  // types 2, 3
static const double Com485Factor[BAUD_COUNT] = {0.0, 2.5, 1.2, 0.7, 0.4};  // [0] unused
static const double PlmFactor[BAUD_COUNT] = {5.0, 2.5, F12, F07, F04};

// Post waits: trunc(k * T + c) per type and baud index; k = 0 gives the fixed wait c.
typedef struct Linear {
    double k;
    double c;
} Linear;
static const Linear PostWait[CONVERTER_TYPE_COUNT][BAUD_COUNT] = {
    /* 0 */ {{5, 120}, {2.5, 90}, {1.2, 70}, {0.7, 60}, {0.4, 50}},
    /* 1 */ {{5, 140}, {2.5, 100}, {1.2, 70}, {0.7, 60}, {0.4, 50}},
    /* 2 */ {{0, 200}, {0, 150}, {0, 120}, {0, 100}, {0, 80}},
    /* 3 */ {{0, 200}, {0, 150}, {0, 120}, {0, 100}, {0, 80}},
    /* 4 */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 5 */ {{5, 140}, {2.5, 100}, {1.3, 80}, {0.8, 60}, {0.5, 50}},
    /* 6 */ {{5.2, 500}, {2.8, 300}, {1.6, 200}, {1, 150}, {0.7, 100}},
    /* 7 */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}},
};

// Network converter: wait k * T + c, rounded to single precision, then up to whole ms.
static const Linear NetWait[BAUD_COUNT] = {{5, 200}, {2.3, 160}, {1.1, 80}, {0.8, 60}, {0.6, 50}};
static const int NetSearchWait[BAUD_COUNT] = {200, 120, 80, 60, 50};

enum { RADIO_NORM_POLLS = 25, RADIO_SLOW_POLLS = 80 };

int timing_baud_index(int baud_index) {
    if (baud_index < 0) return 0;
    if (baud_index >= BAUD_COUNT) return BAUD_COUNT - 1;
    return baud_index;
}

int paced_first_wait(int type, int baud_index, int searching, int cmd_len, int expect) {
    const int i = timing_baud_index(baud_index);
    int e = BaseUnits[i];
    if (type == CONVERTER_USB) e += UsbUnits[i];
    if (searching) {
        if (type == CONVERTER_COM485) e += SearchCom485Units[i];
        if (type == CONVERTER_PLM) e += SearchPlmUnits[i];
    } else {
        if (cmd_len > 5) {
            if (type == CONVERTER_232 || type == CONVERTER_USB) e += LongCmdRs232Units[i];
            if (type == CONVERTER_COM485 || type == CONVERTER_PLM) e += LongCmdCom485Units[i];
        }
        if (type == CONVERTER_COM485) {
            const int t = cmd_len + expect;
            if (i == 0)
                e += 5 * t / 10;
            else
                e += (int)ceil(t * Com485Factor[i] / 10.0);
        }
        if (type == CONVERTER_PLM) {
            const double sum = (cmd_len + 2 * expect) * PlmFactor[i] + 5.0 * (cmd_len + expect);
            e += (int)ceil(sum / 10.0);
        }
    }
    return 10 * e;
}

int post_wait(int type, int baud_index, int t) {
    if (type < 0 || type >= CONVERTER_TYPE_COUNT) return 0;
    const Linear w = PostWait[type][timing_baud_index(baud_index)];
    return (int)trunc(w.k * t + w.c);
}

int polled_polls(int type, int reply_wait_ms) {
    if (type == CONVERTER_RF_SLOW) return RADIO_SLOW_POLLS;
    if (type == CONVERTER_RF_NORM) return RADIO_NORM_POLLS;
    return reply_wait_ms / 10 + 1;
}

int polled_attempts(int type, int reply_wait_ms, int searching) {
    if (type == CONVERTER_RF_NORM || type == CONVERTER_RF_SLOW) return searching ? 2 : 4;
    if (reply_wait_ms > 1000) return 1;  // a long user wait is already patient enough
    return searching ? 2 : 3;
}

int net_wait(int baud_index, int searching, int t) {
    const int i = timing_baud_index(baud_index);
    if (searching) return NetSearchWait[i];
    const float w = (float)(NetWait[i].k * t + NetWait[i].c);
    return (int)ceil((double)w);
}

long long net_receive_window_us(int searching) {
    return searching ? 60000LL : 1060000LL;
}
