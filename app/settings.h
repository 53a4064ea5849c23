// The settings file vokcfg.cfg (16 bytes, little-endian) in the start directory, and the
// channel kinds of the selected module.
#ifndef VOK_APP_SETTINGS_H
#define VOK_APP_SETTINGS_H

#include <stdint.h>

#include "platform/ui.h"

enum { SETTINGS_FILE_SIZE = 16 };
#define SETTINGS_FILE_NAME "vokcfg.cfg"

// Results of settings_load / settings_save.
enum {
    SETTINGS_OK = 0,
    SETTINGS_NO_FILE = -1,   // cannot be opened (load) or created (save)
    SETTINGS_SHORT = -2,     // read or write failed or moved fewer than 16 bytes
};

// Pure: the 16 file bytes of the stored link settings, and back. settings_decode takes
// the seven stored fields into link_settings and nothing else.
void settings_encode(uint8_t out[SETTINGS_FILE_SIZE]);
void settings_decode(const uint8_t in[SETTINGS_FILE_SIZE]);

// Makes start_dir current and reads vokcfg.cfg. Only a full 16-byte read changes state: the
// seven stored fields, and net_state.ip / ip_text / host_text from net_ip.
int settings_load(void);

// The link settings a failed load falls back to: COM1, 9600 baud, converter type 0, 50 ms
// reply wait, no pending speed change. The network converter's address, port and speed keep
// what they hold.
void settings_apply_defaults(void);

// Makes start_dir current and writes vokcfg.cfg. A failed or short write shows
// "write vok cfg err" over `owner` first; a file that cannot be created shows nothing.
int settings_save(UiWindow owner);

// Recomputes channel_kind from the masks of the current module; only models 4562 and 4563
// have channel kinds, for any other model channel_kind stays as it is.
void update_channel_kinds(void);

#endif
