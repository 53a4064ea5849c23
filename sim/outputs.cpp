// Output stage of a module: what a write of its output byte really sets.
#include "sim/sim_internal.h"

namespace sim {

uint8_t write_output_byte(Module &m, uint8_t v)
{
    // Stuck bits (a welded relay, a dead driver) keep their state whatever is written; the
    // module reports the byte its outputs really hold.
    const uint8_t stuck = m.faults.stuck_outputs;
    m.digital_out = (uint8_t)((v & ~stuck) | (m.digital_out & stuck));
    return m.digital_out;
}

}  // namespace sim
