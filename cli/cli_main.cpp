// vokcli's entry: parse, open the traffic log, run the subcommand.
#include <errno.h>
#include <string.h>

#include "cli/commands.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/trace.h"

int cli_main(int argc, char **argv, FILE *out, FILE *err)
{
    if (argc > 1 && strcmp(argv[1], "history") == 0) return cmd_history(argc - 2, argv + 2, out, err);
    if (argc > 1 && strcmp(argv[1], "monitor") == 0) return cmd_monitor(argc - 2, argv + 2, out, err);
    CliOptions o;
    char error[CLI_ERROR_MAX];
    if (cli_parse(argc, argv, &o, error, sizeof error) != EXIT_OK) {
        fprintf(err, "vokcli: %s\n", error);
        return EXIT_USAGE;
    }
    if (o.help) {
        fputs(cli_usage(o.command), out);
        if (o.command != CLI_DISCOVER) fprintf(out, "\n%s", cli_link_usage());
        return EXIT_OK;
    }
    clock_init();
    console_utf8();
    if (o.trace && trace_open(o.trace) != 0) {
        fprintf(err, "vokcli: cannot write the traffic log %s: check the directory and its permissions\n", o.trace);
        return EXIT_FILE;
    }
    int rc = EXIT_USAGE;
    switch (o.command) {
    case CLI_SEARCH: rc = cmd_search(&o, out, err); break;
    case CLI_RAW: rc = cmd_raw(&o, out, err); break;
    case CLI_READ: rc = cmd_read(&o, out, err); break;
    case CLI_WATCH: rc = cmd_watch(&o, out, err); break;
    case CLI_IDS: rc = cmd_ids(&o, out, err); break;
    case CLI_EXPORT: rc = cmd_export(&o, out, err); break;
    case CLI_DISCOVER: rc = cmd_discover(&o, out, err); break;
    default:
        break;
    }
    trace_close();
    // Output that did not arrive (a full disk, /dev/full) is a failure, whatever the bus said.
    if (fflush(out) != 0 || ferror(out)) {
        fprintf(err, "vokcli: writing the output failed (%s): check the disk or the pipe it goes to\n", strerror(errno));
        return rc == EXIT_OK ? EXIT_FILE : rc;
    }
    return rc;
}
