// Terminal dialog on virtual time: frames as typed with the CR in place, the answer shown for
// each lead, the echo offsets, the network converter's reply lengths, silence and the reset
// request handed to the main window.
#include <cstring>

#include "link/timing.h"
#include "maintenance/terminal.h"
#include "platform/clock.h"
#include "tests/maintenance/found_modules.h"

namespace {

class TerminalDialog : public FoundModules {
protected:
    void SetUp() override
    {
        FoundModules::SetUp();
        main_window_features.terminal = &terminal_handlers;
        sim::Module &a = add_module(0x01, 4560);
        a.channels[0].units = {sim::make_itu(1, 0x12, 0x34, 21.5)};
        sim::Module &b = add_module(0x02, 4301);
        b.channels[0].units = {sim::make_sensor(0x28, 0x00A1B2C3, -1.0)};
        sim::Module &c = add_module(0x04, 4500);
        c.analog = {sim::Reading::constant(25.0), sim::Reading::constant(62.5)};
        sim::Module &d = add_module(0x05, 4501);
        d.channels[0].digital = {sim::make_itu(4, 1, 2, 0), sim::make_itu(4, 3, 4, 0)};
    }

    // Opens the terminal, sends each command in turn and returns the answers shown.
    std::vector<std::string> send(const std::vector<std::string> &commands)
    {
        std::vector<std::string> answers;
        headless::on_dialog(IDD_TERMINAL, [&](UiWindow dlg) {
            for (const auto &c : commands) {
                headless::type_text(dlg, IDC_TERM_COMMAND, c);
                headless::click(dlg, IDC_TERM_SEND);
                answers.push_back(win(dlg).ctl(IDC_TERM_ANSWER).text);
            }
        });
        main_window_on_command(window, IDM_TERMINAL);
        return answers;
    }

    static std::string hex(const uint8_t *p, int n, const char *sep)
    {
        std::string s;
        char b[4];
        for (int i = 0; i < n; ++i) {
            snprintf(b, sizeof b, "%02X", p[i]);
            s += b;
            s += sep;
        }
        return s;
    }
};

TEST_F(TerminalDialog, OpensWithBlankFieldsAndTheFocusOnTheCommand)
{
    terminal.reset_redirect = 1;
    std::strcpy(terminal.response, "old");
    main_window_on_command(window, IDM_TERMINAL);
    auto &d = win(headless::last_dialog());
    EXPECT_EQ(d.resource_id, IDD_TERMINAL);
    EXPECT_EQ(d.ctl(IDC_TERM_COMMAND).text, std::string(50, ' '));
    EXPECT_EQ(d.ctl(IDC_TERM_ANSWER).text, std::string(50, ' '));
    EXPECT_EQ(d.focus, IDC_TERM_COMMAND);
    EXPECT_EQ(terminal.reset_redirect, 0);
    EXPECT_EQ(terminal.response[0], 0);
    EXPECT_TRUE(requests.empty());
}

TEST_F(TerminalDialog, SendsAsTypedAndShowsTheReplyByLead)
{
    open_serial(0, 2);
    find_modules(bus, 2, requests);  // the 4500 is selected
    const sim::Module &a = bus.modules[0], &b = bus.modules[1];
    const auto rec = sim::encode_record(a.channels[0].units[0], a, 0, 0);
    const uint8_t data_head[] = {0x00, 0x01};

    struct Row { std::string typed, frame, answer; };
    const std::vector<Row> rows = {
        {"$01M", "$01M", "!01VOK4560"},
        {"$01M" + std::string(46, ' '), "$01M", "!01VOK4560"},  // the rest of the blank line
        {"$012", "$012", "!01400600"},
        {"$01F", "$01F", "!01V1.00"},
        {"#010", "#010", ">01--" + hex(data_head, 2, " ") + hex(rec.data(), 4, " ") + "0D 00 00 00 "},
        {"&010", "&010", ">01--00 01 01 12 34 00 00 00 00 00 "},
        {"#042", "#042", ">04--025.0,062.5,"},          // model 4500 selected: its text
        {"$02*", "$02*", "!02 " + hex(b.channels[0].units[0].id.data(), 8, "") + " -1.00"},
        {"/04A", "/04A", "!04A"},                        // model 4500: 5-byte frame
        {"@050001", "@050001", "!051"},                  // '@' on other models: 8 bytes
        {"$01Q", "$01Q", "?01"},                         // a request the module refuses
        {"~050", "~050", ">05"},                         // shown as text: the zero status ends it
        {"$01MXYZ", "$01M", "!01VOK4560"},               // the CR replaces the fifth character
    };
    std::vector<std::string> typed;
    for (const Row &r : rows) typed.push_back(r.typed);
    const auto answers = send(typed);
    ASSERT_EQ(answers.size(), rows.size());
    ASSERT_EQ(requests.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(requests[i], rows[i].frame) << rows[i].typed;
        EXPECT_EQ(answers[i], rows[i].answer) << rows[i].typed;
    }
    EXPECT_EQ(bus.modules[2].digital_out, 'A');
    EXPECT_EQ(bus.modules[3].channels[0].digital[0].outputs, 1);
    EXPECT_EQ(link_state.echo_len, 0);
}

TEST_F(TerminalDialog, ModelDecidesTheFrameLength)
{
    // '/' is a sort number write of 9 bytes on 4560, 4562 and 4563; '@' a 10-byte ITU write
    // on 4562 and 4563; an address not in the table counts as no special model.
    struct Row { char lead; int model, length; };
    const Row rows[] = {{'/', 4560, 9}, {'/', 4562, 9}, {'/', 4563, 9}, {'/', 4500, 5}, {'/', 0, 5},
                        {'@', 4562, 10}, {'@', 4563, 10}, {'@', 4560, 8}, {'@', 0, 8},
                        {'%', 0, 12}, {'S', 4560, 6}, {'$', 4562, 5}, {'#', 0, 5}};
    for (const Row &r : rows) EXPECT_EQ(terminal_frame_length(r.lead, r.model), r.length) << r.lead << r.model;

    open();
    send({"/010\x11\x12XYZ", "/330\x11\x12XYZ"});
    const auto heard = distinct_requests();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], "/010\x11\x12XY");  // nine bytes, the ninth the CR
    EXPECT_EQ(heard[1], "/330");            // address 33 is not in the table
}

TEST_F(TerminalDialog, AddressWriteOfTwelveTypedCharactersMovesTheModule)
{
    open();
    const auto answers = send({"%0122400600Q", "$22M", "$01M"});
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0], "%0122400600");
    EXPECT_EQ(answers, (std::vector<std::string>{"!22", "!22VOK4560", "No response!"}));
}

TEST_F(TerminalDialog, EchoIsSkippedByTheFrameLengthAndPutBackAfterwards)
{
    open(1);
    ASSERT_EQ(link_state.echo_on, 1);
    const auto answers = send({"%0101400600Q", "@050001", "$01M", "$33M"});
    EXPECT_EQ(answers, (std::vector<std::string>{"!01", "!051", "!01VOK4560", "No response!"}));
    EXPECT_EQ(link_state.echo_len, 5);
}

TEST_F(TerminalDialog, SilenceShowsNoResponseWithTheExclamationBeep)
{
    open();
    bus.modules[0].faults.silent = true;
    headless::beeps().clear();
    EXPECT_EQ(send({"$01M", "$04M"}), (std::vector<std::string>{"No response!", "!04VOK4500"}));
    EXPECT_EQ(headless::beeps(), (std::vector<int>{UI_BEEP_WARNING, UI_BEEP_DEFAULT}));
    EXPECT_TRUE(headless::boxes().empty());
}

TEST_F(TerminalDialog, ResetRequestGoesToTheMainWindowUnsent)
{
    open();
    send({"&019", "$01M"});
    EXPECT_TRUE(requests.empty());  // the dialog closed before the second
    EXPECT_EQ(terminal.reset_redirect, 1);
    EXPECT_EQ(win(window).posted, std::deque<int>{IDM_RESET});
    EXPECT_TRUE(win(headless::last_dialog()).ended);

    // '&' with another fourth character is an ordinary request.
    win(window).posted.clear();
    send({"&010"});
    EXPECT_EQ(requests, std::vector<std::string>{"&010"});
    EXPECT_TRUE(win(window).posted.empty());
}

TEST_F(TerminalDialog, NetworkConverterWaitsForAWholeChannelOrModule)
{
    open_net(2);
    find_modules(bus, 0, requests);
    struct Row { const char *typed; int expect; };
    const Row rows[] = {{"#018", 2100}, {"#013", 280}, {"&018", 4150}, {"&017", 550}, {"*010", 40}, {"$01M", 40}};
    for (const Row &r : rows) {
        fake::clear_sleep_log();
        send({r.typed});
        const auto &log = fake::sleep_log();
        ASSERT_FALSE(log.empty()) << r.typed;
        EXPECT_EQ(log.front(), net_wait(2, 0, 5 + r.expect)) << r.typed;
    }
}

TEST(TerminalAnswer, DecodesReplyBytesByLeadAndCommand)
{
    struct Row { const char *command; int o; std::vector<uint8_t> reply; int is_4500; std::string answer; };
    const std::vector<Row> rows = {
        // A CR after the lead and address ends the answer there, whatever follows.
        {"$016", 0, {'!', '0', '1', 0x0D, 'A', 'B', 'C'}, 0, "!01"},
        {"$01R", 0, {0x0D, '!', '0', '1'}, 0, ""},
        // The answer never runs past the display length of its request.
        {"$01T", 0, {'!', '0', '1', 'A', 'B', 'C', 'D', 'E', 'F', 'G'}, 0, "!01ABCDE"},
        {"@0100", 0, {'!', '0', '1', '2', '3', '4', '5', '6'}, 0, "!01234"},
        {"Y01", 0, std::vector<uint8_t>(30, 'z'), 0, std::string(25, 'z')},
        // Echo bytes in front are skipped by the offset.
        {"$01M", 5, {'$', '0', '1', 'M', 0x0D, '!', '0', '1', 'X', 0x0D}, 0, "!01X"},
        // A zero byte ends the text; bytes above 0x7F are kept for the display to map.
        {"$01F", 0, {'!', '0', '1', 'V', 0, 'W', 0x0D}, 0, "!01V"},
        {"$01F", 0, {'!', '0', '1', 0xB0, 0x0D}, 0, "!01\xB0"},
        // Temperatures: sign bit 3 of the high byte, 1/16 degree steps.
        {"$01*", 0, {'!', '0', '1', 1, 2, 3, 4, 5, 6, 7, 8, 0x08, 0x10, 0x0D}, 0, "!01 0102030405060708 -1.00"},
        {"$01*", 0, {'!', '0', '1', 1, 2, 3, 4, 5, 6, 7, 8, 0x01, 0x90, 0x0D}, 0, "!01 0102030405060708 +25.00"},
        {"^010", 0, {'>', '0', '1', 0, 1, 0xAB, 0xCD}, 0, ">01--00 01 AB CD 00 00 00 00 00 00 "},
        {"*011", 0, {'>', '0', '1', 0, 1, 0xAB, 0xCD}, 1, ">01--00 01 AB CD 00 00 00 00 00 00 "},
    };
    for (const Row &r : rows) {
        uint8_t rx[64] = {};
        std::memcpy(rx, r.reply.data(), r.reply.size());
        char out[TERMINAL_BUFFER];
        const int n = terminal_answer(rx, r.o, r.command, r.is_4500, out, sizeof out);
        EXPECT_EQ(std::string(out), r.answer) << r.command;
        EXPECT_EQ(n, static_cast<int>(r.answer.size())) << r.command;
    }
}

}  // namespace
