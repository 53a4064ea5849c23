// Protocol helpers: frames, encodings, reply checks and the command table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/protocol.h"

namespace {

std::string frame(char lead, uint8_t addr, const std::string &part)
{
    uint8_t buf[REQUEST_MAX];
    int n = build_request(lead, addr, part.data(), (int)part.size(), buf, sizeof buf);
    return n < 0 ? std::string("<error>") : std::string(reinterpret_cast<char *>(buf), (size_t)n);
}

std::vector<uint8_t> bytes(const std::string &s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(Frames, AddressDigitsAreUppercaseHexHighNibbleFirst)
{
    EXPECT_EQ(frame('$', 0x00, "2"), "$002\r");
    EXPECT_EQ(frame('$', 0x0A, "M"), "$0AM\r");
    EXPECT_EQ(frame('#', 0xFF, "8"), "#FF8\r");
    EXPECT_EQ(frame('%', 0x01, "02800603"), "%0102800603\r");  // the 12-byte configuration write
    EXPECT_EQ(frame('%', 0x01, "02800603").size(), 12u);
}

TEST(Frames, RequestThatDoesNotFitIsRefused)
{
    uint8_t buf[5];
    EXPECT_EQ(build_request('$', 1, "2", 1, buf, 5), 5);
    EXPECT_EQ(build_request('$', 1, "22", 2, buf, 5), -1);
    EXPECT_EQ(build_request('$', 1, nullptr, 1, buf, 5), -1);
}

TEST(Encodings, HexDecodingFollowsTheModuleRuleIncludingLowerCase)
{
    EXPECT_EQ(hex_pair_value((const uint8_t *)"00"), 0x00);
    EXPECT_EQ(hex_pair_value((const uint8_t *)"0A"), 0x0A);
    EXPECT_EQ(hex_pair_value((const uint8_t *)"FF"), 0xFF);
    EXPECT_EQ(hex_pair_value((const uint8_t *)"80"), 0x80);
    // Lower case is not supported: 'f' decodes to 0x2F, so "0f" is 0x2F, not 0x0F.
    EXPECT_EQ(hex_digit_value('f'), 0x2F);
    EXPECT_EQ(hex_pair_value((const uint8_t *)"0f"), 0x2F);
    // Characters that are no digit at all still give a byte, by the same arithmetic.
    EXPECT_EQ(hex_pair_value((const uint8_t *)" 0"), (uint8_t)(-16 * 16));
    EXPECT_EQ(hex_pair_value((const uint8_t *)"\r\r"), (uint8_t)((0x0D - 0x30) * 17));
    char out[2];
    for (int v = 0; v < 256; v++) {
        format_hex_byte((uint8_t)v, out);
        ASSERT_EQ(hex_pair_value((const uint8_t *)out), v) << v;
    }
}

TEST(Encodings, BaudCodesForBothTables)
{
    EXPECT_EQ(baud_code_to_rate(6), 9600);
    EXPECT_EQ(baud_code_to_rate(8), 38400);
    EXPECT_EQ(baud_code_to_rate(3), 1200);
    EXPECT_EQ(baud_code_to_rate(9), 0);
    EXPECT_EQ(baud_rate_to_code(2400), 4);
    EXPECT_EQ(baud_rate_to_code(115200), -1);
    EXPECT_EQ(dec_pair_value((const uint8_t *)"06"), 6);
    // Library table 1200..38400: code = index + 3; program table 2400..38400: code = index + 4.
    EXPECT_EQ(driver_baud_index_to_code(3), 6);
    EXPECT_EQ(driver_baud_code_to_index(8), 5);
    EXPECT_EQ(driver_baud_code_to_index(2), -1);
    EXPECT_EQ(program_baud_index_to_code(2), 6);
    EXPECT_EQ(program_baud_code_to_index(3), -1);
    EXPECT_EQ(program_baud_code_to_index(8), 4);
    // The two tables name the same speeds one index apart (the library adds 1200 baud at 0).
    for (int i = 0; i <= 4; i++)
        EXPECT_EQ(driver_baud_index_to_code(i + 1), program_baud_index_to_code(i)) << i;
}

TEST(Encodings, ChannelDigitsAndDecimalFields)
{
    EXPECT_EQ(channel_digit(0), '0');
    EXPECT_EQ(channel_digit(7), '7');
    EXPECT_EQ(channel_digit(8), '8');
    EXPECT_EQ(channel_digit(9), 0);
    EXPECT_EQ(channel_digit(-1), 0);
    char d[2];
    format_dec2(5, d);
    EXPECT_EQ(std::string(d, 2), "05");
    format_dec2(31, d);
    EXPECT_EQ(std::string(d, 2), "31");
}

TEST(Encodings, ModelNumberFromName)
{
    EXPECT_EQ(model_from_name((const uint8_t *)"VOK4101"), 4101);
    EXPECT_EQ(model_from_name((const uint8_t *)"VOK4900"), 3900);
    EXPECT_EQ(model_from_name((const uint8_t *)"VOK3900"), 3900);
    EXPECT_EQ(model_from_name((const uint8_t *)"VOK3901"), 3901);
    EXPECT_EQ(model_from_name((const uint8_t *)"VOK4899"), 4899);
}

TEST(ReplyChecks, ShortWrongLeadAndWrongAddressAreToldApart)
{
    const char addr[2] = {'0', 'A'};
    auto ok = bytes("!0A800606\r");
    EXPECT_EQ(check_ack_reply(ok.data(), (int)ok.size(), 0, addr, 10), REPLY_OK);
    EXPECT_EQ(check_ack_reply(ok.data(), 9, 0, addr, 10), REPLY_SHORT);
    auto lead = bytes(">0A800606\r");
    EXPECT_EQ(check_ack_reply(lead.data(), (int)lead.size(), 0, addr, 10), REPLY_WRONG_LEAD);
    auto other = bytes("!0B800606\r");
    EXPECT_EQ(check_ack_reply(other.data(), (int)other.size(), 0, addr, 10), REPLY_WRONG_ADDRESS);
    // Too short wins over a wrong lead: nothing past the received bytes is looked at.
    EXPECT_EQ(check_ack_reply(lead.data(), 2, 0, addr, 10), REPLY_SHORT);
}

TEST(ReplyChecks, RepliesAreReadAtTheEchoOffset)
{
    const char addr[2] = {'0', '1'};
    // Echoed 5-byte request first, then the reply.
    auto rx = bytes("$016\r!01FF0102030405060708\r");
    EXPECT_EQ(check_ack_reply(rx.data(), (int)rx.size(), 5, addr, 22), REPLY_OK);
    EXPECT_EQ(check_ack_reply(rx.data(), (int)rx.size(), 0, addr, 22), REPLY_WRONG_LEAD);
    EXPECT_EQ(reply_byte(rx.data(), (int)rx.size(), 5, 3), 'F');
    // After a 12-byte configuration write the reply is 12 bytes in and carries the NEW address.
    auto cfg = bytes("%0102800603\r!02\r");
    const char new_addr[2] = {'0', '2'};
    EXPECT_EQ(check_ack_reply(cfg.data(), (int)cfg.size(), 12, new_addr, 4), REPLY_OK);
    EXPECT_EQ(check_ack_reply(cfg.data(), (int)cfg.size(), 12, addr, 4), REPLY_WRONG_ADDRESS);
}

TEST(ReplyChecks, DataReplyLengthComesFromTheCountNotFromCR)
{
    const char addr[2] = {'0', '1'};
    // Two 4-byte records, the first holding 0x0D bytes.
    std::vector<uint8_t> rx = {'>', '0', '1', 0, 2, 0x0D, 0x0D, 0x4B, 0x46, 0xD0, 0x07, 0x4B, 0x46, 0x0D};
    EXPECT_EQ(check_data_reply(rx.data(), (int)rx.size(), 0, addr, 2, 4), REPLY_OK);
    EXPECT_EQ(check_data_reply(rx.data(), 6, 0, addr, 2, 4), REPLY_SHORT);  // cut at the first 0x0D
    EXPECT_EQ(data_reply_length(2, 4), 13);
    EXPECT_EQ(command_reply_length(CMD_READ_DATA, 2), 13);
    EXPECT_EQ(command_reply_length(CMD_READ_IDS, 3), 29);
    EXPECT_EQ(command_reply_length(CMD_READ_SORT, 64), 69);
    // All 512 units of a module in one ID reply still fit; a count that could not fit any
    // receive buffer (or would overflow the product) is refused, never wrapped around.
    EXPECT_EQ(command_reply_length(CMD_READ_IDS, 512), 4101);
    EXPECT_EQ(data_reply_length(0x7FFFFFFF, 8), -1);
    EXPECT_EQ(data_reply_length(0x20000000, 8), -1);  // 2^32 + 5 would wrap to 5
    EXPECT_EQ(check_data_reply(rx.data(), (int)rx.size(), 0, addr, 0x20000000, 8), REPLY_SHORT);
    EXPECT_EQ(check_ack_reply(rx.data(), (int)rx.size(), 0x7FFFFFF0, addr, 0x7FFFFFF0), REPLY_SHORT);
}

TEST(ReplyChecks, FieldAccessNeverRunsPastTheReceivedBytes)
{
    std::vector<uint8_t> rx = {'>', '0', '1', 0, 200, 1, 2, 3};
    uint8_t out[1000];
    // A count byte of 200 must not make a copy run past the 8 bytes received.
    EXPECT_EQ(reply_copy(rx.data(), (int)rx.size(), 0, 5, 200 * 4, out, sizeof out), -1);
    EXPECT_EQ(reply_copy(rx.data(), (int)rx.size(), 0, 5, 3, out, sizeof out), 3);
    EXPECT_EQ(reply_copy(rx.data(), (int)rx.size(), 0, 5, 3, out, 2), -1);  // nor past the destination
    EXPECT_EQ(reply_byte(rx.data(), (int)rx.size(), 0, 7), 3);
    EXPECT_EQ(reply_byte(rx.data(), (int)rx.size(), 0, 8), -1);
    EXPECT_EQ(reply_byte(rx.data(), (int)rx.size(), 5, 3), -1);
}

TEST(Catalogue, RowsMatchTheirRequestShapes)
{
    for (int i = 0; i < CMD_COUNT; i++) {
        const CommandRow *s = command_row((CommandId)i);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->id, i);
        EXPECT_TRUE(s->reply_lead == '!' || s->reply_lead == '>') << i;
        EXPECT_GE(s->request_len, 5) << i;
        EXPECT_LE(s->request_len, 12) << i;
        if (s->command != 0) {
            // A fixed command character makes a 5-byte request of the table's shape.
            std::string f = frame(s->lead, 0x01, std::string(1, s->command));
            EXPECT_EQ((int)f.size(), s->request_len) << i;
        }
    }
    EXPECT_EQ(command_row(CMD_COUNT), nullptr);
    EXPECT_EQ(command_reply_length(CMD_READ_COUNTS, 0), 22);
    EXPECT_EQ(command_reply_length(CMD_WRITE_CONFIG, 0), 4);
    EXPECT_EQ(command_row(CMD_SOFT_RESET)->reply_lead, '>');
}
