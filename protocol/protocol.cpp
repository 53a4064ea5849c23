// Frame building, number encodings and reply checks shared by vokmon, vok3900d and the simulator.
#include "protocol/protocol.h"

#include <string.h>

static const char HEX_DIGITS[] = "0123456789ABCDEF";

void format_address(uint8_t address, char out[2]) { format_hex_byte(address, out); }

void format_hex_byte(uint8_t value, char out[2])
{
    out[0] = HEX_DIGITS[value >> 4];
    out[1] = HEX_DIGITS[value & 0x0F];
}

int build_request(char lead, uint8_t address, const char *part, int part_len, uint8_t *out, int cap)
{
    if (part_len < 0 || (part_len > 0 && part == nullptr) || out == nullptr)
        return -1;
    int len = 3 + part_len + 1;
    if (len > cap)
        return -1;
    out[0] = (uint8_t)lead;
    format_address(address, (char *)out + 1);
    if (part_len > 0)
        memcpy(out + 3, part, (size_t)part_len);
    out[3 + part_len] = FRAME_CR;
    return len;
}

int hex_digit_value(uint8_t c) { return c <= '9' ? (int)c - 0x30 : (int)c - 0x37; }

uint8_t hex_pair_value(const uint8_t *p)
{
    // Arithmetic as the modules' firmware does it; kept to a byte so garbage stays a byte.
    // (A multiply, not a shift: a non-digit below '0' gives a negative nibble.)
    return (uint8_t)(hex_digit_value(p[0]) * 16 + hex_digit_value(p[1]));
}

void format_dec2(int value, char out[2])
{
    if (value < 0)
        value = 0;
    if (value > 99)
        value = 99;
    out[0] = (char)('0' + value / 10);
    out[1] = (char)('0' + value % 10);
}

int dec_pair_value(const uint8_t *p) { return ((int)p[0] - 0x30) * 10 + ((int)p[1] - 0x30); }

static const long BAUD_BY_CODE[] = {1200, 2400, 4800, 9600, 19200, 38400};  // codes 3..8

int baud_code_to_rate(int code)
{
    if (code < 3 || code > 8)
        return 0;
    return (int)BAUD_BY_CODE[code - 3];
}

int baud_rate_to_code(long rate)
{
    for (int i = 0; i < 6; i++)
        if (BAUD_BY_CODE[i] == rate)
            return i + 3;
    return -1;
}

int driver_baud_index_to_code(int index) { return index + 3; }

int driver_baud_code_to_index(int code)
{
    int index = code - 3;
    return (index >= 0 && index <= 5) ? index : -1;
}

int program_baud_index_to_code(int index) { return index + 4; }

int program_baud_code_to_index(int code)
{
    int index = code - 4;
    return (index >= 0 && index <= 4) ? index : -1;
}

char channel_digit(int channel)
{
    if (channel < 0 || channel > 8)
        return 0;
    return (char)('0' + channel);
}

int check_reply(const uint8_t *rx, int received, int echo_len, uint8_t lead,
                const char address_digits[2], int need)
{
    if (rx == nullptr || echo_len < 0 || need < 3 || (long long)received < (long long)echo_len + need)
        return REPLY_SHORT;
    const uint8_t *r = rx + echo_len;
    if (r[0] != lead)
        return REPLY_WRONG_LEAD;
    if (r[1] != (uint8_t)address_digits[0] || r[2] != (uint8_t)address_digits[1])
        return REPLY_WRONG_ADDRESS;
    return REPLY_OK;
}

int check_ack_reply(const uint8_t *rx, int received, int echo_len, const char address_digits[2], int need)
{
    return check_reply(rx, received, echo_len, LEAD_ACK, address_digits, need);
}

int data_reply_length(int records, int record_size)
{
    if (records < 0 || record_size < 0)
        return -1;
    // No reply can be longer than the 4200-byte receive buffers; a larger product would
    // only overflow on its way to a check that must fail anyway.
    if (record_size > 0 && records > (REPLY_BUFFER_MAX - DATA_HEADER) / record_size)
        return -1;
    return DATA_HEADER + records * record_size;
}

int check_data_reply(const uint8_t *rx, int received, int echo_len, const char address_digits[2],
                     int records, int record_size)
{
    int need = data_reply_length(records, record_size);
    if (need < 0)
        return REPLY_SHORT;
    return check_reply(rx, received, echo_len, LEAD_DATA, address_digits, need);
}

int reply_byte(const uint8_t *rx, int received, int echo_len, int pos)
{
    if (rx == nullptr || echo_len < 0 || pos < 0)
        return -1;
    long at = (long)echo_len + pos;
    if (at >= received)
        return -1;
    return rx[at];
}

int reply_copy(const uint8_t *rx, int received, int echo_len, int pos, int count, uint8_t *out, int out_cap)
{
    if (rx == nullptr || out == nullptr || echo_len < 0 || pos < 0 || count < 0 || count > out_cap)
        return -1;
    long at = (long)echo_len + pos;
    if (at + count > received)
        return -1;
    if (count > 0)
        memcpy(out, rx + at, (size_t)count);
    return count;
}

int converter_speed_code(int baud_index)
{
    return 4 - baud_index;
}

int model_from_name(const uint8_t name[7])
{
    int model = 0;
    for (int i = 3; i < 7; i++)
        model = model * 10 + ((int)name[i] - 0x30);
    if (model <= 3900 || model >= 4900)
        return 3900;
    return model;
}
