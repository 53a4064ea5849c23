// vokcli's command line: the subcommand, the link options and the options of each subcommand.
// Parsing is pure: it fills CliOptions or writes a one-line error text.
#ifndef VOK_CLI_OPTIONS_H
#define VOK_CLI_OPTIONS_H

// Exit codes of vokcli.
enum {
    EXIT_OK = 0,
    EXIT_NO_REPLY = 1,   // the bus stayed silent: no module found, module did not answer
    EXIT_USAGE = 2,      // bad command line or settings file
    EXIT_LINK = 3,       // the port or the network converter cannot be opened
    EXIT_BAD_REPLY = 4,  // a module answered, but not with what was asked for
    EXIT_FILE = 5,       // an output file cannot be written
    EXIT_INTERRUPTED = 130,  // stopped by Ctrl-C (what was done so far is shown)
};

typedef enum CliCommand {
    CLI_NONE,
    CLI_SEARCH,
    CLI_READ,
    CLI_WATCH,
    CLI_IDS,
    CLI_EXPORT,
    CLI_RAW,
    CLI_DISCOVER,
    CLI_HELP,
} CliCommand;

typedef enum CliFormat { FORMAT_TEXT, FORMAT_CSV, FORMAT_JSON } CliFormat;

enum { CLI_ERROR_MAX = 256, CLI_PORT_MAX = 128, CLI_CHANNEL_ALL = 8 };

typedef struct CliOptions {
    CliCommand command;
    int help;                  // --help: the help of the command (or the overview)
    // Link.
    char port[CLI_PORT_MAX];   // --port: device, COMn or host:port; "" when not given
    int converter;             // --converter 0..7, -1 when not given
    int baud;                  // --baud in baud, 0 when not given
    int wait_ms;               // --wait, -1 when not given
    const char *config;        // --config FILE, or nullptr
    const char *trace;         // --trace FILE, or nullptr
    // Subcommands.
    int address;               // module address 0..255 (read, watch, ids, export), -1 when none
    int channel;               // 0..7 or CLI_CHANNEL_ALL; -1 when not given
    int fast;                  // search --fast
    CliFormat format;          // --json / --csv / --format
    int quiet;                 // --quiet: no progress line
    double period_s;           // watch --period
    int count;                 // watch --count (0: until interrupted)
    double give_up_s;          // watch --give-up-after: seconds without a reading (0: never)
    int excel;                 // watch --excel: a new CSV starts with a UTF-8 byte order mark
    const char *out;           // watch --out CSV file; export --dir directory
    const char *request;       // raw REQUEST as typed, without its CR
} CliOptions;

// Parses argv[1..argc-1]. Returns EXIT_OK with `o` filled, or EXIT_USAGE with a one-line
// error in `error` (no trailing newline).
int cli_parse(int argc, char **argv, CliOptions *o, char *error, int error_cap);

// Module address in hex as the program shows it: "01", "7F", "7FH", "0x7F". -1 when invalid.
int parse_address(const char *text);

// Usage text of a command (CLI_NONE: the overview).
const char *cli_usage(CliCommand command);

// Help text of the link options, shown under each command's usage.
const char *cli_link_usage(void);

// The subcommand's name ("search", ...).
const char *cli_command_name(CliCommand command);

#endif
