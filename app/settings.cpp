// vokcfg.cfg: the link settings that survive from one run to the next; channel kinds.
#include "app/settings.h"

#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#include "app/state.h"
#include "platform/net.h"
#include "protocol/model_caps.h"

// File layout: offsets of the stored fields; bytes 3, 11, 14 and 15 are reserved (written 0).
enum {
    OFF_COM_PORT = 0,
    OFF_BAUD_INDEX = 1,
    OFF_CONVERTER = 2,
    OFF_NET_IP = 4,
    OFF_NET_PORT = 8,
    OFF_NET_BAUD = 10,
    OFF_REPLY_WAIT = 12,
};

void settings_encode(uint8_t out[SETTINGS_FILE_SIZE]) {
    memset(out, 0, SETTINGS_FILE_SIZE);
    out[OFF_COM_PORT] = (uint8_t)link_settings.com_port;
    out[OFF_BAUD_INDEX] = (uint8_t)link_settings.baud_index;
    out[OFF_CONVERTER] = (uint8_t)link_settings.converter_type;
    memcpy(out + OFF_NET_IP, &link_settings.net_ip, 4);  // already in network order
    out[OFF_NET_PORT] = (uint8_t)(link_settings.net_port & 0xFF);
    out[OFF_NET_PORT + 1] = (uint8_t)(link_settings.net_port >> 8);
    out[OFF_NET_BAUD] = link_settings.net_baud_index;
    const uint16_t wait = (uint16_t)link_settings.reply_wait_ms;
    out[OFF_REPLY_WAIT] = (uint8_t)(wait & 0xFF);
    out[OFF_REPLY_WAIT + 1] = (uint8_t)(wait >> 8);
}

void settings_decode(const uint8_t in[SETTINGS_FILE_SIZE]) {
    link_settings.com_port = in[OFF_COM_PORT];
    link_settings.baud_index = in[OFF_BAUD_INDEX];
    link_settings.converter_type = in[OFF_CONVERTER];
    memcpy(&link_settings.net_ip, in + OFF_NET_IP, 4);
    link_settings.net_port = (uint16_t)(in[OFF_NET_PORT] | (in[OFF_NET_PORT + 1] << 8));
    link_settings.net_baud_index = in[OFF_NET_BAUD];
    link_settings.reply_wait_ms = (int16_t)(uint16_t)(in[OFF_REPLY_WAIT] | (in[OFF_REPLY_WAIT + 1] << 8));
}

// The settings file lives in the start directory, and later files (snapshot, exports) are
// written relative to it too, so it becomes the current directory again.
static void enter_start_dir(void) {
    if (!main_window.start_dir[0]) return;
    std::error_code ec;
    std::filesystem::current_path(
        std::filesystem::path(reinterpret_cast<const char8_t *>(main_window.start_dir)), ec);
}

int settings_load(void) {
    enter_start_dir();
    FILE *f = fopen(SETTINGS_FILE_NAME, "rb");
    if (!f) return SETTINGS_NO_FILE;
    uint8_t bytes[SETTINGS_FILE_SIZE];
    const size_t got = fread(bytes, 1, sizeof bytes, f);
    fclose(f);
    if (got < sizeof bytes) return SETTINGS_SHORT;
    settings_decode(bytes);
    net_state.ip = link_settings.net_ip;
    ip_to_text(link_settings.net_ip, net_state.ip_text);
    snprintf(net_state.host_text, sizeof net_state.host_text, "%s", net_state.ip_text);
    return SETTINGS_OK;
}

void settings_apply_defaults(void) {
    link_settings.new_baud_index = 2;
    link_settings.baud_index = 2;
    link_settings.com_port = 1;
    link_settings.converter_type = 0;
    link_settings.reply_wait_ms = 50;
}

int settings_save(UiWindow owner) {
    enter_start_dir();
    FILE *f = fopen(SETTINGS_FILE_NAME, "wb");
    if (!f) return SETTINGS_NO_FILE;
    uint8_t bytes[SETTINGS_FILE_SIZE];
    settings_encode(bytes);
    const size_t put = fwrite(bytes, 1, sizeof bytes, f);
    const int closed = fclose(f);
    if (put != sizeof bytes || closed != 0) {
        ui_message_box(owner, "write vok cfg err", "ERROR!", UI_MB_OK);
        return SETTINGS_SHORT;
    }
    return SETTINGS_OK;
}

void update_channel_kinds(void) {
    const int cur = module_table.current;
    if (cur < 0 || cur >= MODULE_MAX) return;
    const Module *m = &module_table.module[cur];
    if (!is_456x(m->model)) return;
    for (int n = 0; n < CHANNEL_COUNT; ++n) {
        channel_kind.a[n] = (m->chan_mask_a >> n) & 1;
        channel_kind.b[n] = (m->chan_mask_b >> n) & 1;
    }
    channel_kind.a[CHANNEL_COUNT] = 0;
    channel_kind.b[CHANNEL_COUNT] = 0;
}
