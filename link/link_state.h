// The link's records: what the user chose, the open link, the network converter, the
// receive buffer; and the one call by which the program hears that the link opened or closed.
#ifndef VOK_LINK_LINK_STATE_H
#define VOK_LINK_LINK_STATE_H

#include <stdint.h>

#include "platform/net.h"
#include "platform/serial.h"

enum {
    RX_BUFFER_SIZE = 4200,    // receive buffer, also the serial driver's input queue
    HOST_TEXT_MAX = 48,       // characters of NetState.host_text
    BAUD_COUNT = 5,
    CONVERTER_TYPE_COUNT = 8,
};

// Converter types (LinkSettings.converter_type); the path each one takes in bus_exchange.
enum {
    CONVERTER_232 = 0,      // paced
    CONVERTER_USB = 1,      // paced
    CONVERTER_COM485 = 2,   // paced
    CONVERTER_PLM = 3,      // paced, power line
    CONVERTER_NET = 4,      // network converter over TCP
    CONVERTER_RF_NORM = 5,  // polled radio
    CONVERTER_RF_SLOW = 6,  // polled radio
    CONVERTER_S_WAIT = 7,   // polled with the user's reply wait
};

// Line speeds by baud index 0..4: 2400, 4800, 9600, 19200, 38400.
extern const int BaudTable[BAUD_COUNT];

// What the user chose in the communication settings dialog. (file) = kept in vokcfg.cfg.
typedef struct LinkSettings {
    int com_port;             // 1..8, start 1 (file)
    int baud_index;           // 0..4 into BaudTable, start 2 = 9600 (file)
    int converter_type;       // 0..7, start 0 (file)
    uint32_t net_ip;          // network converter address, network byte order, start 192.168.1.100 (file)
    uint16_t net_port;        // TCP port of the network converter, start 10001 (file)
    uint8_t net_baud_index;   // converter's own bus speed 0..4 (other values shown "OUT!"), start 2 (file)
    int16_t reply_wait_ms;    // reply wait of converter type 7, 10..15000, start 50 (file)
    int new_baud_index;       // bus speed chosen for the modules; a change is pending while it
                              // differs from baud_index; start 2 (not stored)
} LinkSettings;

// State of the open link.
typedef struct LinkState {
    int open;                 // 1 while a serial port or the network link is open
    SerialHandle port;        // the open serial port, SERIAL_INVALID when none
    int read_event;           // 1 while the port's read event exists (it lives in the backend)
    int write_event;          // 1 while the port's write event exists
    int os_family;            // SERIAL_OS_9X (98) or SERIAL_OS_NT (40); chooses the write routine
    int echo_on;              // 1 when the converter sends back every byte written
    int echo_len;             // bytes of echo at the head of RxBuffer (request length or 0)
    int searching;            // 1 while the module search scans the bus (short schedule)
} LinkState;

// IPv4 socket address filled before each connect or datagram.
typedef struct NetPeer {
    int family;               // 2 (IPv4)
    uint16_t port;            // host order
    uint32_t ip;              // network byte order
} NetPeer;

// Network converter link and converter discovery.
typedef struct NetState {
    SockHandle tcp;           // TCP socket of the open link, SOCK_INVALID when none
    SockHandle udp;           // UDP socket of the discovery, SOCK_INVALID when none
    NetPeer peer;
    char host_text[HOST_TEXT_MAX + 1];  // typed into the IP/DN field: dotted address or name
    char ip_text[16];         // dotted text of the last resolved or loaded address
    uint32_t ip;              // resolved converter address, network byte order
    uint16_t port_entered;    // PORT field, start 10001; becomes net_port after a connect
} NetState;

extern LinkSettings link_settings;
extern LinkState link_state;
extern NetState net_state;
extern uint8_t RxBuffer[RX_BUFFER_SIZE];   // every exchange fills it from offset 0

// Puts the records above back to their start values; the change handler stays registered.
void link_state_reset(void);

// 192.168.1.100 in network byte order, the default converter address.
uint32_t default_net_ip(void);

// Registers `fn`, called with 1 once the COM port is open and with 0 once it is closed
// (nullptr: nobody is told). The link knows no window; whoever shows the link's state listens.
void link_set_change_handler(void (*fn)(int opened));
// Calls the registered handler, if any.
void link_changed(int opened);

#endif
