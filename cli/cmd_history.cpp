// vokcli history: the readings the collector stored, by unit, link, module and time range.
// Builds without the monitor libraries (the Windows ones) say so instead.
#include <stdio.h>
#include <time.h>

#include "cli/commands.h"

#ifdef VOK_HAVE_MONITOR
#include "monitor/history.h"

int cmd_history(int argc, char **argv, FILE *out, FILE *err)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t now_ms = (int64_t)now.tv_sec * 1000 + now.tv_nsec / 1000000;
    HistoryQuery q;
    char error[HISTORY_ERROR_MAX];
    if (history_parse(argc, argv, now_ms, &q, error, sizeof error) != HISTORY_OK) {
        fprintf(err, "vokcli: %s\n", error);
        return EXIT_USAGE;
    }
    if (q.help) {
        fputs(history_usage(), out);
        return EXIT_OK;
    }
    if (history_run(&q, out, error, sizeof error) != HISTORY_OK) {
        fprintf(err, "vokcli: %s\n", error);
        return EXIT_FILE;
    }
    return EXIT_OK;
}
#else
int cmd_history(int, char **, FILE *, FILE *err)
{
    fprintf(err, "vokcli: history is not part of this build (no SQLite here): run it on the Linux machine of the collector\n");
    return EXIT_USAGE;
}
#endif
