// Network converter: raw frames over TCP to its bus line, and the UDP 30718 responder
// (discovery, configuration read/write, IP set by MAC).
#include <cstring>

#include "sim/sim.h"

namespace sim {

// Speed code = 4 - baud index: 0 = 38400 ... 4 = 2400; 5 and up: none of these.
static const uint32_t SPEED_BAUD[5] = {38400, 19200, 9600, 4800, 2400};

static uint8_t speed_code_of(uint32_t baud)
{
    for (uint8_t i = 0; i < 5; i++)
        if (SPEED_BAUD[i] == baud)
            return i;
    return 5;
}

NetConverter::NetConverter(Bus *bus) : BusLine(bus), image_(124, 0) {}

void NetConverter::apply(const ConverterSetup &s)
{
    line_baud = s.line_baud;
    speed_code = s.speed_code;
    config = s.net;
}

void NetConverter::tcp_open(int64_t t_us)
{
    (void)t_us;
    clear();
    sent_to_host_ = 0;
}

void NetConverter::tcp_send(int64_t t_us, const uint8_t *p, size_t n)
{
    settle(t_us);
    send(t_us, p, n, line_baud);
}

size_t NetConverter::tcp_take(int64_t t_us, std::vector<uint8_t> &out, size_t max)
{
    if (close_after_bytes >= 0) {
        const size_t left = (size_t)close_after_bytes > sent_to_host_
                                ? (size_t)close_after_bytes - sent_to_host_ : 0;
        max = std::min(max, left);
    }
    const size_t k = take(t_us, out, max);
    sent_to_host_ += k;
    return k;
}

bool NetConverter::tcp_closed_by_peer(int64_t t_us) const
{
    (void)t_us;
    return close_after_bytes >= 0 && sent_to_host_ >= (size_t)close_after_bytes;
}

void NetConverter::settle(int64_t t_us)
{
    if (t_us >= pending_at_) {
        pending_at_ = NEVER;
        const uint8_t *r = pending_cfg_.data();
        std::memcpy(&config.ip, r + 4, 4);
        if (r[21] < 5) {
            line_baud = SPEED_BAUD[r[21]];
            speed_code = -1;
        }
        config.tcp_port = (uint16_t)(r[24] | (r[25] << 8));
        image_ = pending_cfg_;
    }
    if (t_us >= pending_ip_at_) {
        pending_ip_at_ = NEVER;
        config.ip = pending_ip_;
    }
}

uint32_t NetConverter::source_ip(int64_t t_us)
{
    const uint32_t ip = current_ip(t_us);
    return (ip == 0 || ip == ip4(0, 0, 1, 0)) ? config.dhcp_ip : ip;
}

std::vector<uint8_t> NetConverter::config_reply()
{
    std::vector<uint8_t> r = image_;
    r.resize(124, 0);
    r[0] = r[1] = r[2] = 0;
    r[3] = 0xF9;
    std::memcpy(r.data() + 4, &config.ip, 4);
    r[21] = speed_code >= 0 ? (uint8_t)speed_code : speed_code_of(line_baud);
    r[24] = (uint8_t)(config.tcp_port & 0xFF);
    r[25] = (uint8_t)(config.tcp_port >> 8);
    return r;
}

std::vector<std::vector<uint8_t>> NetConverter::udp_datagram(int64_t t_us, const uint8_t *p, size_t n)
{
    settle(t_us);
    std::vector<std::vector<uint8_t>> out;
    if (n < 4 || p[0] != 0 || p[1] != 0 || p[2] != 0)
        return out;
    switch (p[3]) {
    case 0xF6:
        if (n == 4) {
            std::vector<uint8_t> r(30, 0);
            r[3] = 0xF7;
            std::memcpy(r.data() + 24, config.mac.data(), 6);
            out.push_back(r);
        }
        break;
    case 0xF8:
        if (n == 4)
            out.push_back(config_reply());
        break;
    case 0xFA:
        if (n == 124) {
            pending_cfg_.assign(p, p + 124);
            pending_at_ = t_us + (int64_t)config.restart_ms * 1000;
            out.push_back({0x00, 0x00, 0x00, 0xFB});
        }
        break;
    case 0xFC:
        if (n == 20 && std::memcmp(p + 4, "IP-SETUP", 8) == 0 && p[14] == config.mac[4] &&
            p[15] == config.mac[5]) {
            std::memcpy(&pending_ip_, p + 16, 4);
            pending_ip_at_ = t_us + (int64_t)config.restart_ms * 1000;
        }
        break;
    default:
        break;
    }
    return out;
}

}  // namespace sim
