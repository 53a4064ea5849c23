// What the terminal makes of a raw request and its reply, without the dialog; shared by the
// terminal dialog and vokcli's raw command.
#ifndef VOK_MAINTENANCE_TERMINAL_REPLY_H
#define VOK_MAINTENANCE_TERMINAL_REPLY_H

#include <stdint.h>

// Frame length of a typed request (its CR is put at the last position) by lead and the
// model of the addressed module (0 when it is not in the module table).
int terminal_frame_length(char lead, int model);
// Reply bytes to ask for: a network converter hands a long data reply over only when it is
// asked for its full length.
int terminal_reply_length(const char *command);
// Characters of the reply shown for a request, by its lead and its fourth character.
int terminal_display_length(char lead, char fourth);
// Builds the answer text for `command` from the reply at rx[o...] (rx holds at least o + 30
// bytes). `current_4500`: the selected module is model 4500. Returns the text length; the
// text stops at a zero byte of the reply, as a C string built from it would.
int terminal_answer(const uint8_t *rx, int o, const char *command, int current_4500, char *out, int cap);

#endif
