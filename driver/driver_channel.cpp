// Channel reads: data, IDs and sort numbers of a channel's units (count first, then the
// data request), and the model-specific reads of models 4103 and 4500.
#include <string.h>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "protocol/protocol.h"

#define COUNTS_WAIT_MS 80
#define COUNTS_READ 30
#define COUNTS_REPLY 22
#define ALL_CHANNELS 8

typedef enum ChannelRead { READ_TEMP, READ_ID, READ_SORT, READ_4103 } ChannelRead;

// $AA6: the unit count of `channel` (8 = all, the sum kept to a byte as the modules count).
// Model 4103 carries three raw count bytes at 5-7 instead of eight hex pairs.
static int read_channel_count(uint8_t address, int channel, int raw_4103, int *count)
{
    int rc = driver_ask('$', address, '6', COUNTS_WAIT_MS, COUNTS_READ, LEAD_ACK, COUNTS_REPLY);
    if (rc != 0)
        return rc;
    int channels = raw_4103 ? 3 : 8;
    int counts[8] = {0};
    int sum = 0;
    for (int k = 0; k < channels; k++) {
        counts[k] = raw_4103 ? driver_reply_at(5 + k)[0] : hex_pair_value(driver_reply_at(5 + 2 * k));
        sum += counts[k];
    }
    *count = channel == ALL_CHANNELS ? sum % 256 : counts[channel];
    return 0;
}

// Sends the data request for `channel` and checks a data reply of `count` records:
// 0, or the failure code.
static int read_data_reply(char lead, uint8_t address, int channel, int count, int record_size)
{
    uint8_t frame[REQUEST_MAX];
    driver_clear();
    int len = driver_short_request(lead, address, channel_digit(channel), frame);
    int expected = DriverState.echo_len + DATA_HEADER + count * record_size;
    int n = driver_request(frame, len, data_wait_ms(expected), expected + 1);
    if (n == VOK_E_SEND)
        return VOK_E_SEND;
    return driver_check_reply(n, LEAD_DATA, address, DATA_HEADER + count * record_size);
}

static int read_channel(int port, int address, int channel, unsigned char *buffer, ChannelRead kind)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    if (channel < 0 || channel > ALL_CHANNELS || buffer == nullptr)
        return VOK_E_ARG;
    if (kind == READ_4103 && channel > 2 && channel != ALL_CHANNELS)
        return VOK_E_ARG;
    uint8_t addr = (uint8_t)address;
    static const char LEADS[] = {'#', '&', '*', '#'};
    static const int RECORD_SIZES[] = {4, 8, 1, 4};
    char lead = LEADS[kind];
    int record_size = RECORD_SIZES[kind];

    driver_clear();
    int count = 0;
    if ((rc = read_channel_count(addr, channel, kind == READ_4103, &count)) != 0)
        return rc;
    if (count == 0)
        return 0;
    if ((rc = read_data_reply(lead, addr, channel, count, record_size)) != 0)
        return rc;

    int status = driver_reply_at(3)[0];
    int count_byte = driver_reply_at(4)[0];
    if (kind == READ_SORT) {
        // The count byte may disagree with $AA6 (a unit came or went between the two
        // requests); the caller's buffer and the checked reply hold only `count` numbers.
        int m = count_byte < count ? count_byte : count;
        memcpy(buffer, driver_reply_at(DATA_HEADER), (size_t)m);
        return m;
    }
    memcpy(buffer, driver_reply_at(DATA_HEADER), (size_t)count * (size_t)record_size);
    if (kind == READ_4103)
        return count_byte;
    if (status == 2)
        return 512;
    if (status == 1)
        return 256 + count_byte;
    return count_byte;
}

extern "C" VOK_API int VOK_CALL vok_read_temp(int port, int address, int channel, unsigned char *buffer)
{
    return read_channel(port, address, channel, buffer, READ_TEMP);
}

extern "C" VOK_API int VOK_CALL vok_read_id(int port, int address, int channel, unsigned char *buffer)
{
    return read_channel(port, address, channel, buffer, READ_ID);
}

extern "C" VOK_API int VOK_CALL vok_read_sortnum(int port, int address, int channel, unsigned char *buffer)
{
    return read_channel(port, address, channel, buffer, READ_SORT);
}

extern "C" VOK_API int VOK_CALL vok4103_read_data(int port, int address, int channel, unsigned char *buffer)
{
    return read_channel(port, address, channel, buffer, READ_4103);
}

// Model 4500 has no $AA6 step: each channel digit names a fixed-length reply.
extern "C" VOK_API int VOK_CALL vok4500_read_data(int port, int address, int channel, unsigned char *buffer)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    if (channel < 0 || channel > 3 || buffer == nullptr)
        return VOK_E_ARG;
    static const int PAYLOAD[4] = {0, 0, 12, 8};  // bytes after the 5-byte header
    uint8_t addr = (uint8_t)address;
    if ((rc = read_data_reply('#', addr, channel, PAYLOAD[channel], 1)) != 0)
        return rc;
    if (channel < 2) {
        buffer[0] = driver_reply_at(3)[0];
        return 1;
    }
    memcpy(buffer, driver_reply_at(DATA_HEADER), (size_t)PAYLOAD[channel]);
    return PAYLOAD[channel];
}
