// Decoded traffic log: one line per frame on the bus link (time, direction, raw bytes and
// what the frame means), for a technician to send to whoever supports the plant. Off until
// a file is opened, by trace_open or by the environment variable VOK_TRACE. Shared by the
// program's link and the driver library.
#ifndef VOK_PLATFORM_TRACE_H
#define VOK_PLATFORM_TRACE_H

#include <stdint.h>

#include "protocol/frame_meaning.h"

#define TRACE_ENV "VOK_TRACE"

// Appends the log to `path` (created when missing). 0 on success, -1 when it cannot be opened.
int trace_open(const char *path);
// Ends the log (also the one named by VOK_TRACE). Safe when none is open.
void trace_close(void);
// 1 while a log is open. The first call opens the file named by VOK_TRACE, when set.
int trace_on(void);

// Logs one frame: a request sent (TRACE_TX) or the bytes received for it (TRACE_RX, the
// converter's echo of `echo_len` bytes first). A reply is explained against the last request.
void trace_frame(int direction, const uint8_t *bytes, int len, int echo_len);
// Logs an exchange that ended without a usable reply, with the link's negative result.
void trace_no_reply(int code);

#endif
