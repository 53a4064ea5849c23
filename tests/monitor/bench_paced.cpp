// Readouts per second of one link read back to back through the collector's adapter alone
// (no worker, pipe or database): the converter-paced schedule the collector is measured
// against by `make bench-monitor`.
//   bench_paced PORT SECONDS CHANNELS...     prints "paced: N readouts in S s = R/s"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "monitor/bus_read.h"
#include "platform/clock.h"

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: bench_paced PORT SECONDS CHANNEL...\n");
        return 2;
    }
    clock_init();
    static Plant plant;
    PlantLink &l = plant.link[0];
    snprintf(l.name, sizeof l.name, "bench");
    snprintf(l.port, sizeof l.port, "%s", argv[1]);
    l.converter = strchr(argv[1], ':') ? 4 : 0;
    l.baud = 9600;
    l.wait_ms = 50;
    l.module_count = 1;
    l.module[0].address = 1;
    char error[160];
    if (bus_open(&l, error, sizeof error) != 0 || bus_find_modules(&l) != 1 || !bus_module_loaded(0)) {
        fprintf(stderr, "bench_paced: %s\n", error);
        return 1;
    }
    const int seconds = atoi(argv[2]);
    static StoreReading out[BUS_READINGS_MAX];
    for (int k = 3; k < argc; ++k) bus_read_ids(0, atoi(argv[k]));
    const uint32_t start = now_ms();
    long readouts = 0;
    while ((int32_t)(now_ms() - start) < seconds * 1000)
        for (int k = 3; k < argc; ++k) {
            int n = 0;
            if (bus_read_channel(0, atoi(argv[k]), out, BUS_READINGS_MAX, &n) == BUS_OK) readouts++;
        }
    const double s = (double)(now_ms() - start) / 1000.0;
    printf("paced: %ld readouts in %.1f s = %.3f/s\n", readouts, s, (double)readouts / s);
    bus_close();
    return 0;
}
