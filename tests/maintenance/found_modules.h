// The module table as a search leaves it: every module of the bus probed and read.
#ifndef VOK_TESTS_MAINTENANCE_FOUND_MODULES_H
#define VOK_TESTS_MAINTENANCE_FOUND_MODULES_H

#include <gtest/gtest.h>

#include "app/state.h"
#include "display/search.h"
#include "sim/sim.h"

// Probes and reads each module of `bus`, in the order of the bus, then makes `current` the
// selected module; the requests of the search are forgotten.
inline void find_modules(const sim::Bus &bus, int current, std::vector<std::string> &requests)
{
    for (const auto &m : bus.modules) ASSERT_EQ(probe_address(m.address), 1);
    for (int i = 0; i < module_table.count; ++i) ASSERT_EQ(read_module_parameters(i), 0);
    module_table.ready = 1;
    module_table.current = current;
    requests.clear();
}

#endif
