// Sensor list file: channel heads and unit lines, the ID read per channel, the file writer.
#include "display/sensor_list_file.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "display/sensor_ids.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"

namespace {

const char SEPARATOR[] = "\r\n --------------------------------------\r\n";
const char NO_ANSWER_TEXT[] = "模块未应答，请重试一次!";

// Channels written for a type code; 0 when the module keeps no list.
int channels_for_type(int type_code)
{
    switch (type_code) {
    case 128: case 131: case 134: return CHANNEL_COUNT;
    case 130: return 1;
    default: return 0;
    }
}

// Writes all `len` bytes or reports failure: a short write counts as a failure.
int write_all(FILE *f, const char *text, int len)
{
    return fwrite(text, 1, (size_t)len, f) == (size_t)len;
}

void error_box(UiWindow window, const char *text)
{
    ui_message_box(window, text, "ERROR!", UI_MB_OK);
}

// A write that failed: the file closed, then the box that says which part; `result`.
int write_failed(FILE *f, UiWindow window, const char *text, int result)
{
    fclose(f);
    error_box(window, text);
    return result;
}

}  // namespace

int sensor_list_head(char *out, int cap, int address, int channel, int count)
{
    return snprintf(out, (size_t)cap, "\r\n Model addr:%02dH, ch:%d, num:%d", address, channel, count);
}

int sensor_list_line(char *out, int cap, int i, int sort_no, const uint8_t *id)
{
    char prefix[32];
    if (sort_no >= 0) snprintf(prefix, sizeof prefix, "%02d(%02d)->", i, sort_no);
    else snprintf(prefix, sizeof prefix, "%02d(--)->", i);
    char body[8 * 3 + 1] = "";
    for (size_t k = 0; k < 8; k++) {
        if (id != nullptr) snprintf(&body[3 * k], 4, "%02X ", id[k]);
        else memcpy(&body[3 * k], "-- ", 4);
    }
    return snprintf(out, (size_t)cap, "%s%s\r\n", prefix, body);
}

int read_channel_ids(int c, UiWindow window, ModuleReply *reply)
{
    const Module &m = module_table.module[module_table.current];
    const int n = m.itu_count[c];
    if (n == 0) return CHANNEL_IDS_NONE;
    int result = CHANNEL_IDS_READ;
    if (request_unit_ids(&m, c, n, reply) == REQ_NO_REPLY) {
        result = CHANNEL_IDS_NO_ANSWER;
    } else {
        // Only a complete reply of this module holds the IDs; anything shorter would leave
        // the zeros of the cleared buffer standing in for IDs. The 4103's lead is not
        // relied on (its ID list is read without that test too).
        const int checks = model_caps(m.model)->itu_modules ? REQ_CHECK_LENGTH | REQ_CHECK_ADDRESS : REQ_CHECK_ALL;
        if (reply_check(reply, checks, LEAD_DATA, reply->need) != REQ_OK) result = CHANNEL_IDS_BAD_REPLY;
    }
    if (result != CHANNEL_IDS_READ) {
        system_notice(window, NO_ANSWER_TEXT);
        port_discard();
    }
    return result;
}

int export_sensor_list(UiWindow window)
{
    const Module &m = module_table.module[module_table.current];
    const int channels = channels_for_type(m.type_code);
    if (channels == 0) return 1;
    char name[32];
    snprintf(name, sizeof name, "model%02d.txt", m.address);
    FILE *f = fopen(name, "wb");
    if (f == nullptr) {
        error_box(window, "file handle err");
        return 0;
    }
    // Unbuffered, so that every piece is checked as it is written and a failure leaves the
    // file holding exactly what was written before it.
    setvbuf(f, nullptr, _IONBF, 0);
    for (int c = 0; c < channels; c++) {
        const int n = m.itu_count[c];
        char text[SENSOR_LIST_HEAD_MAX];
        const int head_len = sensor_list_head(text, sizeof text, m.address, c, n);
        if (!write_all(f, text, head_len)) return write_failed(f, window, "write file header err", -1);
        if (n == 0) continue;
        ModuleReply reply;
        const int read = read_channel_ids(c, window, &reply);
        if (!write_all(f, SEPARATOR, (int)sizeof SEPARATOR - 1))
            return write_failed(f, window, "write file header err", -1);
        for (int i = 0; i < n; i++) {
            // A failed read writes its lines with "--" IDs rather than zeros taken for IDs.
            const uint8_t *id =
                read == CHANNEL_IDS_READ ? reply.bytes + DATA_HEADER + 8 * i : nullptr;
            // Sort numbers exist for the first 64 units of a channel only.
            const int sort_no = m.sort_valid == 1 && i < UNITS_PER_CHANNEL ? m.sort_no[c][i] : -1;
            char line[SENSOR_LIST_LINE_MAX];
            const int line_len = sensor_list_line(line, sizeof line, i, sort_no, id);
            if (!write_all(f, line, line_len)) return write_failed(f, window, "write file info err", -2);
        }
    }
    fclose(f);
    return 0;
}
