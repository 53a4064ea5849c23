// Control calls: soft reset, digital output, fault status and ITU outputs.
#include "driver/driver_state.h"
#include "driver/vok3900d.h"
#include "protocol/protocol.h"

#define RESET_WAIT_MS 80
#define RESET_READ 10
#define RESET_REPLY 4     // >AA CR
#define WRITE_DO_WAIT_MS 80
#define WRITE_DO_NEED 5   // !AA v CR
#define FAULT_WAIT_MS 30
#define FAULT_FIELDS 9    // !AA FC EM WM: the three fields without the CR
#define ITU_DO_WAIT_MS 100
#define ITU_DO_ECHO 9     // /AAcNNhh CR

extern "C" VOK_API int VOK_CALL vok_soft_reset(int port, int address)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    driver_clear();
    rc = driver_ask('&', (uint8_t)address, '9', RESET_WAIT_MS, RESET_READ, LEAD_DATA, RESET_REPLY);
    driver_clear();
    return rc == 0 ? VOK_OK : rc;
}

extern "C" VOK_API int VOK_CALL vok_write_do(int port, int address, int value)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    uint8_t addr = (uint8_t)address;
    uint8_t frame[REQUEST_MAX];
    char v = (char)(value & 0xFF);
    driver_clear();
    int len = driver_short_request('/', addr, v, frame);
    int n = driver_request(frame, len, WRITE_DO_WAIT_MS, DriverState.echo_len + WRITE_DO_NEED + 1);
    if (n == VOK_E_SEND)
        return VOK_E_SEND;
    if (n < DriverState.echo_len + WRITE_DO_NEED)
        return VOK_E_SHORT;
    // The module repeats the value it took; its address in the reply is not compared.
    if (driver_reply_at(0)[0] != LEAD_ACK || driver_reply_at(3)[0] != (uint8_t)v)
        return VOK_E_REPLY;
    return VOK_OK;
}

extern "C" VOK_API int VOK_CALL vok_err_report(int port, int address, int *status)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    if (status == nullptr)
        return VOK_E_ARG;
    uint8_t addr = (uint8_t)address;
    uint8_t frame[REQUEST_MAX];
    driver_clear();
    int len = driver_short_request('$', addr, 'E', frame);
    int n = driver_request(frame, len, FAULT_WAIT_MS, DriverState.echo_len + 11);
    if (n == VOK_E_SEND)
        return VOK_E_SEND;
    // Any other answer means "no fault status available" (0). A '!' reply cut short before
    // its three fields would decode to garbage, so it counts as no status too.
    if (n >= DriverState.echo_len + FAULT_FIELDS && driver_reply_at(0)[0] == LEAD_ACK)
        *status = (hex_pair_value(driver_reply_at(3)) << 16) |
                  (hex_pair_value(driver_reply_at(5)) << 8) | hex_pair_value(driver_reply_at(7));
    else
        *status = 0;
    return VOK_OK;
}

extern "C" VOK_API int VOK_CALL vok_itu_do(int port, int address, int channel, int itu, int value)
{
    int rc = driver_check_port(port);
    if (rc != 0)
        return rc;
    int ch = channel & 0xFF;
    int index = itu & 0xFF;
    if (ch >= 8 || index >= 32)
        return VOK_E_ARG;
    uint8_t addr = (uint8_t)address;
    char part[5];
    part[0] = channel_digit(ch);
    format_dec2(index, part + 1);
    format_hex_byte((uint8_t)(value & 0xFF), part + 3);
    uint8_t frame[REQUEST_MAX];
    int len = build_request('/', addr, part, 5, frame, REQUEST_MAX);

    if (DriverState.echo_on)
        DriverState.echo_len = ITU_DO_ECHO;
    driver_clear();
    int n = driver_request(frame, len, ITU_DO_WAIT_MS, DriverState.echo_len + 5);
    if (n == VOK_E_SEND) {
        driver_clear();
        rc = VOK_E_SEND;
    } else {
        // The acknowledgement's lead alone tells whether the output was set.
        rc = driver_reply_at(0)[0] == LEAD_ACK ? VOK_OK : VOK_E_REPLY;
    }
    if (DriverState.echo_on)
        DriverState.echo_len = ECHO_LEN_USUAL;
    return rc;
}
