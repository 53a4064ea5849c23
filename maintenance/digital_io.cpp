// Digital IO of model 4500: #AA0 reads the input byte, /AAv writes the output byte.
#include "maintenance/digital_io.h"

#include <stdio.h>

#include "app/dialogs.h"
#include "app/state.h"
#include "link/request.h"
#include "protocol/model_caps.h"
#include "link/serial_port.h"
#include "protocol/protocol.h"
#include "resources/resource_ids.h"

DigitalIo digital_io;

namespace {
enum { PATROL_MS = 1000, BITS = 8 };
const char *const NoAnswer = "模块未应答，请重试一次!";

// The input byte is kept in itu_count[0] and the output byte in itu_count[1].
uint8_t &input_byte(void) { return current_module().itu_count[0]; }
uint8_t &output_byte(void) { return current_module().itu_count[1]; }

// One 5-byte request of command `id` with the character c; returns the byte at reply
// position 3, or -1 when the exchange failed or the reply is not the command's lead with the
// module's address (the byte itself may still be missing: -1 as well).
int exchange(CommandId id, char c)
{
    port_discard();
    ModuleReply reply;
    module_request(id, current_module().address, &c, 1, 0, 0, &reply);
    if (reply.got <= 0) return -1;
    if (reply_check(&reply, REQ_CHECK_ALL, command_row(id)->reply_lead, 4) != REQ_OK) return -1;
    return reply_at(&reply, 3);
}

int read_inputs(void)
{
    const int v = exchange(CMD_4500_INPUTS, '0');
    if (v >= 0) input_byte() = static_cast<uint8_t>(v);
    return v < 0 ? -1 : 0;
}

// Writes v; the stored output byte follows only when the module echoes v back. -1 when
// the exchange failed.
int write_outputs(uint8_t v)
{
    const int echoed = exchange(CMD_WRITE_DO, static_cast<char>(v));
    if (echoed < 0) return -1;
    if (echoed == v) output_byte() = v;
    return 0;
}

void stop_patrol(UiWindow dlg)
{
    ui_kill_timer(dlg, TIMER_DIO_PATROL);
    digital_io.patrol = 0;
}

void start_patrol(UiWindow dlg)
{
    ui_set_timer(dlg, TIMER_DIO_PATROL, PATROL_MS);
    digital_io.patrol = 1;
}

void normal_refresh(UiWindow dlg)
{
    if (!is_4500(current_module().model)) return;
    if (write_outputs(digital_io_output_byte(dlg)) != 0 || read_inputs() != 0) {
        system_notice(dlg, NoAnswer);
        port_discard();
        return;
    }
    digital_io_show(dlg);
}

void patrol_step(UiWindow dlg)
{
    if (read_inputs() != 0 || write_outputs(input_byte()) != 0) {
        port_discard();
        return;
    }
    digital_io_show(dlg);
}
}  // namespace

const UiDialogHandlers digital_io_handlers = {digital_io_on_init, digital_io_on_command, digital_io_on_timer,
                                              digital_io_on_close};

uint8_t digital_io_output_byte(UiWindow dlg)
{
    uint8_t v = 0xFF;
    for (int i = 0; i < BITS; ++i)
        if (ui_is_checked(dlg, IDC_DIO_OUT0 + i)) v &= BitMask[BITS + i];
    return v;
}

void digital_io_show(UiWindow dlg)
{
    char text[8];
    snprintf(text, sizeof text, "%02X", input_byte());
    ui_set_text(dlg, IDC_DIO_IN_BYTE, text);
    snprintf(text, sizeof text, "%02X", output_byte());
    ui_set_text(dlg, IDC_DIO_OUT_BYTE, text);
    for (int i = 0; i < BITS; ++i) {
        ui_show(dlg, IDC_DIO_LAMP0 + i, (input_byte() & BitMask[i]) == 0);
        ui_check(dlg, IDC_DIO_OUT0 + i, (output_byte() & BitMask[i]) == 0);
    }
}

void digital_io_on_init(UiWindow dlg)
{
    digital_io.patrol = 0;
    digital_io_show(dlg);
    ui_check(dlg, IDC_DIO_NORMAL, 1);
    ui_check(dlg, IDC_DIO_PATROL, 0);
    ui_focus(dlg, IDC_DIO_REFRESH);
}

void digital_io_on_command(UiWindow dlg, int id, int notify)
{
    if (notify != UI_CLICKED) return;
    if (id == IDC_DIO_PATROL) {
        start_patrol(dlg);
        return;
    }
    stop_patrol(dlg);
    if (id == IDC_DIO_REFRESH) {
        if (ui_is_checked(dlg, IDC_DIO_PATROL)) start_patrol(dlg);
        else normal_refresh(dlg);
    } else if (id == IDC_DIO_EXIT) {
        ui_end_dialog(dlg, 0);
    }
}

void digital_io_on_timer(UiWindow dlg, int timer_id)
{
    if (timer_id != TIMER_DIO_PATROL || digital_io.patrol != 1) return;
    ui_kill_timer(dlg, TIMER_DIO_PATROL);
    patrol_step(dlg);
    ui_set_timer(dlg, TIMER_DIO_PATROL, PATROL_MS);
}

void digital_io_on_close(UiWindow dlg)
{
    stop_patrol(dlg);
    ui_end_dialog(dlg, 0);
}
