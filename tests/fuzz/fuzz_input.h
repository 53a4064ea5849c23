// Fuzz input reader: takes numbers and byte runs off the front of the input, and a scripted
// serial converter that answers each request with the next reply of a script.
#ifndef VOK_TESTS_FUZZ_INPUT_H
#define VOK_TESTS_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "sim/sim.h"

// A property the target checks: its failure is a finding (libFuzzer saves the input).
#define FUZZ_ASSERT(c) \
    do {               \
        if (!(c)) abort(); \
    } while (0)

namespace fuzz {

class Input {
public:
    Input(const uint8_t *p, size_t n) : p_(p), n_(n) {}
    bool empty() const { return pos_ >= n_; }
    size_t left() const { return n_ - pos_; }
    uint8_t byte() { return pos_ < n_ ? p_[pos_++] : 0; }
    int below(int n) { return n > 0 ? byte() % n : 0; }
    // Up to `count` bytes (fewer at the end of the input).
    std::vector<uint8_t> bytes(size_t count)
    {
        count = count < left() ? count : left();
        std::vector<uint8_t> out(p_ + pos_, p_ + pos_ + count);
        pos_ += count;
        return out;
    }
    std::vector<uint8_t> rest() { return bytes(left()); }
    // One of the eleven module models, from one byte.
    int model()
    {
        static const int MODELS[] = {3900, 4101, 4102, 4103, 4300, 4500, 4501, 4560, 4562, 4563, 4598};
        return MODELS[below(11)];
    }

private:
    const uint8_t *p_;
    size_t n_;
    size_t pos_ = 0;
};

// One scripted reply: what the line returns after a request, or nothing.
struct Reply {
    bool silent = false;
    int64_t delay_us = 0;        // from the request's CR to the first reply byte
    std::vector<uint8_t> bytes;
};

// Script of replies from the input: per reply a delay byte (255: silence; else that many
// ms), a length byte (bit 7 set: a second byte follows, 15 bits in all) and the bytes.
std::deque<Reply> read_script(Input &in);

// A serial converter whose replies come from a script instead of modules: each request
// frame that reaches the bus takes the next reply; an empty script is silence.
class ScriptedLine : public sim::SerialConverter {
public:
    ScriptedLine();
    std::deque<Reply> script;
    uint32_t byte_baud = 9600;   // the replies' byte times
    int requests = 0;            // request frames heard so far

private:
    sim::Bus bus_;
    void on_request(int64_t t_us);
};

}  // namespace fuzz

#endif
