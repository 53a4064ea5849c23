// Simulated RS-485 bus: modules with their units and ITUs, and the converters (serial and
// network) that put the bus on a host line. Pure logic on a caller-supplied clock (microseconds),
// so the same code runs on virtual time (platform/fake) and on real time (voksim).
#ifndef VOK_SIM_H
#define VOK_SIM_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace sim {

constexpr int64_t NEVER = std::numeric_limits<int64_t>::max();

// Where a unit's quantity comes from, as a function of bus time.
struct Reading {
    enum Kind { Constant, Drift, Sine, Script, Ramp, Steps } kind = Constant;
    double value = 25.0;      // Constant: the value; Drift/Sine: the centre; Ramp: the start
    double amplitude = 0.0;   // Sine: peak deviation; Drift: half the span it wanders over
    double period_s = 60.0;   // Sine / Drift / Ramp: period of one cycle; Steps: 0 or the
                              // length after which the steps start over
    double to = 25.0;         // Ramp: the value reached at the end of each period
    // Script: (time in s, value) points, linear in between, held after the last one.
    // Steps: (time in s, value) points, each value held until the next point's time.
    std::vector<std::pair<double, double>> points;
    double at(int64_t t_us) const;
    static Reading constant(double v)
    {
        Reading r;
        r.value = v;
        return r;
    }
};

// Unit kinds a channel may carry.
enum ItuType : uint8_t {
    ITU_HUMIDITY = 0, ITU_TEMP_HUM = 1, ITU_HIGH_TEMP = 2, ITU_8_TEMP = 3, ITU_8_IN = 4,
    ITU_8_OUT = 5, ITU_4IN_4OUT = 6, ITU_TVOC = 8, ITU_ANALOG = 11,
};

// One unit on a channel: a 1-Wire family unit (id[0] = family code) or an ITU
// (id[0] = ITU type, id[1], id[2] its ID bytes, id[3..7] zero).
struct Unit {
    bool itu = false;
    std::array<uint8_t, 8> id{};
    uint8_t sort = 0;          // sort number the module reports (an ITU's bus address)
    int pending_sort = -1;     // written sort number / ITU address, applied at the next reset
    int pending_id2 = -1;      // written ITU offset (raw ID byte 2), applied at the next reset
    Reading temp;              // temperature (°C) or, for ITU_ANALOG, volts
    Reading hum = Reading::constant(50.0);  // relative humidity (%RH) or second quantity
    uint8_t inputs = 0;        // input bits (ITU types 4, 6; 0x42 IO byte; 4501 digital: state)
    uint8_t outputs = 0;       // output bits (ITU types 5, 6, set by /AAcNNhh); 4501 digital
                               // ITUs: output state, 0 on / 1 off, set by @AAcNNs
    uint8_t point = 0;         // ITU_8_TEMP / ITU_ANALOG: the ITU's own point number 0-7
    uint8_t calibration = 0;   // 0x28 on model 4563: the two offset nibbles of record byte 2
    bool w13 = false;          // 0x28 unit reporting in 1/32 °C steps (record bytes 2-3 0xFF)
    bool absent = false;       // the unit delivers nothing: its record is all 0xFF
    double glitch_every_s = 0; // > 0: every this many seconds of bus time the unit delivers
    double glitch_for_s = 0;   // an all-0xFF record for this long (a glitching sensor)
    bool open = false;         // ITU input open: thermocouple (type 2), point unconnected (3, 11)
    uint8_t family() const { return id[0]; }
};

struct Channel {
    std::vector<Unit> units;    // at most 64
    std::vector<Unit> digital;  // model 4501: the channel's digital ITUs (^AAc, ~AAc, @AAcNNs)
};

// Alarm settings of models 4101-4103 (carried in their $AA6 reply).
struct Alarm {
    int temp_high = 60, temp_low = -10, temp_hysteresis = 2;   // °C, signed bytes
    int hum_high = 80, hum_low = 20, hum_hysteresis = 5;       // %RH (4103 only)
    std::array<uint8_t, 4> temp_enable{0xFF, 0xFF, 0xFF, 0xFF}; // bit per unit 0-31
    std::array<uint8_t, 2> hum_enable{0xFF, 0xFF};              // bit per unit 0-7 of CH1, CH2
};

// Per-module faults, settable from the bus file and at run time.
struct Faults {
    bool silent = false;             // never answers
    int slow_ms = 0;                 // answers this much later than usual
    int short_by = 0;                // drops this many bytes from the end of each reply
    bool wrong_lead = false;         // replaces the lead character by '?'
    bool wrong_address = false;      // answers with the address digits of address + 1
    int split_pieces = 0;            // >1: reply cut into this many pieces ...
    int split_gap_ms = 0;            // ... separated by this gap
    std::vector<uint8_t> garbage;    // bytes sent before each reply
    bool all_ff = false;             // every data record all 0xFF
    int busy_after_reset_ms = 0;     // after a restart, answers with a wrong lead for this long
    bool duplicate_sort = false;     // *AAc reports the first unit's sort number for every unit
    uint8_t data_status = 0;         // status byte of data replies (1, 2: the module's warnings)
    bool refuse_writes = false;      // answers %AA... and $AAW / $AAN with '?', changing nothing
    uint8_t stuck_outputs = 0;       // output bits a /AAv write cannot change (its echo shows them)
};

// One module on the bus.
struct Module {
    uint8_t address = 1;
    std::string name = "VOK4560";    // 7 characters; characters 4-7 are the model number
    uint8_t type_code = 0x40;
    uint8_t baud_code = 6;           // 03..08 (1200..38400); must match the line's baud
    uint8_t format = 0;
    std::string firmware = "V1.00";  // 5 characters; [1] is the generation
    char mode = '0';                 // $AAR: '0' search, '1' storage, other: normal
    uint8_t fault_code = 0, error_mask = 0, warning_mask = 0;
    int state_mask = -1;             // $AA6 state mask; -1: bit n set when channel n has units
                                     // (or digital ITUs)
    int state_mask2 = -1;            // $AA8 state mask; -1: as state_mask
    uint8_t kind_mask_a = 0, kind_mask_b = 0;  // $AAT (4562/4563): ChannelKind a / b masks
    Alarm alarm;                     // 4101-4103
    uint8_t digital_in = 0xFF;       // 4500: input byte (a 0 bit is an input that is on)
    uint8_t digital_out = 0xFF;      // /AAv: output byte last written (4500: a 0 bit is on)
    std::array<Reading, 2> analog{}; // 4500: the two readings of #AA2 (0.0 .. 999.9)
    std::array<Channel, 8> channels;
    Faults faults;
    int turnaround_us = 2000;        // time from the request's CR to the reply's first bit

    // Run-time state.
    int64_t restart_until_us = 0;    // silent until this time (reset, mode switch)
    int64_t busy_until_us = 0;       // busy fault window after a restart

    int model() const;               // from name[3..6], the same rule the host uses
    int unit_count() const;
    int count(int channel) const;    // units on channel 0..7 (or all for 8), capped to 64/512
};

// A reply as the module puts it on the line: pieces, each after a delay.
struct Piece {
    int64_t delay_us = 0;            // from the end of the previous piece (first: from the CR)
    std::vector<uint8_t> bytes;
};
struct Response {
    std::vector<Piece> pieces;
    bool empty() const { return pieces.empty(); }
};

enum class ConverterKind { Rs232, Usb, Rs485, PowerLine, Radio, RadioSlow, UserWait };

// UDP 30718 identity and settings of a network converter.
struct NetConfig {
    std::array<uint8_t, 6> mac{0x00, 0x20, 0x4A, 0x12, 0x34, 0x56};
    uint32_t ip = 0;                 // addresses in network byte order (see ip4)
    uint32_t mask = 0;               // its subnet: directed broadcasts reach it
    uint32_t gateway = 0;
    uint32_t dhcp_ip = 0;            // where it answers from while ip is 0.0.0.0 or 0.0.1.0
    uint32_t wire = 0;               // host interface address whose segment it sits on: that
                                     // interface's broadcasts reach it whatever its own subnet
                                     // (0: only broadcasts of its own subnet)
    uint16_t tcp_port = 10001;
    int restart_ms = 2000;           // a configuration write or IP set takes effect after this
};

// Converter settings a bus file may carry; voksim and tests apply them to their converters.
struct ConverterSetup {
    bool echo = false;
    ConverterKind kind = ConverterKind::Rs232;
    uint32_t baud = 0;               // serial converter's fixed bus speed (0: follows the host)
    uint32_t line_baud = 9600;       // network converter's bus speed
    int speed_code = -1;             // >= 0: the speed code the network converter reports
    NetConfig net;
};

// Traffic observer: (time, true for a request / false for a reply, bytes).
using TrafficHook = std::function<void(int64_t, bool, const std::vector<uint8_t>&)>;

class Bus {
public:
    std::vector<Module> modules;
    double restart_scale = 1.0;      // multiplies restart times (&AA9, $AAW, $AAN)
    ConverterSetup converter;        // from the bus file
    std::vector<ConverterSetup> net_converters;  // further network converters (bus file)
    // The host's interfaces the bus file describes (address, mask; network byte order),
    // for the fake net's interface list.
    std::vector<std::pair<uint32_t, uint32_t>> host_interfaces;
    TrafficHook on_traffic;

    Module *find(uint8_t address);
    Module &add(const Module &m);    // the reference lasts until the next add
    // A request frame (CR included) finished arriving at t_us on a line of `baud` bits/s.
    // Returns what the addressed module sends back (empty: silence).
    Response handle(const uint8_t *frame, size_t n, int64_t t_us, uint32_t baud);
    // Power-cycles a module: silent for its restart time, pending writes applied.
    void power_cycle(uint8_t address, int64_t t_us);
};

// The line model shared by both converter kinds: host bytes go onto the bus at the line's
// bit time (10 bits a byte), a complete frame reaches the modules, the reply comes back
// byte by byte at the same bit time. Bytes for the host are queued with their arrival time.
class BusLine {
public:
    explicit BusLine(Bus *bus) : bus_(bus) {}
    virtual ~BusLine() = default;
    Bus *bus() const { return bus_; }
    void set_bus(Bus *b) { bus_ = b; }

    bool echo = false;               // converter returns every byte the host sends
    int64_t extra_turnaround_us = 0; // added to the module's turnaround (radio links)

    // Host sends n bytes at t_us on a line of `baud`; they go out after any bytes still
    // leaving. Returns the time the last byte has left (the write completes then).
    int64_t send(int64_t t_us, const uint8_t *p, size_t n, uint32_t baud);
    // Moves up to `max` bytes that have arrived at the host by t_us into out; returns the count.
    size_t take(int64_t t_us, std::vector<uint8_t> &out, size_t max = SIZE_MAX);
    // Bytes that will have arrived by t_us (not taken).
    size_t ready(int64_t t_us) const;
    // Arrival time of the next byte not yet taken, or NEVER.
    int64_t next_arrival_us() const;
    // Arrival time of the k-th (0-based) byte not yet taken, or NEVER.
    int64_t arrival_of(size_t k) const;
    // Drops everything in flight in both directions.
    void clear();

protected:
    virtual uint32_t bus_baud(uint32_t host_baud) const { return host_baud; }
    virtual bool garbles(uint32_t /*host_baud*/) const { return false; }
    Bus *bus_;
    int64_t line_free_us_ = 0;       // host -> bus direction busy until
    int64_t reply_free_us_ = 0;      // bus -> host direction busy until
    std::vector<uint8_t> frame_;     // bytes the modules have heard since the last CR
    std::deque<std::pair<int64_t, uint8_t>> to_host_;
    void queue_to_host(int64_t t, uint8_t b);
};

// Serial converter on a COM port (or behind voksim --pty).
class SerialConverter : public BusLine {
public:
    explicit SerialConverter(Bus *bus, ConverterKind k = ConverterKind::Rs232);
    // Bus-side baud fixed by the converter; 0 follows the host's line. Host bytes at another
    // baud arrive garbled on the bus (and in the echo).
    uint32_t baud = 0;
    ConverterKind kind() const { return kind_; }
    void set_kind(ConverterKind k);  // radio kinds add their turnaround (60 ms / 300 ms)
    void apply(const ConverterSetup &s);
protected:
    uint32_t bus_baud(uint32_t host_baud) const override { return baud ? baud : host_baud; }
    bool garbles(uint32_t host_baud) const override { return baud && baud != host_baud; }
private:
    ConverterKind kind_;
};

// Network converter: TCP byte stream carrying raw frames to and from its bus line, plus the
// UDP 30718 discovery / configuration responder.
class NetConverter : public BusLine {
public:
    explicit NetConverter(Bus *bus);
    uint32_t line_baud = 9600;       // the converter's bus speed
    NetConfig config;
    int close_after_bytes = -1;      // >= 0: the converter closes TCP after sending this many
    int speed_code = -1;             // >= 0: speed code its configuration reply carries instead
                                     // of line_baud's (a speed the host has no index for)

    // TCP connection (one at a time).
    void tcp_open(int64_t t_us);
    void tcp_send(int64_t t_us, const uint8_t *p, size_t n);
    size_t tcp_take(int64_t t_us, std::vector<uint8_t> &out, size_t max);
    bool tcp_closed_by_peer(int64_t t_us) const;   // all allowed bytes delivered, then closed
    // One datagram to port 30718; returns the reply datagrams (none for ones it ignores).
    std::vector<std::vector<uint8_t>> udp_datagram(int64_t t_us, const uint8_t *p, size_t n);
    // Applies a configuration write whose restart delay has run out by t_us.
    void settle(int64_t t_us);
    uint32_t current_ip(int64_t t_us) { settle(t_us); return config.ip; }
    // When the next written configuration or IP set takes effect, or NEVER.
    int64_t next_change_us() const { return std::min(pending_at_, pending_ip_at_); }
    // The source address of its datagrams: its IP, or dhcp_ip while it has none.
    uint32_t source_ip(int64_t t_us);
    void apply(const ConverterSetup &s);

    // The 124-byte configuration reply: header, then the record (IP at 4-7, speed code at 21,
    // TCP port at 24-25 low byte first, the rest carried as last written).
    std::vector<uint8_t> config_reply();
protected:
    uint32_t bus_baud(uint32_t) const override { return line_baud; }
private:
    size_t sent_to_host_ = 0;
    std::vector<uint8_t> pending_cfg_;   // configuration reply image to apply
    int64_t pending_at_ = NEVER;
    uint32_t pending_ip_ = 0;
    int64_t pending_ip_at_ = NEVER;
    std::vector<uint8_t> image_;         // the record bytes the converter keeps
};

// Bus files (JSON).
struct BusFileError : std::runtime_error {
    BusFileError(const std::string &file, int line, const std::string &what);
    std::string file;
    int line;
};
// Parses bus-file text; `file` names it in errors. Throws BusFileError.
Bus parse_bus(const std::string &json_text, const std::string &file = "<text>");
Bus load_bus_file(const std::string &path);

// The 4-byte data record of unit u on `channel` of module m at time t, encoded so the host's
// decoders read back u's readings.
std::array<uint8_t, 4> encode_record(const Unit &u, const Module &m, int channel, int64_t t_us);
// Readings that move in steps or saw-tooth ramps, and glitch windows (sim/moving.cpp).
double moving_reading(const Reading &r, double t_s);
bool glitching(const Unit &u, int64_t t_us);
// Number formats (inverse of the host's decoders).
std::array<uint8_t, 2> enc_t16(double celsius);   // lsb, msb; 1/16 °C two's complement
std::array<uint8_t, 2> enc_t32(double celsius);   // lsb, msb; 1/32 °C, 13 bits left-aligned
std::array<uint8_t, 2> enc_sm16(double celsius);  // lo, hi; sign bit 0x08 of hi, 1/16 °C
uint8_t enc_h(double rh);                          // 0.5 %RH steps

// Builders for tests and tools. make_module: name "VOK" + model, type 0x80 for 4101-4103 and
// 0x40 for others unless given. make_sensor: ID family, serial (4 bytes), 0x01, 0x00, CRC-8.
// make_itu: ID type, id1, id2, zeros; sort number (its bus address) = id1.
Module make_module(uint8_t address, int model, uint8_t type_code = 0);
Unit make_sensor(uint8_t family, uint32_t serial, double celsius);
Unit make_itu(uint8_t type, uint8_t id1, uint8_t id2, double value);

// IPv4 address a.b.c.d in network byte order, as platform/net.h carries addresses.
uint32_t ip4(uint8_t a, uint8_t b, uint8_t c, uint8_t d);

std::string hex_text(const std::vector<uint8_t> &bytes);  // "24 30 31 4D 0D"
std::string printable(const std::vector<uint8_t> &bytes); // "$01M\r" style

}  // namespace sim

#endif
