// Sensor list file "model%02d.txt": the position, sort number and 64-bit ID of every unit of
// the current module, channel by channel, with the IDs read fresh from the module.
#ifndef VOK_DISPLAY_SENSOR_LIST_FILE_H
#define VOK_DISPLAY_SENSOR_LIST_FILE_H

#include <stdint.h>

#include "link/request.h"
#include "platform/ui.h"

enum {
    SENSOR_LIST_LINE_LEN = 34,   // "03(12)->" + 8 x "XX " + CR LF, with two-digit numbers
    SENSOR_LIST_LINE_MAX = 48,   // room for three-digit positions and sort numbers
    SENSOR_LIST_HEAD_MAX = 48,
};

// Results of read_channel_ids.
enum {
    CHANNEL_IDS_READ = 0,        // the IDs are in the reply from position 5, 8 bytes a unit
    CHANNEL_IDS_NONE = 2,        // the channel has no units; nothing was sent
    CHANNEL_IDS_NO_ANSWER = 3,   // the exchange failed
    CHANNEL_IDS_BAD_REPLY = 4,   // a reply came but is not a complete data reply of this module
};

// Channel head: CR LF, then " Model addr:%02dH, ch:%d, num:%d" (no line end). Returns its
// length.
int sensor_list_head(char *out, int cap, int address, int channel, int count);
// One unit line: position, sort number ("--" when sort_no < 0), the eight ID bytes, or
// "-- " eight times when id is null (ID not read), CR LF. Returns its length.
int sensor_list_line(char *out, int cap, int i, int sort_no, const uint8_t *id);

// Sends &AAc for channel c of the current module and checks the reply (into `reply`); on a
// failure shows the module message (owner `window`) and purges the link. One of CHANNEL_IDS_*.
int read_channel_ids(int c, UiWindow window, ModuleReply *reply);
// Writes "model%02d.txt" (address in decimal) in the current directory for type codes 128,
// 131, 134 (CH0-CH7) and 130 (CH0). 0 done (also when the file could not be created),
// 1 no export for this type code, -1 a head or separator write failed, -2 a line write
// failed. Every failure is shown to the user in a message box owned by `window`.
int export_sensor_list(UiWindow window);

#endif
