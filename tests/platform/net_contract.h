// What every net backend (fake, POSIX, Win32) does alike where the product can tell: the
// checks are written once against the seam and run by each backend's own test program.
#ifndef VOK_TESTS_PLATFORM_NET_CONTRACT_H
#define VOK_TESTS_PLATFORM_NET_CONTRACT_H

// Runs every check on loopback, prints one line per check and a closing
// "N passed, N failed" line; returns the number failed. sock_startup must have run.
int net_contract_run(void);

#endif
