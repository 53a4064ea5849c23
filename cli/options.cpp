// Command-line parsing of vokcli: options may stand before or after the subcommand, as
// "--name value" or "--name=value"; every mistake gives one line that says what to do.
#include "cli/options.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct CommandName {
    const char *name;
    CliCommand command;
};
const CommandName Commands[] = {
    {"search", CLI_SEARCH}, {"read", CLI_READ}, {"watch", CLI_WATCH}, {"ids", CLI_IDS},
    {"export", CLI_EXPORT}, {"raw", CLI_RAW},   {"discover", CLI_DISCOVER}, {"help", CLI_HELP},
};

// Which options each subcommand takes beyond the link options, as a set of bits.
enum {
    OPT_CHANNEL = 1, OPT_FAST = 2, OPT_FORMAT = 4, OPT_PERIOD = 8, OPT_COUNT = 16, OPT_OUT = 32,
    OPT_DIR = 64, OPT_QUIET = 128, OPT_GIVE_UP = 256, OPT_EXCEL = 512,
};
int allowed(CliCommand c)
{
    switch (c) {
    case CLI_SEARCH: return OPT_FAST | OPT_FORMAT | OPT_QUIET;
    case CLI_READ:
    case CLI_IDS: return OPT_CHANNEL | OPT_FORMAT;
    case CLI_WATCH: return OPT_CHANNEL | OPT_PERIOD | OPT_COUNT | OPT_OUT | OPT_QUIET | OPT_GIVE_UP | OPT_EXCEL;
    case CLI_EXPORT: return OPT_DIR;
    case CLI_RAW:
    case CLI_DISCOVER: return OPT_FORMAT;
    default: return 0;
    }
}

int fail(char *error, int cap, const char *fmt, const char *a, const char *b)
{
    snprintf(error, (size_t)cap, fmt, a, b);
    return EXIT_USAGE;
}

int parse_int(const char *text, long lo, long hi, long *out)
{
    if (!text || !*text) return -1;
    char *end = nullptr;
    const long v = strtol(text, &end, 10);
    if (*end != 0 || v < lo || v > hi) return -1;
    *out = v;
    return 0;
}

// Options that take a value, and whether a flag is one of them.
const char *const ValueOptions[] = {"--port", "--converter", "--baud", "--wait", "--config", "--trace",
                                    "--channel", "--format", "--period", "--count", "--out", "--dir",
                                    "--give-up-after"};
int takes_value(const char *name)
{
    for (const char *v : ValueOptions)
        if (strcmp(v, name) == 0) return 1;
    return 0;
}

int set_option(CliOptions *o, const char *name, const char *value, int *used, char *error, int cap)
{
    long n = 0;
    if (strcmp(name, "--port") == 0) {
        if (!*value || strlen(value) >= sizeof o->port)
            return fail(error, cap, "--port '%s': give a serial port (/dev/ttyUSB0, COM3) or host:port%s", value, "");
        snprintf(o->port, sizeof o->port, "%s", value);
    } else if (strcmp(name, "--converter") == 0) {
        if (parse_int(value, 0, 7, &n))
            return fail(error, cap, "--converter '%s': the converter type is a number 0-7 (4 = network converter)%s", value, "");
        o->converter = (int)n;
    } else if (strcmp(name, "--baud") == 0) {
        if (parse_int(value, 1, 1000000, &n) ||
            (n != 2400 && n != 4800 && n != 9600 && n != 19200 && n != 38400))
            return fail(error, cap, "--baud '%s': the bus speed is one of 2400, 4800, 9600, 19200, 38400%s", value, "");
        o->baud = (int)n;
    } else if (strcmp(name, "--wait") == 0) {
        if (parse_int(value, 10, 15000, &n))
            return fail(error, cap, "--wait '%s': the reply wait is 10 to 15000 ms%s", value, "");
        o->wait_ms = (int)n;
    } else if (strcmp(name, "--config") == 0) {
        o->config = value;
    } else if (strcmp(name, "--trace") == 0) {
        o->trace = value;
    } else if (strcmp(name, "--channel") == 0) {
        *used |= OPT_CHANNEL;
        if (strcmp(value, "all") == 0 || strcmp(value, "ALL") == 0) o->channel = CLI_CHANNEL_ALL;
        else if (!parse_int(value, 0, 7, &n)) o->channel = (int)n;
        else return fail(error, cap, "--channel '%s': give a channel 0-7 or 'all'%s", value, "");
    } else if (strcmp(name, "--format") == 0) {
        *used |= OPT_FORMAT;
        if (strcmp(value, "text") == 0) o->format = FORMAT_TEXT;
        else if (strcmp(value, "csv") == 0) o->format = FORMAT_CSV;
        else if (strcmp(value, "json") == 0) o->format = FORMAT_JSON;
        else return fail(error, cap, "--format '%s': give text, csv or json%s", value, "");
    } else if (strcmp(name, "--period") == 0) {
        *used |= OPT_PERIOD;
        char *end = nullptr;
        const double s = strtod(value, &end);
        if (!*value || *end != 0 || !(s >= 0.5 && s <= 86400))
            return fail(error, cap, "--period '%s': give the period in seconds, 0.5 to 86400%s", value, "");
        o->period_s = s;
    } else if (strcmp(name, "--count") == 0) {
        *used |= OPT_COUNT;
        if (parse_int(value, 1, 100000000, &n))
            return fail(error, cap, "--count '%s': give the number of readings, 1 or more%s", value, "");
        o->count = (int)n;
    } else if (strcmp(name, "--out") == 0) {
        *used |= OPT_OUT;
        o->out = value;
    } else if (strcmp(name, "--give-up-after") == 0) {
        *used |= OPT_GIVE_UP;
        char *end = nullptr;
        const double s = strtod(value, &end);
        if (!*value || *end != 0 || !(s >= 1 && s <= 31536000))
            return fail(error, cap, "--give-up-after '%s': give the seconds without a reading after which watch ends, 1 or more%s", value, "");
        o->give_up_s = s;
    } else if (strcmp(name, "--dir") == 0) {
        *used |= OPT_DIR;
        o->out = value;
    }
    return EXIT_OK;
}

}  // namespace

int parse_address(const char *text)
{
    if (!text) return -1;
    const char *p = text;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    int value = 0, digits = 0;
    for (; *p; ++p, ++digits) {
        int d;
        if (*p >= '0' && *p <= '9') d = *p - '0';
        else if (*p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
        else if (*p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
        else if ((*p == 'H' || *p == 'h') && p[1] == 0 && digits > 0) break;
        else return -1;
        value = value * 16 + d;
        if (digits >= 2) return -1;
    }
    return digits >= 1 && digits <= 2 ? value : -1;
}

const char *cli_command_name(CliCommand command)
{
    for (const CommandName &c : Commands)
        if (c.command == command) return c.name;
    return "";
}

int cli_parse(int argc, char **argv, CliOptions *o, char *error, int error_cap)
{
    memset(o, 0, sizeof *o);
    o->converter = -1;
    o->wait_ms = -1;
    o->address = -1;
    o->channel = -1;
    o->period_s = 0;
    error[0] = 0;
    int used = 0;
    const char *positional[2] = {nullptr, nullptr};
    int npos = 0;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (strncmp(arg, "--", 2) != 0 || strcmp(arg, "--") == 0) {
            if (o->command == CLI_NONE) {
                for (const CommandName &c : Commands)
                    if (strcmp(c.name, arg) == 0) o->command = c.command;
                if (o->command == CLI_NONE)
                    return fail(error, error_cap, "unknown command '%s': use search, read, watch, ids, export, raw or discover (vokcli --help)%s", arg, "");
            } else if (npos < 2) {
                positional[npos++] = arg;
            } else {
                return fail(error, error_cap, "unexpected argument '%s' (vokcli %s --help)", arg, cli_command_name(o->command));
            }
            continue;
        }
        char name[32];
        const char *value = nullptr;
        const char *eq = strchr(arg, '=');
        const size_t len = eq ? (size_t)(eq - arg) : strlen(arg);
        if (len >= sizeof name) return fail(error, error_cap, "unknown option '%s' (vokcli --help)%s", arg, "");
        memcpy(name, arg, len);
        name[len] = 0;
        if (eq) value = eq + 1;
        if (strcmp(name, "--help") == 0 && !eq) {
            o->help = 1;
        } else if ((strcmp(name, "--fast") == 0 || strcmp(name, "--json") == 0 || strcmp(name, "--csv") == 0 ||
                    strcmp(name, "--quiet") == 0 || strcmp(name, "--excel") == 0) && !eq) {
            if (name[2] == 'e') { o->excel = 1; used |= OPT_EXCEL; }
            else if (name[2] == 'f') { o->fast = 1; used |= OPT_FAST; }
            else if (name[2] == 'j') { o->format = FORMAT_JSON; used |= OPT_FORMAT; }
            else if (name[2] == 'c') { o->format = FORMAT_CSV; used |= OPT_FORMAT; }
            else { o->quiet = 1; used |= OPT_QUIET; }
        } else if (takes_value(name)) {
            if (!value) {
                if (i + 1 >= argc) return fail(error, error_cap, "option %s needs a value (vokcli --help)%s", name, "");
                value = argv[++i];
            }
            const int rc = set_option(o, name, value, &used, error, error_cap);
            if (rc != EXIT_OK) return rc;
        } else {
            return fail(error, error_cap, "unknown option '%s' (vokcli --help)%s", arg, "");
        }
    }
    if (o->command == CLI_HELP) {
        o->help = 1;
        o->command = CLI_NONE;
        if (positional[0]) {
            for (const CommandName &c : Commands)
                if (strcmp(c.name, positional[0]) == 0) o->command = c.command;
        }
        return EXIT_OK;
    }
    if (o->help) return EXIT_OK;
    if (o->command == CLI_NONE) return fail(error, error_cap, "no command given: vokcli search|read|watch|ids|export|raw|discover ... (vokcli --help)%s%s", "", "");
    const char *cmd = cli_command_name(o->command);
    const int extra = used & ~allowed(o->command);
    if (extra) {
        static const char *const Names[] = {"--channel", "--fast", "--format/--json/--csv", "--period", "--count",
                                            "--out", "--dir", "--quiet", "--give-up-after", "--excel"};
        for (int b = 0; b < 10; ++b)
            if (extra & (1 << b)) return fail(error, error_cap, "%s does not take %s", cmd, Names[b]);
    }
    if (o->command == CLI_WATCH && o->format != FORMAT_TEXT)
        return fail(error, error_cap, "watch writes CSV to --out FILE and the readings to the terminal%s%s", "", "");
    // Positional arguments: the module address, or the raw request.
    const int wants_address = o->command == CLI_READ || o->command == CLI_WATCH || o->command == CLI_IDS ||
                              o->command == CLI_EXPORT;
    if (wants_address) {
        if (!positional[0]) return fail(error, error_cap, "%s needs a module address in hex, e.g. vokcli %s 01", cmd, cmd);
        o->address = parse_address(positional[0]);
        if (o->address < 0)
            return fail(error, error_cap, "'%s' is no module address: give two hex digits 00-FF, e.g. 01 or 7F%s", positional[0], "");
        if (positional[1]) return fail(error, error_cap, "unexpected argument '%s' (vokcli %s --help)", positional[1], cmd);
    } else if (o->command == CLI_RAW) {
        if (!positional[0]) return fail(error, error_cap, "raw needs a request without its CR, e.g. vokcli raw '$01M'%s%s", "", "");
        if (positional[1]) return fail(error, error_cap, "unexpected argument '%s' (vokcli %s --help)", positional[1], cmd);
        o->request = positional[0];
    } else if (positional[0]) {
        return fail(error, error_cap, "unexpected argument '%s' (vokcli %s --help)", positional[0], cmd);
    }
    if (o->command == CLI_WATCH) {
        if (o->channel < 0 || o->channel == CLI_CHANNEL_ALL)
            return fail(error, error_cap, "watch needs --channel 0-7%s%s", "", "");
        if (o->period_s <= 0) return fail(error, error_cap, "watch needs --period SECONDS%s%s", "", "");
        if (!o->out) return fail(error, error_cap, "watch needs --out FILE.csv%s%s", "", "");
    }
    return EXIT_OK;
}
