// Fuzz target: the simulator's bus file loader over arbitrary text. The only failure it may
// report is a BusFileError. A bus it accepts must answer requests without fault, and the
// same document written back as plain JSON must load to a bus that answers every request
// alike: what the loader builds depends on the document, not on how its text is spelt.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/protocol.h"
#include "sim/sim.h"

namespace {

// Canonical JSON text of a document the loader accepted: numbers exact, keys in file order.
std::string written_back(const std::string &text)
{
    return nlohmann::ordered_json::parse(text).dump();
}

// Every module's answers to the request set, pieces and their timing, in one list.
std::vector<sim::Piece> answers(sim::Bus &bus)
{
    static const char *REQUESTS[] = {"$%02XM\r", "$%02X6\r", "#%02X8\r", "&%02X0\r", "*%02X1\r",
                                     "$%02X2\r", "$%02XE\r", "#%02X2\r", "~%02X0\r", "$%02X8\r"};
    std::vector<sim::Piece> all;
    int64_t t = 0;
    for (size_t i = 0; i < bus.modules.size() && i < 8; ++i) {
        for (const char *fmt : REQUESTS) {
            char frame[16];
            const int n = snprintf(frame, sizeof frame, fmt, bus.modules[i].address);
            t += 100000;
            // A module answers only at its own speed.
            const int rate = baud_code_to_rate(bus.modules[i].baud_code);
            sim::Response r = bus.handle((const uint8_t *)frame, (size_t)n, t, (uint32_t)(rate ? rate : 9600));
            all.push_back(sim::Piece{-1, {}});  // marks where each answer starts
            all.insert(all.end(), r.pieces.begin(), r.pieces.end());
        }
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text((const char *)data, size);
    sim::Bus bus;
    try {
        bus = sim::parse_bus(text, "fuzz.json");
    } catch (const sim::BusFileError &) {
        return 0;
    }
    const std::string again = written_back(text);
    sim::Bus reloaded;
    try {
        reloaded = sim::parse_bus(again, "again.json");
    } catch (const sim::BusFileError &e) {
        fprintf(stderr, "a bus file that loaded fails to load once written back: line %d: %s\n%s\n", e.line,
                e.what(), again.c_str());
        abort();
    }
    // Writing back is stable: the text written from the reloaded document is the same.
    const std::string third = written_back(again);
    if (third != again) {
        fprintf(stderr, "written-back JSON changes when written again:\n%s\n%s\n", again.c_str(), third.c_str());
        abort();
    }
    const std::vector<sim::Piece> a = answers(bus), b = answers(reloaded);
    bool same = a.size() == b.size() && bus.modules.size() == reloaded.modules.size();
    for (size_t i = 0; same && i < a.size(); ++i) same = a[i].delay_us == b[i].delay_us && a[i].bytes == b[i].bytes;
    if (!same) {
        fprintf(stderr, "the written-back bus answers differently:\n%s\n", again.c_str());
        abort();
    }
    return 0;
}
