// Configuration and mode writes of a write-protected module: refused with '?AA', nothing changes.
#include "protocol/catalogue.h"
#include "sim/sim_internal.h"

namespace sim {

bool refuses_write(const Module &m, const Request &rq)
{
    if (!m.faults.refuse_writes || rq.n < 4)
        return false;
    const uint8_t lead = rq.f[0];
    if (lead == '%')
        return rq.n == (size_t)command_row(CMD_WRITE_CONFIG)->request_len;
    return lead == '$' && rq.n == (size_t)command_row(CMD_READ_CONFIG)->request_len &&
           (rq.f[3] == 'W' || rq.f[3] == 'N');
}

}  // namespace sim
