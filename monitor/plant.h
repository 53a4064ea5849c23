// The plant file of the collector: its links, what each polls and how often, the alarm rules
// and the database. Read and checked whole before anything is opened; every fault is one line
// "FILE:LINE: what is wrong: what to give instead".
#ifndef VOK_MONITOR_PLANT_H
#define VOK_MONITOR_PLANT_H

#include <stdint.h>

enum {
    PLANT_LINKS_MAX = 64,       // links one collector serves (more: another collector)
    PLANT_MODULES_MAX = 64,     // modules polled per link, as the module table holds
    PLANT_ALARMS_MAX = 256,     // alarm rules over the whole plant
    PLANT_NAME_MAX = 32,        // link name with its zero: a label and a topic level
    PLANT_PORT_MAX = 128,
    PLANT_PATH_MAX = 512,
    PLANT_ERROR_MAX = 512,
    PLANT_UNIT_ID_MAX = 17,     // eight ID bytes in hex with the zero
};

typedef struct PlantModule {
    int address;                // 0..255
    uint8_t channels;           // bit n: channel n is read; 0: every channel with units
} PlantModule;

typedef struct PlantLink {
    char name[PLANT_NAME_MAX];
    char port[PLANT_PORT_MAX];  // serial device, COMn, or host:port
    int converter;              // 0..7 (4: network converter)
    int baud;                   // 2400 .. 38400
    int wait_ms;                // reply wait of converter type 7
    int period_ms;              // one round over every module of the link
    int search;                 // 1: poll every module a search finds (module list empty)
    int module_count;
    PlantModule module[PLANT_MODULES_MAX];
    int line;                   // where the link stands in the file
} PlantLink;

typedef enum PlantAlarmKind { ALARM_LIMIT = 0, ALARM_SILENT = 1, ALARM_LINK_DOWN = 2 } PlantAlarmKind;

// One rule. The selectors narrow what it watches: link (-1: every link), module (-1: any),
// channel (-1: any), unit_id ("" : any unit).
typedef struct PlantAlarm {
    PlantAlarmKind kind;
    int link;
    int module;
    int channel;
    char unit_id[PLANT_UNIT_ID_MAX];
    int has_high, has_low;
    double high, low;           // ALARM_LIMIT: raised above high or below low
    int periods;                // ALARM_SILENT, ALARM_LINK_DOWN: periods without a reply
    int line;
} PlantAlarm;

typedef struct Plant {
    char database[PLANT_PATH_MAX];  // SQLite file
    int retention_days;             // readings older than this are removed; 0 keeps all
    int link_count;
    PlantLink link[PLANT_LINKS_MAX];
    int alarm_count;
    PlantAlarm alarm[PLANT_ALARMS_MAX];
} Plant;

// Reads and checks the plant file at `path`. 0 with `plant` filled, or -1 with one line in
// `error` ("plant.json:12: links[0].baud: ...", no trailing newline).
int plant_load(const char *path, Plant *plant, char *error, int error_cap);

// The same from text already read; `name` stands for the file in messages.
int plant_parse(const char *text, const char *name, Plant *plant, char *error, int error_cap);

#endif
