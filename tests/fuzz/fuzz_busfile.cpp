// Fuzz target: the simulator's bus file loader over arbitrary text. The only failure it may
// report is a BusFileError; a bus it accepts must then answer requests without fault.
#include <cstdlib>
#include <string>

#include "protocol/protocol.h"
#include "sim/sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sim::Bus bus;
    try {
        bus = sim::parse_bus(std::string((const char *)data, size), "fuzz.json");
    } catch (const sim::BusFileError &) {
        return 0;
    }
    static const char *REQUESTS[] = {"$%02XM\r", "$%02X6\r", "#%02X8\r", "&%02X0\r", "*%02X1\r",
                                     "$%02X2\r", "$%02XE\r", "#%02X2\r", "~%02X0\r", "$%02X8\r"};
    int64_t t = 0;
    for (size_t i = 0; i < bus.modules.size() && i < 8; ++i) {
        for (const char *fmt : REQUESTS) {
            char frame[16];
            const int n = snprintf(frame, sizeof frame, fmt, bus.modules[i].address);
            t += 100000;
            // A module answers only at its own speed.
            const int rate = baud_code_to_rate(bus.modules[i].baud_code);
            (void)bus.handle((const uint8_t *)frame, (size_t)n, t, (uint32_t)(rate ? rate : 9600));
        }
    }
    return 0;
}
