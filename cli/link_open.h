// vokcli's link: the link settings from the command line and vokcfg.cfg, opening and closing
// the serial port or the network converter, and the error texts that name the link.
#ifndef VOK_CLI_LINK_OPEN_H
#define VOK_CLI_LINK_OPEN_H

#include <stdio.h>

#include "cli/options.h"

// Fills link_settings / net_state from --config and the link options, without opening
// anything. EXIT_OK, or EXIT_USAGE with a one-line error in `error`.
int cli_link_settings(const CliOptions *o, char *error, int error_cap);

// cli_link_settings, then opens the port (with the echo probe) or connects to the network
// converter. EXIT_OK, or an exit code after a one-line error on `err`.
int cli_open_link(const CliOptions *o, FILE *err);
void cli_close_link(void);

// How the link is named in messages: "COM3 at 9600 baud", "127.0.0.1:10001 at 9600 baud".
const char *cli_link_text(void);

// "vokcli: no reply from module 0x12 on COM3 at 9600 baud: check the address, the
// converter type and the baud rate". Returns EXIT_NO_REPLY.
int cli_no_reply(FILE *err, int address);

#endif
