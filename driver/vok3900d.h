/* vok3900d: the module protocol as 13 plain C calls (Windows DLL, Linux shared object).
 *
 * Every call returns an int. VOK_OK (-1) is success; -2 .. -10 are failures (below);
 * values of 0 and above are the results (counts) of the read calls.
 *
 * One port is served at a time, by one calling thread at a time (no locks).
 *
 * Ports: port n (1..32) is "COMn" on Windows. On Linux port n opens the device named by
 * the environment variable VOK_COM<n> when it is set (for example VOK_COM1=/dev/ttyUSB0;
 * vokmon and vokcli read the same name), else by VOK3900D_COM<n>, otherwise /dev/ttyS<n-1>.
 *
 * Baud index (0..5): 1200, 2400, 4800, 9600, 19200, 38400.
 * Line mode (0..2): how RTS/DTR key an RS-485 converter's transmitter:
 *   0 lines left alone; 1 RTS raised only while sending, DTR on;
 *   2 DTR raised only while sending, RTS on.
 */
#ifndef VOK3900D_H
#define VOK3900D_H

#if defined(_WIN32)
#  define VOK_CALL __stdcall
#  if defined(VOK3900D_BUILD)
#    define VOK_API /* names and ordinals come from vok3900d.def */
#  elif defined(VOK3900D_STATIC)
#    define VOK_API
#  else
#    define VOK_API __declspec(dllimport)
#  endif
#else
#  define VOK_CALL
#  define VOK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Return codes. */
#define VOK_OK          (-1)  /* success */
#define VOK_E_NOT_READY (-2)  /* the library's work buffer does not exist */
#define VOK_E_ARG       (-3)  /* an argument is out of range or a pointer is null */
#define VOK_E_OPEN      (-4)  /* opening the port failed */
#define VOK_E_EVENT     (-5)  /* creating an I/O event failed */
#define VOK_E_SETUP     (-6)  /* applying the line settings failed */
#define VOK_E_PORT      (-7)  /* the port given is not the open port */
#define VOK_E_SEND      (-8)  /* the request found no answer after all send attempts */
#define VOK_E_SHORT     (-9)  /* the reply is shorter than required */
#define VOK_E_REPLY     (-10) /* the reply has the wrong lead character or address */

/* A module's configuration. Natural C alignment: sizeof 36, itu_total at offset 8. */
typedef struct vok_module_info {
    unsigned char address;         /* read: the address asked for; set: current address */
    unsigned char new_address;     /* read: the address asked for; set: address to give */
    unsigned char type_code;       /* module type code */
    unsigned char baud_index;      /* read: baud index 0..5 of the module */
    unsigned char baud_index_set;  /* read: same as baud_index; set: baud index to write */
    unsigned char data_format;     /* data format byte */
    int itu_total;                 /* read: sum of the eight channel counts */
    unsigned char channel_state;   /* read: bit n set = channel n in use */
    unsigned char itu_count[8];    /* read: units on CH0..CH7 */
    char name[8];                  /* read: the 7 name characters (name[7] not written) */
    char version[6];               /* read: 5 firmware characters and a zero */
} vok_module_info;

/* Opens port 1..32 at baud index 0..5 with line mode 0..2, closing any open port first,
 * and probes whether the converter echoes. -1, or -2 .. -6. */
VOK_API int VOK_CALL vok_com_open(int port, int baud_index, int line_mode);
/* Closes the open port. -1, -2, -3 or -7. */
VOK_API int VOK_CALL vok_com_close(int port);
/* Gives the module at info->address the address info->new_address, the type code, the baud
 * index info->baud_index_set and the data format. -1 or failure. The module then answers
 * only at its new address (and baud rate: close and reopen the port at the new index). */
VOK_API int VOK_CALL vok_set_config(int port, vok_module_info *info);
/* Reads configuration, name, firmware and channel counts of the module at `address`.
 * -1 or failure; what was read before a failure stays filled (no firmware answer: version
 * "None"; no count answer: channel_state and itu_count zeroed). */
VOK_API int VOK_CALL vok_read_config(int port, int address, vok_module_info *info);
/* Raw 4-byte records of the units of channel 0..7 (8 = all). Count, 256 + count for
 * status 1, 512 for status 2, or failure. Buffer: 4 bytes per unit (up to 255 units). */
VOK_API int VOK_CALL vok_read_temp(int port, int address, int channel, unsigned char *buffer);
/* 8-byte IDs of the units of channel 0..8; results as vok_read_temp. */
VOK_API int VOK_CALL vok_read_id(int port, int address, int channel, unsigned char *buffer);
/* Soft reset of the module. -1 or failure. */
VOK_API int VOK_CALL vok_soft_reset(int port, int address);
/* Sort numbers (1 byte per unit) of channel 0..8. Number copied, or failure. */
VOK_API int VOK_CALL vok_read_sortnum(int port, int address, int channel, unsigned char *buffer);
/* Writes the module's digital output character (low byte of value). -1 or failure. */
VOK_API int VOK_CALL vok_write_do(int port, int address, int value);
/* *status = fault code << 16 | error mask << 8 | warning mask, 0 when none is available. */
VOK_API int VOK_CALL vok_err_report(int port, int address, int *status);
/* Model 4103: 4-byte records of channel 0, 1, 2 or 8. Count byte of the reply, or failure. */
VOK_API int VOK_CALL vok4103_read_data(int port, int address, int channel, unsigned char *buffer);
/* Model 4500: channel 0/1 inputs (1 byte, returns 1), 2 (12 bytes), 3 (8 bytes). */
VOK_API int VOK_CALL vok4500_read_data(int port, int address, int channel, unsigned char *buffer);
/* Sets output `value` of unit 0..31 on channel 0..7. -1 or failure. */
VOK_API int VOK_CALL vok_itu_do(int port, int address, int channel, int itu, int value);

#ifdef __cplusplus
}
#endif

#endif
