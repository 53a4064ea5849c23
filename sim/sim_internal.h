// Internals shared by the simulator's source files.
#ifndef VOK_SIM_INTERNAL_H
#define VOK_SIM_INTERNAL_H

#include <cstdint>
#include <vector>

#include "sim/sim.h"

namespace sim {

struct Request {
    const uint8_t *f;   // the frame, lead first, CR last
    size_t n;
    int64_t t_us;
    Bus *bus;
};

// The reply of a healthy module to a request addressed to it (empty: it stays silent).
std::vector<uint8_t> module_reply(Module &m, const Request &rq);
// A write the module refuses because of its refuse_writes fault (sim/config_writes.cpp).
bool refuses_write(const Module &m, const Request &rq);
// Starts a restart now: silent for `duration_us` (-1: the reset time by unit count, 5-30 s,
// times `scale`), pending writes applied.
void module_restart(Module &m, int64_t t_us, double scale, int64_t duration_us);
// A write of the output byte (/AAv): sets what the output stage lets through and returns
// the byte the outputs hold afterwards.
uint8_t write_output_byte(Module &m, uint8_t v);
// The ITU of channel c (0..7) that answers to `address` now (a new address counts at once),
// or null.
Unit *itu_at_address(Module &m, int c, int address);

}  // namespace sim

#endif
