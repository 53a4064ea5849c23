// Scripted warming (or cooling) of a channel's units one after another, so that an automatic
// sort can be watched numbering them in that order.
#ifndef VOK_SIM_WARM_H
#define VOK_SIM_WARM_H

#include <string>
#include <vector>

#include "sim/sim.h"

namespace sim {

// Unit order[k] of `channel` holds `from` until start_s + k * gap_s (bus seconds), then moves
// linearly to `to` within rise_s and stays there. Positions beyond the channel are refused.
// Returns false (nothing changed) when a position is out of range or gap_s / rise_s < 0.
bool warm_in_turn(Module &m, int channel, const std::vector<int> &order, double from, double to,
                  double start_s, double gap_s, double rise_s = 1.0);

// Control command "warm ADDR CH GAP_S FROM TO POS...": the words after ADDR, starting now.
// Returns the answer line.
std::string warm_command(Module &m, const std::vector<std::string> &words, int64_t t_us);

}  // namespace sim

#endif
