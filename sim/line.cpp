// Line model of the converters: bit times on the wire, echo, turnaround, garbling.
#include <algorithm>

#include "sim/sim.h"

namespace sim {

// Time for `bytes` bytes of 10 bits (start, 8 data, stop) at `baud`.
static int64_t byte_time_us(size_t bytes, uint32_t baud)
{
    return (int64_t)bytes * 10 * 1000000 / (int64_t)baud;
}

// What a UART at one speed makes of a byte sent at another: a deterministic mangle.
static uint8_t garble(uint8_t b)
{
    return (uint8_t)(((b << 3) | (b >> 5)) ^ 0xA5);
}

static bool is_lead(uint8_t b)
{
    return b == '$' || b == '%' || b == '#' || b == '&' || b == '*' || b == '/' || b == '^' ||
           b == '~' || b == '@';
}

void BusLine::queue_to_host(int64_t t, uint8_t b)
{
    // Echo and reply bytes interleave rarely; keep the queue ordered by arrival.
    auto it = to_host_.end();
    while (it != to_host_.begin() && std::prev(it)->first > t)
        --it;
    to_host_.insert(it, {t, b});
}

int64_t BusLine::send(int64_t t_us, const uint8_t *p, size_t n, uint32_t baud)
{
    if (baud == 0)
        baud = 9600;
    const bool mangled = garbles(baud);
    const uint32_t bb = bus_baud(baud);
    const int64_t start = std::max(t_us, line_free_us_);
    for (size_t i = 0; i < n; i++) {
        const int64_t t_end = start + byte_time_us(i + 1, baud);
        const uint8_t b = mangled ? garble(p[i]) : p[i];
        if (echo)
            queue_to_host(t_end, b);
        frame_.push_back(b);
        if (frame_.size() > 64)
            frame_.erase(frame_.begin(), frame_.end() - 64);
        if (b != 0x0D)
            continue;
        // Modules resynchronise on a lead character: noise before it is ignored.
        auto lead = std::find_if(frame_.begin(), frame_.end(), is_lead);
        // The output write /AAv carries v as a raw byte, which may be a CR: no request is
        // shorter than 5 bytes, so a CR right after "/AA" is the value, not the end.
        if (lead != frame_.end() && *lead == '/' && frame_.end() - lead == 4)
            continue;
        std::vector<uint8_t> frame(lead, frame_.end());
        frame_.clear();
        if (frame.size() < 4 || bus_ == nullptr)
            continue;
        Response r = bus_->handle(frame.data(), frame.size(), t_end, bb);
        int64_t t = t_end + extra_turnaround_us;
        for (const Piece &piece : r.pieces) {
            t = std::max(t + piece.delay_us, reply_free_us_);
            for (uint8_t rb : piece.bytes) {
                t += byte_time_us(1, bb);
                queue_to_host(t, mangled ? garble(rb) : rb);
            }
            reply_free_us_ = t;
        }
    }
    line_free_us_ = start + byte_time_us(n, baud);
    return line_free_us_;
}

size_t BusLine::take(int64_t t_us, std::vector<uint8_t> &out, size_t max)
{
    size_t k = 0;
    while (k < max && !to_host_.empty() && to_host_.front().first <= t_us) {
        out.push_back(to_host_.front().second);
        to_host_.pop_front();
        k++;
    }
    return k;
}

size_t BusLine::ready(int64_t t_us) const
{
    size_t k = 0;
    while (k < to_host_.size() && to_host_[k].first <= t_us)
        k++;
    return k;
}

int64_t BusLine::next_arrival_us() const
{
    return to_host_.empty() ? NEVER : to_host_.front().first;
}

int64_t BusLine::arrival_of(size_t k) const
{
    return k < to_host_.size() ? to_host_[k].first : NEVER;
}

void BusLine::clear()
{
    to_host_.clear();
    frame_.clear();
    line_free_us_ = 0;
    reply_free_us_ = 0;
}

SerialConverter::SerialConverter(Bus *bus, ConverterKind k) : BusLine(bus), kind_(k)
{
    set_kind(k);
}

void SerialConverter::set_kind(ConverterKind k)
{
    kind_ = k;
    // Radio links key up the transmitter and wait for the far side before data flows.
    if (k == ConverterKind::Radio)
        extra_turnaround_us = 60000;
    else if (k == ConverterKind::RadioSlow)
        extra_turnaround_us = 300000;
    else
        extra_turnaround_us = 0;
}

void SerialConverter::apply(const ConverterSetup &s)
{
    echo = s.echo;
    baud = s.baud;
    set_kind(s.kind);
}

}  // namespace sim
