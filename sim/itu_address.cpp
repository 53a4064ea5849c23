// ITU addressing on a channel: an ITU given a new address answers to it at once; the module
// reports the new address (its sort number) only after its next reset.
#include "sim/sim_internal.h"

namespace sim {

Unit *itu_at_address(Module &m, int c, int address)
{
    for (Unit &u : m.channels[c].units) {
        const int now = u.pending_sort >= 0 ? u.pending_sort : u.sort;
        if (u.itu && now == address)
            return &u;
    }
    return nullptr;
}

}  // namespace sim
