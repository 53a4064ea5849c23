// vok_read_config and vok_set_config: a module's configuration, name, firmware and counts.
#include <string.h>

#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "platform/clock.h"
#include "protocol/protocol.h"

#define CONFIG_WAIT_MS 100
#define NAME_WAIT_MS 60
#define COUNTS_WAIT_MS 80
#define SETTLE_MS 5          // short pause between the four requests of one read
#define ACK_READ 20
#define COUNTS_READ 30
#define CONFIG_REPLY 10      // !AA TT CC FF CR
#define NAME_REPLY 11        // !AA name(7) CR
#define FIRMWARE_REPLY 9     // !AA version(5) CR
#define COUNTS_REPLY 22      // !AA SS counts CR
#define WRITE_CONFIG_ECHO 12
#define WRITE_CONFIG_NEED 3  // '!' and the new address; the CR is not waited for

extern "C" VOK_API int VOK_CALL vok_read_config(int port, int address, vok_module_info *info)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    if (info == nullptr)
        return VOK_E_ARG;
    uint8_t addr = (uint8_t)address;
    info->address = addr;
    info->new_address = addr;
    driver_clear();
    if ((rc = driver_ask('$', addr, '2', CONFIG_WAIT_MS, ACK_READ, LEAD_ACK, CONFIG_REPLY)) != 0)
        return rc;
    info->type_code = hex_pair_value(driver_reply_at(3));
    info->baud_index = (uint8_t)(dec_pair_value(driver_reply_at(5)) - 3);
    info->baud_index_set = info->baud_index;
    info->data_format = hex_pair_value(driver_reply_at(7));

    driver_clear();
    sleep_ms(SETTLE_MS);
    if ((rc = driver_ask('$', addr, 'M', NAME_WAIT_MS, ACK_READ, LEAD_ACK, NAME_REPLY)) != 0)
        return rc;
    memcpy(info->name, driver_reply_at(3), 7);

    driver_clear();
    sleep_ms(SETTLE_MS);
    rc = driver_ask('$', addr, 'F', NAME_WAIT_MS, ACK_READ, LEAD_ACK, FIRMWARE_REPLY);
    if (rc == VOK_E_SEND)
        memcpy(info->version, "None", 5);
    if (rc != 0)
        return rc;
    memcpy(info->version, driver_reply_at(3), 5);
    info->version[5] = 0;

    driver_clear();
    sleep_ms(SETTLE_MS);
    rc = driver_ask('$', addr, '6', COUNTS_WAIT_MS, COUNTS_READ, LEAD_ACK, COUNTS_REPLY);
    if (rc == VOK_E_SEND) {
        info->channel_state = 0;
        memset(info->itu_count, 0, sizeof info->itu_count);
    }
    if (rc != 0)
        return rc;
    info->channel_state = hex_pair_value(driver_reply_at(3));
    info->itu_total = 0;
    for (int k = 0; k < 8; k++) {
        info->itu_count[k] = hex_pair_value(driver_reply_at(5 + 2 * k));
        info->itu_total += info->itu_count[k];
    }

    driver_clear();
    return VOK_OK;
}

// The write's reply carries the new address; with an echo the 12-byte request precedes it.
static int write_config(const vok_module_info *info)
{
    uint8_t frame[REQUEST_MAX];
    char part[8];
    format_hex_byte(info->new_address, part);
    format_hex_byte(info->type_code, part + 2);
    format_hex_byte((uint8_t)driver_baud_index_to_code(info->baud_index_set), part + 4);
    format_hex_byte(info->data_format, part + 6);
    int len = build_request('%', info->address, part, 8, frame, REQUEST_MAX);
    int n = driver_request(frame, len, CONFIG_WAIT_MS, ACK_READ);
    if (n == VOK_E_SEND)
        return VOK_E_SEND;
    int rc = driver_check_reply(n, LEAD_ACK, info->new_address, WRITE_CONFIG_NEED);
    return rc == 0 ? VOK_OK : rc;
}

extern "C" VOK_API int VOK_CALL vok_set_config(int port, vok_module_info *info)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    if (info == nullptr || info->baud_index_set >= DRIVER_BAUD_COUNT)
        return VOK_E_ARG;
    driver_clear();
    DriverState.echo_len = DriverState.echo_on ? WRITE_CONFIG_ECHO : 0;
    rc = write_config(info);
    DriverState.echo_len = DriverState.echo_on ? ECHO_LEN_USUAL : 0;
    driver_clear();
    return rc;
}
