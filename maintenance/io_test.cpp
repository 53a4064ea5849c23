// IO test of model 4501: ^AAc reads the IDs of a channel's digital ITUs, ~AAc their states,
// @AAcNNs switches one output.
#include "maintenance/io_test.h"

#include <stdio.h>
#include <string.h>

#include "app/dialogs.h"
#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "platform/clock.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

IoTest io_test;

namespace {
enum { ID_BYTES = 8, STATE_BYTES = 2, SETTLE_MS = 300 };
const char *const NoAnswer = "模块未应答，请重试一次!";
const char *const BadAnswer = "模块应答错误，请重试一次!";

// Digital ITUs on channel c; a count byte can say more than a channel holds.
int itu_count(int c)
{
    if (c < 0 || c >= CHANNEL_COUNT) return 0;
    const int n = current_module().itu_count_b[c];
    return n < UNITS_PER_CHANNEL ? n : UNITS_PER_CHANNEL;
}

// The channel read `id` of n digital ITUs. 0 when the whole reply came from the module;
// -1 otherwise (link cleared, message shown).
int read_channel(UiWindow dlg, CommandId id, int c, int n, ModuleReply *reply)
{
    port_discard();
    if (channel_request(id, current_module().address, c, n, REQ_CHECK_ALL, reply) != REQ_OK) {
        port_discard();
        system_notice(dlg, NoAnswer);
        return -1;
    }
    return 0;
}

void check_channel(UiWindow dlg, int c)
{
    for (int k = 0; k < CHANNEL_COUNT; ++k) ui_check(dlg, IDC_IOT_CH0 + k, k == c);
}

void on_channel(UiWindow dlg, int c)
{
    if (!is_4501(current_module().model)) return;
    ui_wait_cursor(1);
    channel_kind.current_channel = c;
    io_test.selected = 0;
    io_test_read_ids(dlg, c);
    io_test_read_states(dlg, c);
    ui_wait_cursor(0);
}
}  // namespace

const UiDialogHandlers io_test_handlers = {io_test_on_init, io_test_on_command, nullptr, dialog_close};

int io_test_read_ids(UiWindow dlg, int c)
{
    const int n = itu_count(c);
    if (n == 0) return 0;
    ModuleReply reply;
    if (read_channel(dlg, CMD_4501_READ_IDS, c, n, &reply) != 0) return -1;
    const Module &m = current_module();
    for (int i = 0; i < n; ++i) {
        const uint8_t *id = reply.bytes + DATA_HEADER + ID_BYTES * i;
        ItuTypeTable[c][i] = id[0];
        char *line = io_test.lines[i];
        int len = m.sort_valid == 1 ? snprintf(line, IO_TEST_LINE_MAX + 1, "%02d(%02d)->", i, m.sort_no[c][i])
                                    : snprintf(line, IO_TEST_LINE_MAX + 1, "%02d(--)->", i);
        for (int k = 0; k < ID_BYTES; ++k)
            len += snprintf(line + len, static_cast<size_t>(IO_TEST_LINE_MAX + 1 - len), "%02X ", id[k]);
    }
    return 0;
}

int io_test_read_states(UiWindow dlg, int c)
{
    check_channel(dlg, c);
    ui_list_reset(dlg, IDC_IOT_LIST);
    const int n = itu_count(c);
    if (n == 0) {
        ui_list_add(dlg, IDC_IOT_LIST, "无传感器!");
        ui_beep(UI_BEEP_WARNING);
        return 0;
    }
    ModuleReply reply;
    if (read_channel(dlg, CMD_4501_READ_STATES, c, n, &reply) != 0) return -1;
    for (int i = 0; i < n; ++i) {
        io_test.di[i] = reply.bytes[DATA_HEADER + STATE_BYTES * i];
        io_test.do_[i] = reply.bytes[DATA_HEADER + STATE_BYTES * i + 1];
        char line[IO_TEST_LINE_MAX + 24];
        snprintf(line, sizeof line, "%s--%d/%d", io_test.lines[i], static_cast<int8_t>(io_test.di[i]),
                 static_cast<int8_t>(io_test.do_[i]));
        ui_list_add(dlg, IDC_IOT_LIST, line);
    }
    ui_list_set_sel(dlg, IDC_IOT_LIST, io_test.selected);
    ui_list_set_top(dlg, IDC_IOT_LIST, io_test.selected);
    return 0;
}

void io_test_on_init(UiWindow dlg)
{
    if (!is_4501(current_module().model)) return;
    check_channel(dlg, 0);
    ui_check(dlg, IDC_IOT_OFF, 1);
    ui_check(dlg, IDC_IOT_ON, 0);
    ui_list_reset(dlg, IDC_IOT_LIST);
    channel_kind.current_channel = 0;
    io_test_read_ids(dlg, 0);
    io_test_read_states(dlg, 0);
}

void io_test_on_command(UiWindow dlg, int id, int notify)
{
    if (id == IDC_IOT_LIST) {
        if (notify == UI_SELCHANGE) io_test.selected = ui_list_get_sel(dlg, IDC_IOT_LIST);
        return;
    }
    if (notify != UI_CLICKED) return;
    if (id >= IDC_IOT_CH0 && id <= IDC_IOT_CH7) on_channel(dlg, id - IDC_IOT_CH0);
    else if (id == IDC_IOT_SET) io_test_on_set(dlg);
    else if (id == IDC_IOT_EXIT) ui_end_dialog(dlg, 0);
}

void io_test_on_set(UiWindow dlg)
{
    const Module &m = current_module();
    if (!is_4501(m.model)) return;
    ui_wait_cursor(1);
    const int c = channel_kind.current_channel;
    char part[8];
    // The index goes out as two hex digits; a line index never exceeds 63.
    snprintf(part, sizeof part, "%c%02X%c", channel_digit(c), static_cast<uint8_t>(io_test.selected),
             ui_is_checked(dlg, IDC_IOT_ON) ? '0' : '1');
    port_discard();
    ModuleReply reply;
    if (module_request(CMD_4501_SWITCH, m.address, part, 4, 0, REQ_CHECK_LEAD, &reply) == REQ_OK) {
        sleep_ms(SETTLE_MS);
        io_test_read_states(dlg, c);
    } else {
        system_notice(dlg, reply.got <= 0 ? NoAnswer : BadAnswer);
        port_discard();
    }
    ui_wait_cursor(0);
}
