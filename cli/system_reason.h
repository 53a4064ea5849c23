// Why the last system call failed, in the system's words, for vokcli's error lines.
#ifndef VOK_CLI_SYSTEM_REASON_H
#define VOK_CLI_SYSTEM_REASON_H

// Forgets the last failure, so that a call that fails without saying why gives "".
void system_reason_clear(void);

// The reason of the last failure into `out` ("" when none is known). On Linux a permission
// error names the dialout group, the usual cause on a serial device.
void system_reason(char *out, int cap);

#endif
