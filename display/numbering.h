// Sensor numbering in the data display: new numbers by hand, the automatic sort that numbers
// units in the order they cross a critical temperature, and the download of the numbers.
#ifndef VOK_DISPLAY_NUMBERING_H
#define VOK_DISPLAY_NUMBERING_H

#include <stdint.h>

#include "app/state.h"
#include "platform/ui.h"

enum {
    NUMBER_MAX = 64,            // highest number "新编号:" accepts
    SORT_WRITE_LEN = 7,         // /AAcxy + CR
    SORT_WRITE_OFFSET = 0x10,   // position and number travel as raw bytes + 0x10
    SORT_WRITE_PAUSE_MS = 20,   // after each write, before its reply is looked at
    SORT_WRITE_TRIES = 3,       // sends of one position that may be refused before giving up
};

// Results of download_numbers.
enum { DOWNLOAD_OK = 0, DOWNLOAD_FAILED = 1 };

// "编号设定": field 1072 (0..64) becomes the new number of the selected unit.
void numbering_set_number(UiWindow dlg);
// "编号取消": the selected unit gets its old number and its stored line back.
void numbering_cancel_number(UiWindow dlg);
// "编号下载": the two questions, the download, its message, and on success the module reset
// posted to the main window and the dialog closed.
void numbering_download(UiWindow dlg);

// One automatic-sort step for unit i of a channel readout with its temperature v; marks the
// unit in the reading list when it triggers and hands it the next number once.
void auto_sort_step(UiWindow dlg, int i, float v);
// 1 when the automatic sort serves module m on channel c (enabled or not).
int auto_sort_serves(const Module *m, int channel);
// 1 when v lies beyond the critical temperature in the trigger direction; never on equality.
int auto_sort_triggers(int rising, float critical_temp, float v);

// Writes the number of every changed unit of the current channel into the module.
// DOWNLOAD_OK or DOWNLOAD_FAILED (message "无传感器!" for an empty channel). With an echoing
// converter echo_len is 7 while it runs and 5 afterwards, however it ends.
int download_numbers(UiWindow dlg);
// The number byte to send for position p, or -1 when p is skipped (unchanged unit, or a
// number that equals the old one while `download_unchanged` is 0).
int number_to_send(const Numbering *nb, int p, int download_unchanged);

// "新编号" line of the ID list: the stored line with "--%02d" of `number` into line_buffer.
const char *numbered_line(int i, int number);

// Hangs the handlers above (and the sort parameter dialog) into the data display.
void numbering_install(void);

#endif
