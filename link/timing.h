// Timing rules of the exchange, per converter type and baud index: pure functions that
// both the exchange and its tests use, so that no wait is written twice.
#ifndef VOK_LINK_TIMING_H
#define VOK_LINK_TIMING_H

// Pause before each repeated try of the paced path outside the search (ms).
enum { PACED_TRIES = 5, PACED_TRANSMISSIONS = 2 };
extern const int PacedRetryPause[PACED_TRIES - 1];      // 700, 1000, 1300, 1500
// Pauses before the second and third network cycle outside the search (ms).
enum { NET_CYCLES = 3 };
extern const int NetRetryPause[NET_CYCLES - 1];         // 1500, 2000
enum {
    RETRANSMIT_GAP_MS = 10,   // between the two transmissions of a paced try
    POLL_GAP_MS = 10,         // between queue polls of the polled paths
    ECHO_SETTLE_MS = 200,     // before the echo probe writes
    ECHO_WAIT_MS = 50,        // between the probe's write and its read
    ECHO_READ_MAX = 18,
    RADIO_SEARCH_POST_MS = 40,  // fixed post wait of the radio path during the search
    USER_SEARCH_POST_MS = 60,   // fixed post wait of the user-wait path during the search
};

// The index used to look up the per-speed tables: baud indexes outside 0..4 (possible from a
// hand-edited settings file) are held to the nearest end of the table.
int timing_baud_index(int baud_index);

// First wait W of the paced path in ms.
int paced_first_wait(int converter_type, int baud_index, int searching, int cmd_len, int expect);

// Post wait after the reply start, for byte count T; 0 where the type has none (4, 7, others).
int post_wait(int converter_type, int baud_index, int t);

// Polls per attempt and attempts of the polled paths (types 5, 6, 7).
int polled_polls(int converter_type, int reply_wait_ms);
int polled_attempts(int converter_type, int reply_wait_ms, int searching);

// Wait between send and receive on the network path, for byte count T.
int net_wait(int baud_index, int searching, int t);

// Readability window of net_receive in microseconds.
long long net_receive_window_us(int searching);

#endif
