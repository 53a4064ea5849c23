// The request path over the simulated bus: frames from the command table, the echo of each
// request's own length, the read sized from the table, and the checks in their order.
#include "link/request.h"

#include <cstring>
#include <functional>

#include "tests/link/link_fixture.h"

namespace {

using Request = LinkFixture;

struct Row {
    const char *what;
    CommandId id;
    const char *args;
    int records;
    std::function<void(sim::Faults &)> fault;
    int result;
    const char *frame;
    int read;  // bytes asked for after the request, without the echo
};

TEST_F(Request, FramesReadSizesAndChecksWithAndWithoutEcho)
{
    const Row rows[] = {
        {"register read", CMD_READ_CONFIG, "2", 0, nullptr, REQ_OK, "$012\r", 11},
        {"silent", CMD_READ_CONFIG, "2", 0, [](sim::Faults &f) { f.silent = true; }, REQ_NO_REPLY, "$012\r", -1},
        {"cut short", CMD_READ_NAME, "M", 0, [](sim::Faults &f) { f.short_by = 2; }, REQ_SHORT, "$01M\r", 12},
        {"wrong lead", CMD_READ_FIRMWARE, "F", 0, [](sim::Faults &f) { f.wrong_lead = true; }, REQ_WRONG_LEAD,
         "$01F\r", 10},
        {"wrong address", CMD_READ_FAULT, "E", 0, [](sim::Faults &f) { f.wrong_address = true; },
         REQ_WRONG_ADDRESS, "$01E\r", 11},
        {"data reply", CMD_READ_DATA, "0", 2, nullptr, REQ_OK, "#010\r", 5 + 8 + 1 + 1},
        {"data reply cut", CMD_READ_DATA, "0", 2, [](sim::Faults &f) { f.short_by = 3; }, REQ_SHORT, "#010\r", 15},
        {"12-byte write", CMD_WRITE_CONFIG, "01800600", 0, nullptr, REQ_OK, "%0101800600\r", 5},
    };
    for (bool echo : {false, true}) {
        for (const Row &r : rows) {
            SCOPED_TRACE(testing::Message() << r.what << (echo ? ", echo" : ""));
            SetUp();
            sim::Module &m = module(1);
            m.type_code = 0x80;
            m.channels[0].units = {sim::make_sensor(0x28, 1, 20.0), sim::make_sensor(0x28, 2, 21.0)};
            m.faults = sim::Faults{};
            if (r.fault) r.fault(m.faults);
            open_serial(0, 2, sim::ConverterKind::Rs232, echo);
            probe_echo();
            ASSERT_EQ(link_state.echo_len, echo ? 5 : 0);
            fake::clear_serial_log("COM1");
            ModuleReply reply;
            EXPECT_EQ(module_request(r.id, 1, r.args, static_cast<int>(strlen(r.args)), r.records, REQ_CHECK_ALL,
                                     &reply),
                      r.result);
            const auto frames = frames_written();
            ASSERT_FALSE(frames.empty());
            const int frame_len = static_cast<int>(strlen(r.frame));
            EXPECT_EQ(std::string(frames[0].begin(), frames[0].end()), r.frame);
            const auto reads = events(fake::SerialEvent::Read);
            if (r.read >= 0) {
                ASSERT_FALSE(reads.empty());
                EXPECT_EQ(reads.back().value, r.read + (echo ? frame_len : 0));
                // The reply is found past its own echo, whatever the request's length.
                if (r.result == REQ_OK) {
                    EXPECT_EQ(reply.bytes[0], command_row(r.id)->reply_lead);
                }
            }
            // Whatever happened, the next 5-byte request is read at 5 again.
            EXPECT_EQ(link_state.echo_len, echo ? 5 : 0);
        }
    }
}

}  // namespace
