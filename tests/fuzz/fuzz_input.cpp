// Script reader and scripted converter of the fuzz targets and fault scenarios.
#include "tests/fuzz/fuzz_input.h"

namespace fuzz {

std::deque<Reply> read_script(Input &in)
{
    std::deque<Reply> out;
    while (!in.empty()) {
        Reply r;
        const uint8_t delay = in.byte();
        r.silent = delay == 255;
        r.delay_us = (int64_t)delay * 1000;
        size_t len = in.byte();
        if (len & 0x80) len = ((len & 0x7F) << 8) | in.byte();
        r.bytes = in.bytes(len);
        out.push_back(std::move(r));
    }
    return out;
}

ScriptedLine::ScriptedLine() : sim::SerialConverter(nullptr)
{
    set_bus(&bus_);
    bus_.on_traffic = [this](int64_t t, bool to_bus, const std::vector<uint8_t> &) {
        if (to_bus) on_request(t);
    };
}

void ScriptedLine::on_request(int64_t t_us)
{
    ++requests;
    if (script.empty()) return;
    Reply r = std::move(script.front());
    script.pop_front();
    if (r.silent) return;
    const int64_t byte_us = (int64_t)10 * 1000000 / (byte_baud ? byte_baud : 9600);
    int64_t t = std::max(t_us + r.delay_us, reply_free_us_);
    for (uint8_t b : r.bytes) {
        t += byte_us;
        queue_to_host(t, b);
    }
    reply_free_us_ = t;
}

}  // namespace fuzz
