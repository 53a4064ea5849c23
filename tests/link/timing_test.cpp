// Timing rules: first waits, post waits, polls and network waits, against hand-computed values.
#include <gtest/gtest.h>

#include "app/state.h"
#include "link/timing.h"

namespace {

enum { B2400, B4800, B9600, B19200, B38400 };

TEST(PacedFirstWait, OutsideTheSearch) {
    // 9600 baud, 5-byte request, 10-byte reply.
    EXPECT_EQ(paced_first_wait(0, B9600, 0, 5, 10), 70);
    EXPECT_EQ(paced_first_wait(1, B9600, 0, 5, 10), 90);
    EXPECT_EQ(paced_first_wait(2, B9600, 0, 5, 10), 90);
    EXPECT_EQ(paced_first_wait(3, B9600, 0, 5, 10), 180);
    // Long request at 2400: base 9 + 12.
    EXPECT_EQ(paced_first_wait(0, B2400, 0, 12, 4), 210);
    // Single-precision 1.2 tips the power-line converter over: 14, not 13.
    EXPECT_EQ(paced_first_wait(3, B9600, 0, 15, 5), (7 + 11 + 14) * 10);
    // COM-side 485 at 2400 uses integer division: 5 * 23 / 10 = 11.
    EXPECT_EQ(paced_first_wait(2, B2400, 0, 8, 15), (9 + 14 + 11) * 10);
    // 4800 with 2.5: ceil(15 * 2.5 / 10) = 4.
    EXPECT_EQ(paced_first_wait(2, B4800, 0, 5, 10), (8 + 4) * 10);
    // Power line at 2400: ((5 + 20) * 5 + 75) / 10 = 20 exactly.
    EXPECT_EQ(paced_first_wait(3, B2400, 0, 5, 10), (9 + 20) * 10);
    // USB at 38400 with a long request: 6 + 1 + 4.
    EXPECT_EQ(paced_first_wait(1, B38400, 0, 7, 3), 110);
    // Types outside 0..3 on the paced path: the base only.
    EXPECT_EQ(paced_first_wait(9, B19200, 0, 12, 100), 60);
}

TEST(PacedFirstWait, DuringTheSearchNoLengthTerms) {
    EXPECT_EQ(paced_first_wait(0, B9600, 1, 12, 100), 70);
    EXPECT_EQ(paced_first_wait(1, B2400, 1, 5, 10), 190);
    EXPECT_EQ(paced_first_wait(2, B4800, 1, 5, 10), 120);
    EXPECT_EQ(paced_first_wait(3, B38400, 1, 5, 10), 160);
}

TEST(PostWait, ByTypeAndSpeed) {
    EXPECT_EQ(post_wait(0, B9600, 16), 89);
    EXPECT_EQ(post_wait(1, B9600, 16), 89);
    EXPECT_EQ(post_wait(2, B9600, 16), 120);
    EXPECT_EQ(post_wait(3, B2400, 99), 200);
    EXPECT_EQ(post_wait(0, B2400, 17), 205);
    EXPECT_EQ(post_wait(1, B2400, 17), 225);
    EXPECT_EQ(post_wait(0, B4800, 7), 107);   // trunc(107.5)
    EXPECT_EQ(post_wait(0, B19200, 10), 67);  // double 0.7 * 10 is 7.0, not 6.99...
    EXPECT_EQ(post_wait(5, B9600, 16), 100);  // trunc(100.8)
    EXPECT_EQ(post_wait(6, B19200, 16), 166);
    EXPECT_EQ(post_wait(6, B2400, 16), 583);  // trunc(583.2)
    EXPECT_EQ(post_wait(6, B38400, 11), 107); // trunc(107.7)
    for (int i = B2400; i <= B38400; ++i) {
        EXPECT_EQ(post_wait(4, i, 50), 0);
        EXPECT_EQ(post_wait(7, i, 50), 0);
    }
}

TEST(Polled, PollsAndAttempts) {
    EXPECT_EQ(polled_polls(5, 0), 25);
    EXPECT_EQ(polled_polls(6, 0), 80);
    EXPECT_EQ(polled_attempts(5, 0, 0), 4);
    EXPECT_EQ(polled_attempts(6, 0, 1), 2);
    EXPECT_EQ(polled_polls(7, 1200), 121);
    EXPECT_EQ(polled_attempts(7, 1200, 0), 1);
    EXPECT_EQ(polled_attempts(7, 1200, 1), 1);
    EXPECT_EQ(polled_polls(7, 1000), 101);
    EXPECT_EQ(polled_attempts(7, 1000, 0), 3);
    EXPECT_EQ(polled_attempts(7, 1000, 1), 2);
    EXPECT_EQ(polled_polls(7, 55), 6);
}

TEST(NetWait, OutsideAndDuringTheSearch) {
    EXPECT_EQ(net_wait(B9600, 0, 15), 97);
    EXPECT_EQ(net_wait(B2400, 0, 15), 275);
    EXPECT_EQ(net_wait(B4800, 0, 10), 183);
    EXPECT_EQ(net_wait(B19200, 0, 15), 72);
    EXPECT_EQ(net_wait(B38400, 0, 10), 56);
    // 1.1 * 330 + 80 is 443.00000000000006 in double; single precision makes it 443.
    EXPECT_EQ(net_wait(B9600, 0, 330), 443);
    const int search[] = {200, 120, 80, 60, 50};
    for (int i = B2400; i <= B38400; ++i) EXPECT_EQ(net_wait(i, 1, 500), search[i]);
    EXPECT_EQ(net_receive_window_us(0), 1060000);
    EXPECT_EQ(net_receive_window_us(1), 60000);
}

TEST(TimingTables, BaudIndexOutsideTheTableIsHeld) {
    EXPECT_EQ(net_wait(7, 1, 0), 50);
    EXPECT_EQ(net_wait(-1, 1, 0), 200);
    EXPECT_EQ(paced_first_wait(0, 5, 0, 5, 10), 60);
}

}  // namespace
