// Driver calls against the simulated bus: frames, waits, decoding, partial fills on
// failure, status mapping, echo offsets and the model-specific reads.
#include <cstring>
#include <functional>

#include "tests/driver/driver_fixture.h"

namespace {

const uint8_t SENTINEL = 0xA5;

vok_module_info blank_info()
{
    vok_module_info info;
    std::memset(&info, SENTINEL, sizeof info);
    return info;
}

std::vector<std::string> strings(std::initializer_list<const char *> l)
{
    return std::vector<std::string>(l.begin(), l.end());
}

}  // namespace

using FaultFn = std::function<void(sim::Faults &)>;

class DriverCalls : public DriverTest {
protected:
    sim::Module *module = nullptr;

    // The module answers well, except for the fault `f` from the `frame` on (none: at once).
    void only_fault(const FaultFn &f, const char *frame = nullptr)
    {
        module->faults = sim::Faults{};
        if (frame) on_request(frame, 1, [f](sim::Module &m) { f(m.faults); });
        else f(module->faults);
    }

    void SetUp() override
    {
        DriverTest::SetUp();
        sim::Module &m = add_module(1, 4560);
        m.format = 0x12;
        m.firmware = "V2.10";
        add_sensors(m, 0, 3);
        add_sensors(m, 2, 5);
        module = &m;
    }
};

TEST_F(DriverCalls, ReadConfigReadsFourRepliesWithTheirWaits)
{
    open();
    vok_module_info info = blank_info();
    ASSERT_EQ(vok_read_config(1, 1, &info), VOK_OK);
    EXPECT_EQ(writes(), strings({"$012\r", "$01M\r", "$01F\r", "$016\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 100, 5, 25, 60, 5, 25, 60, 5, 25, 80}));
    EXPECT_EQ(read_counts(), (std::vector<int>{20, 20, 20, 30}));
    EXPECT_EQ(info.address, 1);
    EXPECT_EQ(info.new_address, 1);
    EXPECT_EQ(info.type_code, 0x40);
    EXPECT_EQ(info.baud_index, 3);
    EXPECT_EQ(info.baud_index_set, 3);
    EXPECT_EQ(info.data_format, 0x12);
    EXPECT_EQ(info.channel_state, 0x05);
    EXPECT_EQ(info.itu_total, 8);
    const uint8_t counts[8] = {3, 0, 5, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(info.itu_count, counts, 8), 0);
    EXPECT_EQ(std::string(info.name, 7), "VOK4560");
    EXPECT_EQ((uint8_t)info.name[7], SENTINEL);
    EXPECT_STREQ(info.version, "V2.10");
}

TEST_F(DriverCalls, ReadConfigKeepsWhatItFilledBeforeAFailure)
{
    open();
    struct Case {
        const char *what, *frame;
        FaultFn fault;
        int rc;
        std::function<void(const vok_module_info &)> kept;
    };
    const Case cases[] = {
        {"silent from the name request on: configuration filled, name untouched", "$01M\r",
         [](sim::Faults &f) { f.silent = true; }, VOK_E_SEND,
         [](const vok_module_info &i) {
             EXPECT_EQ(i.address, 1);
             EXPECT_EQ(i.type_code, 0x40);
             EXPECT_EQ(i.data_format, 0x12);
             EXPECT_EQ((uint8_t)i.name[0], SENTINEL);
         }},
        {"a short name reply", "$01M\r", [](sim::Faults &f) { f.short_by = 1; }, VOK_E_SHORT,
         [](const vok_module_info &i) {
             EXPECT_EQ(i.baud_index, 3);
             EXPECT_EQ((uint8_t)i.name[0], SENTINEL);
         }},
        {"no firmware answer: version None", "$01F\r", [](sim::Faults &f) { f.silent = true; }, VOK_E_SEND,
         [](const vok_module_info &i) {
             EXPECT_EQ(std::string(i.name, 7), "VOK4560");
             EXPECT_EQ(std::memcmp(i.version, "None", 5), 0);
             EXPECT_EQ(i.channel_state, SENTINEL);
         }},
        {"no count answer: state and counts zeroed, the total left alone", "$016\r",
         [](sim::Faults &f) { f.silent = true; }, VOK_E_SEND,
         [](const vok_module_info &i) {
             EXPECT_STREQ(i.version, "V2.10");
             EXPECT_EQ(i.channel_state, 0);
             EXPECT_EQ(std::memcmp(i.itu_count, "\0\0\0\0\0\0\0\0", 8), 0);
             EXPECT_EQ((uint32_t)i.itu_total, 0xA5A5A5A5u);
         }},
        {"wrong address in the configuration reply", "$012\r", [](sim::Faults &f) { f.wrong_address = true; },
         VOK_E_REPLY,
         [](const vok_module_info &i) {
             EXPECT_EQ(i.new_address, 1);
             EXPECT_EQ(i.type_code, SENTINEL);
         }},
        {"wrong lead in the count reply", "$016\r", [](sim::Faults &f) { f.wrong_lead = true; }, VOK_E_REPLY,
         [](const vok_module_info &i) {
             EXPECT_STREQ(i.version, "V2.10");
             EXPECT_EQ(i.channel_state, SENTINEL);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        only_fault(c.fault, c.frame);
        vok_module_info info = blank_info();
        EXPECT_EQ(vok_read_config(1, 1, &info), c.rc);
        c.kept(info);
    }
}

TEST_F(DriverCalls, ReadTempCopiesTheRecordsOfTheChannel)
{
    open();
    unsigned char buffer[64];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 3);
    EXPECT_EQ(writes(), strings({"$016\r", "#010\r"}));
    // 5 + 3 x 4 = 17 bytes expected: 17 x 1.2 + 100 = 120 ms at 9600.
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 80, 25, 120}));
    EXPECT_EQ(read_counts(), (std::vector<int>{30, 18}));
    std::vector<uint8_t> reply = last_read();
    ASSERT_EQ(reply.size(), 18u);
    EXPECT_EQ(std::memcmp(buffer, reply.data() + 5, 12), 0);
    EXPECT_EQ(buffer[12], SENTINEL);
}

TEST_F(DriverCalls, EmptyChannelEndsAfterTheCountRequest)
{
    open();
    unsigned char buffer[8];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok_read_temp(1, 1, 1, buffer), 0);
    EXPECT_EQ(vok_read_id(1, 1, 3, buffer), 0);
    EXPECT_EQ(vok_read_sortnum(1, 1, 7, buffer), 0);
    EXPECT_EQ(writes(), strings({"$016\r", "$016\r", "$016\r"}));
    EXPECT_EQ(buffer[0], SENTINEL);
}

TEST_F(DriverCalls, ReadIdOfAllChannelsTakesEveryUnitInOrder)
{
    open();
    unsigned char buffer[256];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok_read_id(1, 1, 8, buffer), 8);
    EXPECT_EQ(writes(), strings({"$016\r", "&018\r"}));
    std::vector<uint8_t> ids;
    for (int c : {0, 2})
        for (const auto &u : module->channels[c].units)
            ids.insert(ids.end(), u.id.begin(), u.id.end());
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 64), ids);
    EXPECT_EQ(buffer[64], SENTINEL);
}

TEST_F(DriverCalls, AllChannelCountIsKeptToAByte)
{
    for (int c = 0; c < 5; c++) {
        module->channels[c].units.clear();
        add_sensors(*module, c, 64);
    }
    open();
    // 320 units: (320 mod 256) = 64 records are asked for and copied.
    static unsigned char buffer[255 * 4 + 1];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok_read_temp(1, 1, 8, buffer), 64);
    EXPECT_EQ(read_counts(), (std::vector<int>{30, 5 + 256 + 1}));
    std::vector<uint8_t> reply = last_read();
    ASSERT_EQ(reply.size(), 262u);
    EXPECT_EQ(std::memcmp(buffer, reply.data() + 5, 256), 0);
    EXPECT_EQ(buffer[256], SENTINEL);
}

TEST_F(DriverCalls, StatusByteOfTheDataReplyIsPassedOn)
{
    open();
    unsigned char buffer[255 * 8];
    module->faults.data_status = 1;
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 259);
    EXPECT_EQ(vok_read_id(1, 1, 2, buffer), 261);
    EXPECT_EQ(vok_read_sortnum(1, 1, 0, buffer), 3);  // sort numbers ignore the status
    module->faults.data_status = 2;
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 512);
    EXPECT_EQ(vok_read_id(1, 1, 8, buffer), 512);
    EXPECT_EQ(vok_read_sortnum(1, 1, 2, buffer), 5);
    module->faults.data_status = 7;  // no meaning given: the plain count
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 3);
}

TEST_F(DriverCalls, BadDataRepliesCopyNothing)
{
    open();
    unsigned char buffer[32];
    std::memset(buffer, SENTINEL, sizeof buffer);
    struct Case {
        const char *frame;
        FaultFn fault;
        std::function<int(unsigned char *)> call;
        int rc;
    };
    const Case cases[] = {
        {"#010\r", [](sim::Faults &f) { f.short_by = 2; }, [](unsigned char *b) { return vok_read_temp(1, 1, 0, b); },
         VOK_E_SHORT},
        {"&010\r", [](sim::Faults &f) { f.wrong_lead = true; }, [](unsigned char *b) { return vok_read_id(1, 1, 0, b); },
         VOK_E_REPLY},
        {"*010\r", [](sim::Faults &f) { f.wrong_address = true; },
         [](unsigned char *b) { return vok_read_sortnum(1, 1, 0, b); }, VOK_E_REPLY},
    };
    for (const Case &c : cases) {
        only_fault(c.fault, c.frame);
        EXPECT_EQ(c.call(buffer), c.rc) << c.frame;
        EXPECT_EQ(buffer[0], SENTINEL) << c.frame;
    }
    // A bad count reply stops before the data request.
    fake::clear_serial_log("COM1");
    bus.on_traffic = nullptr;
    only_fault([](sim::Faults &f) { f.short_by = 1; });
    EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), VOK_E_SHORT);
    EXPECT_EQ(writes(), strings({"$016\r"}));
}

TEST_F(DriverCalls, ReadSortnumCopiesNoMoreThanTheChannelCount)
{
    for (int i = 0; i < 3; i++)
        module->channels[0].units[i].sort = (uint8_t)(10 + i);
    open();
    unsigned char buffer[8];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok_read_sortnum(1, 1, 0, buffer), 3);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), (std::vector<uint8_t>{10, 11, 12, SENTINEL}));

    // A unit plugged in between the count and the data request: the reply counts 4, the
    // caller's buffer was sized for 3.
    std::memset(buffer, SENTINEL, sizeof buffer);
    on_request("*010\r", 1, [](sim::Module &m) {
        m.channels[0].units.push_back(sim::make_sensor(0x28, 999, 30.0));
        m.channels[0].units.back().sort = 13;
    });
    EXPECT_EQ(vok_read_sortnum(1, 1, 0, buffer), 3);
    EXPECT_EQ(buffer[3], SENTINEL);
}

TEST_F(DriverCalls, HundredExpectedBytesWaitByTheBaudRate)
{
    // 64 + 31 sort numbers: 5 + 95 = 100 bytes expected.
    module->channels[0].units.clear();
    module->channels[2].units.clear();
    add_sensors(*module, 0, 64);
    add_sensors(*module, 1, 31);
    open(3);
    unsigned char buffer[255];
    EXPECT_EQ(vok_read_sortnum(1, 1, 8, buffer), 95);
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 80, 25, 220}));

    module->baud_code = 3;
    open(0);
    EXPECT_EQ(vok_read_sortnum(1, 1, 8, buffer), 95);
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 80, 25, 1220}));
}

TEST_F(DriverCalls, EchoingConverterShiftsEveryReply)
{
    conv.echo = true;
    open();
    vok_module_info info = blank_info();
    ASSERT_EQ(vok_read_config(1, 1, &info), VOK_OK);
    EXPECT_EQ(std::string(info.name, 7), "VOK4560");
    EXPECT_EQ(info.itu_total, 8);
    unsigned char buffer[64];
    EXPECT_EQ(vok_read_temp(1, 1, 2, buffer), 5);
    EXPECT_EQ(read_counts().back(), 5 + 5 + 20 + 1);
    int status = -1;
    EXPECT_EQ(vok_err_report(1, 1, &status), VOK_OK);
    EXPECT_EQ(status, 0);

    // The 12-byte configuration write is echoed whole; the next request reads at 5 again.
    info.address = 1;
    info.new_address = 7;
    info.baud_index_set = 3;
    EXPECT_EQ(vok_set_config(1, &info), VOK_OK);
    EXPECT_EQ(DriverState.echo_len, 5);
    EXPECT_EQ(vok_read_temp(1, 7, 0, buffer), 3);

    // The 9-byte ITU output request likewise.
    module->channels[0].units.push_back(sim::make_itu(sim::ITU_8_OUT, 0x01, 0x00, 0));
    fake::clear_serial_log("COM1");
    EXPECT_EQ(vok_itu_do(1, 7, 0, 1, 0x03), VOK_OK);
    EXPECT_EQ(writes(), strings({"/0700103\r"}));
    EXPECT_EQ(read_counts(), std::vector<int>{9 + 5});
    EXPECT_EQ(DriverState.echo_len, 5);
}

TEST_F(DriverCalls, LongRequestsGiveTheEchoOffsetBackOnEveryPath)
{
    module->channels[0].units.push_back(sim::make_itu(sim::ITU_8_OUT, 0x01, 0x00, 0));
    vok_module_info info{};
    info.address = 1;
    info.new_address = 1;
    info.baud_index_set = 3;
    unsigned char buffer[64];
    struct Case {
        const char *what;
        std::function<void(sim::Faults &)> fault;
        int set_config, itu_do;
    };
    const Case cases[] = {
        {"silent", [](sim::Faults &f) { f.silent = true; }, VOK_E_SEND, VOK_E_SEND},
        {"short", [](sim::Faults &f) { f.short_by = 3; }, VOK_E_SHORT, VOK_OK},
        {"wrong lead", [](sim::Faults &f) { f.wrong_lead = true; }, VOK_E_REPLY, VOK_E_REPLY},
        {"wrong address", [](sim::Faults &f) { f.wrong_address = true; }, VOK_E_REPLY, VOK_OK},
        {"none", [](sim::Faults &) {}, VOK_OK, VOK_OK},
    };
    for (bool echo : {true, false}) {
        conv.echo = echo;
        open();
        const int usual = echo ? 5 : 0;
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.what) + (echo ? ", echo" : ", no echo"));
            module->faults = sim::Faults{};
            c.fault(module->faults);
            EXPECT_EQ(vok_set_config(1, &info), c.set_config);
            EXPECT_EQ(DriverState.echo_len, usual);
            EXPECT_EQ(vok_itu_do(1, 1, 0, 1, 0x03), c.itu_do);
            EXPECT_EQ(DriverState.echo_len, usual);
            // The next 5-byte request finds its reply at the usual offset again.
            module->faults = sim::Faults{};
            EXPECT_EQ(vok_read_temp(1, 1, 0, buffer), 4);
        }
    }
}

TEST_F(DriverCalls, SetConfigWritesTheNewSettings)
{
    open();
    vok_module_info info{};
    info.address = 1;
    info.new_address = 0x2A;
    info.type_code = 0x81;
    info.baud_index_set = 3;
    info.data_format = 0x12;
    EXPECT_EQ(vok_set_config(1, &info), VOK_OK);
    EXPECT_EQ(writes(), strings({"%012A81" "0612\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{65, 100}));
    EXPECT_EQ(read_counts(), std::vector<int>{20});
    vok_module_info back = blank_info();
    ASSERT_EQ(vok_read_config(1, 0x2A, &back), VOK_OK);
    EXPECT_EQ(back.type_code, 0x81);
    EXPECT_EQ(back.baud_index, 3);

    // A reply from another address is wrong.
    bus.find(0x2A)->faults.wrong_address = true;
    info.address = 0x2A;
    info.new_address = 0x2B;
    EXPECT_EQ(vok_set_config(1, &info), VOK_E_REPLY);
}

TEST_F(DriverCalls, SoftResetThenTheModuleRestarts)
{
    open();
    EXPECT_EQ(vok_soft_reset(1, 1), VOK_OK);
    EXPECT_EQ(writes(), strings({"&019\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 80}));
    EXPECT_EQ(read_counts(), std::vector<int>{10});
    EXPECT_EQ(vok_soft_reset(1, 1), VOK_E_SEND);  // silent while it restarts
}

TEST_F(DriverCalls, ErrReportPacksTheThreeFields)
{
    module->fault_code = 0x12;
    module->error_mask = 0x05;
    module->warning_mask = 0x80;
    open();
    int status = -1;
    EXPECT_EQ(vok_err_report(1, 1, &status), VOK_OK);
    EXPECT_EQ(status, 0x120580);
    EXPECT_EQ(writes(), strings({"$01E\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 30}));
    EXPECT_EQ(read_counts(), std::vector<int>{11});

    struct Case {
        const char *what;
        FaultFn fault;
        int rc, status;  // status -1: left as it was
    };
    const Case cases[] = {
        {"wrong lead", [](sim::Faults &f) { f.wrong_lead = true; }, VOK_OK, 0},
        {"a '!' reply cut before its fields carries no status", [](sim::Faults &f) { f.short_by = 3; }, VOK_OK, 0},
        {"silent", [](sim::Faults &f) { f.silent = true; }, VOK_E_SEND, -1},
    };
    for (const Case &c : cases) {
        only_fault(c.fault);
        status = 1234;
        EXPECT_EQ(vok_err_report(1, 1, &status), c.rc) << c.what;
        EXPECT_EQ(status, c.status < 0 ? 1234 : c.status) << c.what;
    }
}

TEST_F(DriverCalls, WriteDoChecksTheValueNotTheAddress)
{
    open();
    EXPECT_EQ(vok_write_do(1, 1, 0x135), VOK_OK);
    EXPECT_EQ(writes(), strings({"/015\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 80}));
    EXPECT_EQ(read_counts(), std::vector<int>{6});
    struct Case {
        const char *what;
        FaultFn fault;
        int rc;
    };
    const Case cases[] = {
        {"wrong address", [](sim::Faults &f) { f.wrong_address = true; }, VOK_OK},
        {"wrong lead", [](sim::Faults &f) { f.wrong_lead = true; }, VOK_E_REPLY},
        {"short", [](sim::Faults &f) { f.short_by = 1; }, VOK_E_SHORT},
        // A reply that repeats another value character (scripted ahead of the module's own).
        {"another value", [](sim::Faults &f) { f.garbage = {'!', '0', '1', '6', 0x0D}; }, VOK_E_REPLY},
    };
    for (const Case &c : cases) {
        only_fault(c.fault);
        EXPECT_EQ(vok_write_do(1, 1, '7'), c.rc) << c.what;
    }
}

TEST_F(DriverCalls, ItuDoSendsChannelIndexAndValue)
{
    module->channels[3].units.push_back(sim::make_itu(sim::ITU_8_OUT, 0x07, 0x00, 0));
    open();
    EXPECT_EQ(vok_itu_do(1, 1, 3, 7, 0x15), VOK_OK);
    EXPECT_EQ(writes(), strings({"/0130715\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 100}));
    EXPECT_EQ(read_counts(), std::vector<int>{5});
    module->faults.wrong_lead = true;
    EXPECT_EQ(vok_itu_do(1, 1, 3, 7, 0x15), VOK_E_REPLY);
}

class DriverModels : public DriverTest {};

TEST_F(DriverModels, Model4103ReadsThreeRawCounts)
{
    sim::Module &m = add_module(3, 4103);
    add_sensors(m, 0, 2, 0x89);
    add_sensors(m, 2, 3, 0x89);
    open();
    unsigned char buffer[64];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok4103_read_data(1, 3, 8, buffer), 5);
    EXPECT_EQ(writes(), strings({"$036\r", "#038\r"}));
    std::vector<uint8_t> reply = last_read();
    ASSERT_EQ(reply.size(), 5u + 20 + 1);
    EXPECT_EQ(std::memcmp(buffer, reply.data() + 5, 20), 0);
    EXPECT_EQ(buffer[20], SENTINEL);
    m.faults.data_status = 2;  // passed over: the count byte is the result
    EXPECT_EQ(vok4103_read_data(1, 3, 2, buffer), 3);
    EXPECT_EQ(vok4103_read_data(1, 3, 1, buffer), 0);
    EXPECT_EQ(vok4103_read_data(1, 3, 5, buffer), VOK_E_ARG);
}

TEST_F(DriverModels, Model4500ReadsFixedReplies)
{
    sim::Module &m = add_module(4, 4500);
    m.digital_in = 0x5A;
    open();
    unsigned char buffer[16];
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok4500_read_data(1, 4, 0, buffer), 1);
    EXPECT_EQ(buffer[0], 0x5A);
    EXPECT_EQ(buffer[1], SENTINEL);
    EXPECT_EQ(writes(), strings({"#040\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 106}));  // 5 bytes: 6 + 100
    EXPECT_EQ(read_counts(), std::vector<int>{6});

    fake::clear_serial_log("COM1");
    fake::clear_sleep_log();
    EXPECT_EQ(vok4500_read_data(1, 4, 2, buffer), 12);
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 120}));  // 17 bytes: 20.4 + 100
    std::vector<uint8_t> reply = last_read();
    ASSERT_GE(reply.size(), 17u);
    EXPECT_EQ(std::memcmp(buffer, reply.data() + 5, 12), 0);
    EXPECT_EQ(buffer[12], SENTINEL);

    fake::clear_serial_log("COM1");
    fake::clear_sleep_log();
    std::memset(buffer, SENTINEL, sizeof buffer);
    EXPECT_EQ(vok4500_read_data(1, 4, 3, buffer), 8);
    EXPECT_EQ(writes(), strings({"#043\r"}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 115}));  // 13 bytes: 15.6 + 100
    EXPECT_EQ(read_counts(), std::vector<int>{14});
    reply = last_read();
    ASSERT_GE(reply.size(), 13u);
    EXPECT_EQ(std::memcmp(buffer, reply.data() + 5, 8), 0);
    EXPECT_EQ(buffer[8], SENTINEL);

    // Behind an echo every expected length grows by the 5 echoed bytes.
    conv.echo = true;
    open();
    EXPECT_EQ(vok4500_read_data(1, 4, 1, buffer), 1);
    reply = last_read();
    ASSERT_GE(reply.size(), 10u);
    EXPECT_EQ(buffer[0], reply[5 + 3]);
    EXPECT_EQ(vok4500_read_data(1, 4, 2, buffer), 12);
    EXPECT_EQ(read_counts(), (std::vector<int>{11, 23}));
    EXPECT_EQ(sleeps(), (std::vector<int>{25, 112, 25, 126}));  // 10 and 22 bytes
}
