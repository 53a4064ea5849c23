// Network converter discovery and configuration over UDP port 30718: the host's own
// interfaces, the converters found on them, their configuration records, bus speed writes
// and IP moves by MAC address, and the ARP test of a candidate address.
#ifndef VOK_NETSETUP_CONVERTER_PROTO_H
#define VOK_NETSETUP_CONVERTER_PROTO_H

#include <stdint.h>

enum {
    LOCAL_IF_MAX = 3,             // host interfaces recorded
    CONVERTER_RECORD_LEN = 120,   // configuration record carried in a 124-byte reply
    CONVERTER_UDP_PORT = 30718,
    CONVERTER_WAIT_US = 1000200,  // readability wait of discovery and configuration reads
    CONVERTER_ACK_WAIT_US = 1000500,  // wait for the acknowledge of a configuration write
    CONVERTER_RESTART_MS = 9000,  // callers wait this long after a write or an IP set
};

// The host's IPv4 interfaces, addresses and masks in network byte order.
typedef struct LocalIf {
    uint32_t addr[LOCAL_IF_MAX];
    uint32_t mask[LOCAL_IF_MAX];
    int count;
} LocalIf;

// The converters of the last discovery. Addresses in host byte order unless noted.
typedef struct ConverterList {
    int count;                    // converters that answered the discovery query
    int selected;                 // the one chosen in the list; speed and IP changes act on it
    int found;                    // 1 after a complete discovery
    uint32_t seen_ip[8];          // source of discovery reply i
    uint8_t seen_mac[8][6];       // MAC carried by discovery reply i
    int seen_if[8];               // interface whose broadcast brought discovery reply i
    int if_index[8];              // interface (into LocalIf) that reaches converter i
    uint32_t cfg_from[8];         // source of configuration reply i
    uint32_t ip[8];               // configured address, or cfg_from when it has none
    int ip_unset[8];              // 1 when ip[i] was taken from cfg_from[i]
    uint16_t port[8];             // TCP port
    uint8_t baud_code[8];         // speed code: 0 = 38400 .. 4 = 2400, 5 and up none of these
    uint8_t config[8][CONVERTER_RECORD_LEN];
    uint8_t mac[8][6];            // MAC of the discovery reply from cfg_from[i]
    uint32_t new_ip;              // address typed by the user, network byte order
} ConverterList;

extern LocalIf local_if;
extern ConverterList converter_list;

// Byte order of a 32-bit IPv4 address: network (dotted) order <-> host order.
uint32_t ip_net_to_host(uint32_t net);
uint32_t ip_host_to_net(uint32_t host);

// Broadcast address of local interface j (network byte order).
uint32_t local_if_broadcast(int j);
// 1 when `ip` (host order) lies in the subnet of local interface j.
int local_if_contains(int j, uint32_t ip);
// 1 when `ip` (host order) lies in the subnet of the interface that reaches converter i.
int converter_subnet_contains(int i, uint32_t ip);

// Starts the socket library and opens the broadcast-enabled datagram socket in
// net_state.udp. 0, -1 (library), -2 (socket; the library is cleaned up again).
int udp_open(void);
// Closes the datagram socket and cleans up the socket library. 0.
int udp_close(void);
// Fills local_if. 0; -1 / -2 (9x family: host name unreadable / unresolvable); -3 / -4 (NT
// family: interface list query failed / fewer than 2 entries). Failures close the socket.
int local_if_query(void);
// Broadcasts the discovery query on every local interface and records the 30-byte replies.
// 0 when at least one converter answered; -3 send failed, -4 wait failed, -7 none answered.
int converter_discover(void);
// Broadcasts the configuration query on every local interface, stores the 124-byte replies
// and matches them to the discovery replies by source address. 0; -3 send, -4 wait failed.
int converter_read_configs(void);
// Writes the bus speed of baud_index into the selected converter's record and sends it back.
// 0 when acknowledged (the socket stays open); -3 send, -4 wait, -5 no answer, -6 receive,
// -7 refused; failures close the socket.
int converter_set_baud(int baud_index);
// Moves the selected converter into the subnet of its interface (last byte 100 or the next
// one free). 0; -1 no free address; -3 send failed. Failures close the socket.
int converter_auto_ip(void);
// Gives the selected converter converter_list.new_ip and records it there. 0; -3 send failed.
int converter_set_ip(void);
// ARP test of converter_list.new_ip: 1 taken, 0 free, -1 / -2 helper library problems.
int arp_probe(void);

// Datagram builders (pure). Each returns the length written into out.
int build_discovery_query(uint8_t out[4]);
int build_config_query(uint8_t out[4]);
int build_config_write(const uint8_t record[CONVERTER_RECORD_LEN], uint8_t out[124]);
// ip_net: the new address in network byte order.
int build_ip_set(const uint8_t mac[6], uint32_t ip_net, uint8_t out[20]);

#endif
