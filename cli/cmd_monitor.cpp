// vokcli monitor: the plant collector (monitor/collector.h). Builds without the monitor
// libraries (the Windows ones) say so instead.
#include <stdio.h>

#include "cli/commands.h"
#include "platform/clock.h"

#ifdef VOK_HAVE_MONITOR
#include "monitor/collector.h"

int cmd_monitor(int argc, char **argv, FILE *out, FILE *err)
{
    CollectorOptions o;
    char error[256];
    if (collector_parse(argc, argv, &o, error, sizeof error) != COLLECT_OK) {
        fprintf(err, "vokcli: %s\n", error);
        return EXIT_USAGE;
    }
    if (o.help) {
        fputs(collector_usage(), out);
        return EXIT_OK;
    }
    clock_init();
    return collector_run(&o, err);
}
#else
int cmd_monitor(int, char **, FILE *, FILE *err)
{
    fprintf(err, "vokcli: monitor is not part of this build (no SQLite, HTTP or MQTT libraries here): run the collector on Linux\n");
    return EXIT_USAGE;
}
#endif
