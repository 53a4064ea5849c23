// The command table against what vokmon and the library really read: for every request they
// send on a simulated bus, the read that follows must ask for at least the reply length the
// table gives (echo included), or a reply would be cut short on a real line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/state.h"
#include "app/title_menu.h"
#include "display/search_scan.h"
#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "link/exchange.h"
#include "link/serial_port.h"
#include "platform/fake/fake_platform.h"
#include "platform/headless/ui_headless.h"
#include "protocol/catalogue.h"
#include "sim/sim.h"

namespace {

// The table row of a request frame, or nullptr for one the check cannot place.
const CommandRow *row_of(const std::vector<uint8_t> &frame)
{
    if (frame.size() < 5) return nullptr;
    for (int id = 0; id < CMD_COUNT; ++id) {
        const CommandRow *r = command_row((CommandId)id);
        if (r->lead != (char)frame[0] || r->request_len != (int)frame.size()) continue;
        if (r->command != 0 ? r->command == (char)frame[3]
                            : (r->kind == REPLY_KIND_DATA && r->record_size > 0 && frame[3] >= '0' && frame[3] <= '8'))
            return r;
    }
    return nullptr;
}

// Every (request, following read) pair of COM1's log: the read must cover the reply.
int check_reads(int echo_len)
{
    const auto &log = fake::serial_log("COM1");
    int checked = 0;
    for (size_t k = 0; k < log.size(); ++k) {
        if (log[k].kind != fake::SerialEvent::Write) continue;
        const CommandRow *r = row_of(log[k].bytes);
        if (r == nullptr) continue;
        size_t j = k + 1;
        while (j < log.size() && log[j].kind != fake::SerialEvent::Read && log[j].kind != fake::SerialEvent::Write) ++j;
        if (j == log.size() || log[j].kind != fake::SerialEvent::Read) continue;  // a retry follows
        int need = r->reply_len;
        if (r->kind == REPLY_KIND_DATA && r->record_size > 0) {
            const auto &got = log[j].bytes;
            if ((int)got.size() <= echo_len + 4) continue;
            need = command_reply_length(r->id, got[(size_t)echo_len + 4]) + 1;  // the closing CR
        }
        EXPECT_GE(log[j].value, need + echo_len)
            << "request " << sim::printable(log[k].bytes) << " reads " << log[j].value << " bytes";
        ++checked;
    }
    return checked;
}

sim::Bus bus_with_units()
{
    sim::Bus bus;
    sim::Module &m = bus.add(sim::make_module(1, 4101));
    m.firmware = "V2.00";
    for (int i = 0; i < 3; ++i) m.channels[0].units.push_back(sim::make_sensor(0x28, (uint32_t)i + 1, 20.0 + i));
    sim::Module &n = bus.add(sim::make_module(2, 4560));
    for (int i = 0; i < 2; ++i) n.channels[1].units.push_back(sim::make_itu(1, (uint8_t)(i + 1), 0x34, 21.0));
    return bus;
}

}  // namespace

TEST(CatalogueLengths, VokmonSearchReadsCoverEveryReply)
{
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo ? "echo" : "no echo");
        sim::Bus bus = bus_with_units();
        sim::SerialConverter conv(&bus);
        conv.echo = echo;
        fake::reset();
        headless::reset();
        state_reset();
        main_window.hwnd = headless::new_window();
        link_set_change_handler(title_menu_link_changed);
        fake::attach_serial("COM1", &conv);
        link_settings.baud_index = 2;
        ASSERT_EQ(port_open(), 1);
        probe_echo();
        module_table.count = 2;
        module_table.module[0].address = 1;
        module_table.module[1].address = 2;
        EXPECT_EQ(read_module_parameters(0), 0);
        EXPECT_EQ(read_module_parameters(1), 0);
        EXPECT_GE(check_reads(link_state.echo_len), 12);
        port_close();
    }
}

TEST(CatalogueLengths, LibraryReadsCoverEveryReply)
{
    setenv("VOK3900D_COM1", "COM1", 1);
    ASSERT_EQ(driver_attach(), 1);
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo ? "echo" : "no echo");
        sim::Bus bus = bus_with_units();
        sim::SerialConverter conv(&bus);
        conv.echo = echo;
        fake::reset();
        fake::attach_serial("COM1", &conv);
        ASSERT_EQ(vok_com_open(1, 3, 1), VOK_OK);
        vok_module_info info{};
        EXPECT_EQ(vok_read_config(1, 1, &info), VOK_OK);
        unsigned char buf[255 * 8];
        EXPECT_EQ(vok_read_temp(1, 1, 0, buf), 3);
        EXPECT_EQ(vok_read_id(1, 2, 1, buf), 2);
        EXPECT_EQ(vok_read_sortnum(1, 1, 0, buf), 3);
        int status = 0;
        EXPECT_EQ(vok_err_report(1, 1, &status), VOK_OK);
        EXPECT_GE(check_reads(DriverState.echo_len), 9);
        EXPECT_EQ(vok_com_close(1), VOK_OK);
    }
}
