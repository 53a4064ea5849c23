// Module protocol: request frames, number encodings and reply checks. Pure, no I/O, no state.
#ifndef VOK_PROTOCOL_H
#define VOK_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#define FRAME_CR 0x0D
#define LEAD_ACK '!'
#define LEAD_DATA '>'
#define REQUEST_MAX 16   // longest request (12 bytes) with room to spare
#define DATA_HEADER 5    // lead, 2 address digits, status byte, count byte
#define REPLY_BUFFER_MAX 4200  // receive buffer of both deliverables: no reply is longer

// Results of the reply checks.
enum {
    REPLY_OK = 0,
    REPLY_SHORT = -1,          // fewer bytes than echo_len + the reply length
    REPLY_WRONG_LEAD = -2,     // byte at echo_len is not the expected lead
    REPLY_WRONG_ADDRESS = -3,  // bytes at echo_len+1..2 are not the address digits
};

// Writes the two uppercase hex digits of `address` ("%02X") to out[0..1]; no terminator.
void format_address(uint8_t address, char out[2]);

// Frame = lead, address digits, `part` unchanged (part_len bytes), CR.
// Returns the frame length, or -1 when it would not fit in `cap` bytes.
int build_request(char lead, uint8_t address, const char *part, int part_len,
                  uint8_t *out, int cap);

// Value of one hex digit by the modules' rule: c - 0x30 when c <= '9', else c - 0x37.
// Lower-case digits are not supported ('f' gives 0x2F). Result may be out of 0..15
// for characters that are no digit at all.
int hex_digit_value(uint8_t c);

// Byte value of two hex characters: (hi << 4) + lo by the rule above, kept to 8 bits.
uint8_t hex_pair_value(const uint8_t *p);

// Two-digit hex text of a byte ("%02X") into out[0..1].
void format_hex_byte(uint8_t value, char out[2]);

// Two decimal digits ("%02d") of 0..99 into out[0..1]; values outside are clamped.
void format_dec2(int value, char out[2]);

// Decimal value of two digits, each decoded by subtracting 0x30 (the baud code).
int dec_pair_value(const uint8_t *p);

// Baud codes: 03 = 1200 ... 08 = 38400.
int baud_code_to_rate(int code);      // 0 for an unknown code
int baud_rate_to_code(long rate);     // -1 for an unknown rate
// Library table (1200..38400, index 0..5): code = index + 3.
int driver_baud_index_to_code(int index);
int driver_baud_code_to_index(int code);   // -1 when outside 0..5
// Program table (2400..38400, index 0..4): code = index + 4.
int program_baud_index_to_code(int index);
int program_baud_code_to_index(int code);  // -1 when outside 0..4

// Speed code of the network converter's record: 0 = 38400 ... 4 = 2400, the program's
// speed table counted downwards. The same sum maps a code back to its index.
int converter_speed_code(int baud_index);

// Channel digit: '0' + channel for 0..7, '8' for all channels; 0 for anything else.
char channel_digit(int channel);

// Reply checks over a received buffer. `rx` holds `received` bytes (the echo first);
// the reply starts at `echo_len`. `address_digits` are the two digits the reply must
// carry at positions 1-2. `need` is the reply length the command requires (not counting
// the echo). Never reads past rx[received - 1].
int check_reply(const uint8_t *rx, int received, int echo_len, uint8_t lead,
                const char address_digits[2], int need);
int check_ack_reply(const uint8_t *rx, int received, int echo_len,
                    const char address_digits[2], int need);
// Data reply of `records` records of `record_size` bytes: needs 5 + records * record_size.
int check_data_reply(const uint8_t *rx, int received, int echo_len,
                     const char address_digits[2], int records, int record_size);

// Required length of a data reply (header + records, without the closing CR);
// -1 for negative arguments or a length past REPLY_BUFFER_MAX.
int data_reply_length(int records, int record_size);

// Byte at reply position `pos` (counted from echo_len), or -1 when it lies outside
// the `received` bytes. The safe way to read a field of a reply whose length is unchecked.
int reply_byte(const uint8_t *rx, int received, int echo_len, int pos);

// Copies `count` bytes from reply position `pos` into `out` when they all lie inside the
// received bytes and inside `out_cap`; returns the number copied, or -1 (nothing copied).
int reply_copy(const uint8_t *rx, int received, int echo_len, int pos, int count,
               uint8_t *out, int out_cap);

// Model number from a name reply's characters 4-7 (name[3..6]); numbers of 3900 or less
// and 4900 or more are taken as 3900.
int model_from_name(const uint8_t name[7]);

#endif
