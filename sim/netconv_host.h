// voksim's network converters on a real segment (POSIX): hearing every broadcast of the
// device they sit on, and following an IP set or a configuration write to a new address.
#ifndef VOK_SIM_NETCONV_HOST_H
#define VOK_SIM_NETCONV_HOST_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/voksim.h"

namespace voksim {

// UDP socket on 0.0.0.0:port tied to `device`: the broadcasts of that segment, whatever
// subnet they are for. -1 on failure (message printed).
int udp_segment_socket(const std::string &device, int port);

// Keeps each converter's sockets on its current address. Call check() after every event;
// next_due() tells when a pending change takes effect.
class ConverterMoves {
public:
    ConverterMoves(World &w, const Options &o, std::vector<int> &udp, int &tcp_listen);
    void check(int64_t t_us);
    int64_t next_due() const;

private:
    World &w_;
    const Options &o_;
    std::vector<int> &udp_;
    int &tcp_listen_;
    std::vector<uint32_t> at_ip_;  // address each converter's socket is bound to
    uint16_t tcp_port_ = 0;        // port of the TCP listener (converter 0)
    bool own_netns_;
};

}  // namespace voksim

#endif
