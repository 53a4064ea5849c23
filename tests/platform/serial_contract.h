// What every serial backend (fake, POSIX, Win32) does alike where the product can tell: the
// checks are written once against the seam and run by each backend's own test program,
// with a far end of the line that program provides.
#ifndef VOK_TESTS_PLATFORM_SERIAL_CONTRACT_H
#define VOK_TESTS_PLATFORM_SERIAL_CONTRACT_H

#include <stdint.h>

// The far end of the port under test. Each call returns 1 when done, 0 when it could not be.
struct SerialPeer {
    const char *port;  // the name serial_open takes
    // Sends bytes towards the port.
    int (*send)(const uint8_t *bytes, int n);
    // Closes the far end (a pty master closed, a converter's line detached).
    int (*hang_up)(void);
    // Takes the device itself away: its path is gone (a USB adapter pulled out).
    int (*remove)(void);
};

// Runs every check in order (hang-up and removal last), prints one line per check and a
// closing "N passed, N failed" line; returns the number failed. The peer is gone after it.
int serial_contract_run(const SerialPeer *peer);

#endif
