// Program for the Wine fixture's own test: `exit N` ends with code N, `hang` never ends.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/clock.h"

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "exit") == 0) {
        printf("exiting with %d\n", atoi(argv[2]));
        return atoi(argv[2]);
    }
    if (argc >= 2 && strcmp(argv[1], "hang") == 0) {
        printf("hanging\n");
        fflush(stdout);
        for (;;) sleep_ms(1000);
    }
    fprintf(stderr, "usage: wine_fixture_probe exit N | hang\n");
    return 100;
}
