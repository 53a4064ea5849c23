// Fake platform backends for tests: serial, clock and net on virtual time, wired to the
// in-process bus simulator. A test links vok_platform_fake instead of vok_platform; no call
// here lets real time pass.
#ifndef VOK_FAKE_PLATFORM_H
#define VOK_FAKE_PLATFORM_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace sim {
class Bus;
class SerialConverter;
class NetConverter;
}

namespace fake {

// Virtual time back to 0; every port, endpoint, host name and interface detached; logs and
// pending failures cleared; OS family back to NT (40). Converters and buses are owned by the
// caller; reset() never touches them (they may be gone already). Attaching a converter drops
// its bytes still in flight.
void reset();

// Virtual time in microseconds since reset().
int64_t now_us();
// Moves virtual time forward (the simulated world runs) without recording a sleep.
void advance_us(int64_t us);

// Whether the serial, net and sleep logs record calls (on at start). A fuzz target turns them
// off: it never reads them, and building them is most of its time. reset() keeps the setting.
void set_logging(bool on);

// Every sleep_ms() argument since reset / clear, in call order (0 and negatives included).
const std::vector<int> &sleep_log();
void clear_sleep_log();
// 1 while clock_init's raised timer resolution has not been given back by clock_shutdown.
int timer_period_raised();

// ---- serial -----------------------------------------------------------------------------

// Makes serial_open(port_name) succeed and connects it to `conv` (nullptr: a port with
// nothing on the line); `conv` must stay alive until the next reset(). Bytes move at 10 bit times a byte at the baud of serial_set_line.
void attach_serial(const std::string &port_name, sim::SerialConverter *conv);
// The port's device goes away (a USB adapter pulled out): it opens no more, and every call
// on a handle still open on it fails (reads and writes -1, the rest 0) until attach_serial.
void unplug_serial(const std::string &port_name);
// serial_os_family() result (SERIAL_OS_NT 40, SERIAL_OS_9X 98, or 0).
void set_os_family(int family);

// Failure injection: the next call of that kind fails once (then behaves again).
enum class Fail {
    Open, CreateEvent, SetLine, Read, Write,                              // serial
    SockStartup, SockCreate, Connect, Send, Recv, Bind, Interfaces, Broadcast,  // net
    ArpLibrary, ArpEntry, Wait                                           // net: ARP probe, select
};
void fail_next(Fail what);
// The call of that kind after the next `calls` ones fails once (fail_after(x, 0) = fail_next).
void fail_after(Fail what, int calls);

struct SerialEvent {
    int64_t t_us;
    enum Kind { Open, Close, SetLine, Purge, ClearErrors, Rts, Dtr, Write, Read, QueueQuery } kind;
    std::vector<uint8_t> bytes;   // Write: the frame; Read: the bytes returned
    int value;                    // SetLine: baud; Purge: flags; Rts/Dtr: 0/1; Read: count asked;
                                  // QueueQuery: input-queue count reported; Write: bytes written
};
// serial_clear_errors() logs QueueQuery when the caller asks for the input-queue count
// (in_queue not null), ClearErrors otherwise; both clear the error state.
const std::vector<SerialEvent> &serial_log(const std::string &port_name);
void clear_serial_log(const std::string &port_name);
// The whole line configuration of a port as the program last set it through the seam: every
// device control field, the queue sizes, the event mask and the time-outs, each with a flag
// telling whether it was set since the port was opened. Null for an unknown port.
struct SerialConfig {
    SerialLine line{};
    bool line_set = false;
    uint32_t in_queue_size = 0, out_queue_size = 0;
    bool queues_set = false;
    uint32_t event_mask = 0;
    bool event_mask_set = false;
    SerialTimeouts timeouts{};
    bool timeouts_set = false;
};
const SerialConfig *serial_config(const std::string &port_name);
// The device control settings a port reports when opened (as an earlier program may have
// left them), so a caller that leaves a field to the device is caught. Default: 9600 8N1,
// everything else 0.
void set_initial_line(const std::string &port_name, const SerialLine &line);

// RTS / DTR as the port has them now (0/1), -1 for an unknown port.
int serial_rts(const std::string &port_name);
int serial_dtr(const std::string &port_name);
// Bytes in the driver's input queue now (what a queue query would report).
int serial_in_queue(const std::string &port_name);

// ---- net --------------------------------------------------------------------------------

// Addresses are IPv4 in network byte order, as in platform/net.h; ports in host order.
// sock_connect to (ip, port) reaches `conv`'s TCP side, and so does (its current IP, its
// configured TCP port) once an IP set or a configuration write has taken effect; any other
// endpoint is refused.
// Frames sent go onto conv's bus line at conv->line_baud; replies become readable as their
// bytes arrive. To have the peer close mid-reply set conv->close_after_bytes (recv then
// returns 0 after that many reply bytes, and sends fail).
void attach_tcp(uint32_t ip, uint16_t port, sim::NetConverter *conv);
// `conv` answers datagrams sent to port 30718 at its address, at 255.255.255.255 and at the
// directed broadcast of its subnet (conv->config.mask). Its address is conv->config.ip, or
// conv->config.dhcp_ip while config.ip is 0.0.0.0 or 0.0.1.0; replies come from there.
void attach_udp(sim::NetConverter *conv);
// The bus file's network converters, made on `bus` into `out` (kept by the caller until the
// next reset), each attached for UDP and for TCP at its address and port; the bus file's host
// interfaces become the interface list.
void attach_bus_net(sim::Bus &bus, std::vector<std::unique_ptr<sim::NetConverter>> &out);
// sock_resolve(name) gives ip; dotted text always resolves.
void add_host(const std::string &name, uint32_t ip);
// sock_local_interfaces() result.
void set_interfaces(const std::vector<uint32_t> &ips, const std::vector<uint32_t> &masks);
// Delay from a datagram sent to its replies being readable (default 2 ms).
void set_udp_latency_us(int64_t us);
// sock_host_name() result ("vokhost" after reset; empty: the name cannot be read).
void set_host_name(const std::string &name);
// net_dhcp_info() result: the 9x registry's DHCP address and mask, or none (after reset).
void set_dhcp_info(bool present, uint32_t ip = 0, uint32_t mask = 0);
// A device at `ip` that answers ARP (attached UDP converters answer at their address).
void add_arp_host(uint32_t ip);
// A datagram of our own making arrives on the UDP socket `s` after `delay_us` (a stray
// answer, a foreign device), as if from ip:port.
void inject_datagram(int64_t delay_us, const std::vector<uint8_t> &bytes, uint32_t ip, uint16_t port = 30718);

struct NetEvent {
    int64_t t_us;
    enum Kind { Startup, Cleanup, Connect, Send, Recv, SendTo, RecvFrom, Close, Bind, Arp, Wait } kind;
    std::vector<uint8_t> bytes;   // Send/SendTo: what was sent; Recv/RecvFrom: what was returned
    uint32_t ip;                  // Connect/SendTo/RecvFrom/Bind/Arp: peer or local address (network order)
    uint16_t port;
    int value;                    // the call's result
    int64_t timeout_us = 0;       // Wait (UDP readability waits only): the time-out asked
};
const std::vector<NetEvent> &net_log();
void clear_net_log();

// ---- console ----------------------------------------------------------------------------

// console_is_terminal() result for CONSOLE_STDOUT / CONSOLE_STDERR (default: no terminal).
void set_terminal(int stream, bool on);
// console_interrupted() turns 1 once virtual time reaches t_us after console_catch_interrupt
// (-1: never).
void interrupt_at_us(int64_t t_us);
// No terminal, no interrupt caught or pending. (reset() leaves the console alone.)
void reset_console();

}  // namespace fake

#endif
