// What a frame on the bus means, in words for the traffic log: a request by its lead and
// command, a reply by its lead, address and records against the request it answers.
#ifndef VOK_PROTOCOL_FRAME_MEANING_H
#define VOK_PROTOCOL_FRAME_MEANING_H

#include <stdint.h>

enum { TRACE_TX = 0, TRACE_RX = 1 };
enum { TRACE_LINE_MAX = 160 };  // meaning text, without time and bytes

// Pure: the meaning of a request, or of a reply (`bytes`, echo first) to `request`. Writes
// at most `cap` bytes with the terminating zero; returns the text length.
int trace_describe(int direction, const uint8_t *bytes, int len, int echo_len,
                   const uint8_t *request, int request_len, char *out, int cap);

#endif
