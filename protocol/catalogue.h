// The command catalogue: every request the modules understand, with its reply layout.
// The simulator builds its replies from this table, vokmon's request path takes the lengths it
// waits for from it, and the library checks its replies against it.
#ifndef VOK_CATALOGUE_H
#define VOK_CATALOGUE_H

#include <stdint.h>

typedef enum CommandId {
    CMD_READ_CONFIG,      // $AA2      -> !AA TT CC FF        10
    CMD_READ_NAME,        // $AAM      -> !AA name(7)         11
    CMD_READ_FIRMWARE,    // $AAF      -> !AA version(5)       9
    CMD_READ_COUNTS,      // $AA6      -> !AA SS counts       22
    CMD_READ_FAULT,       // $AAE      -> !AA FC EM WM        10
    CMD_READ_KIND_MASKS,  // $AAT      -> !AA MB MA            8
    CMD_READ_MODE,        // $AAR      -> !AA m                5
    CMD_READ_COUNTS2,     // $AA8      -> !AA SS counts       22
    CMD_STORAGE_MODE,     // $AAW      -> !AA                  4
    CMD_SEARCH_MODE,      // $AAN      -> !AA                  4
    CMD_WRITE_CONFIG,     // %AANNTTCCFF -> !NN                4
    CMD_SOFT_RESET,       // &AA9      -> >AA                  4
    CMD_READ_DATA,        // #AAc      -> data, 4 per ITU
    CMD_READ_IDS,         // &AAc      -> data, 8 per ITU
    CMD_READ_SORT,        // *AAc      -> data, 1 per ITU
    CMD_4500_INPUTS,      // #AA0/#AA1 (model 4500) -> >AA i ... 5
    CMD_4500_READINGS,    // #AA2 (model 4500) -> >AA .. two readings as text, 17
    CMD_4500_CH3,         // #AA3 (model 4500, library) -> 13
    CMD_WRITE_DO,         // /AAv      -> !AA v                5
    CMD_ITU_OUTPUT,       // /AAcNNhh  -> !..                  4
    CMD_WRITE_SORT,       // /AAcxy    -> !..                  4
    CMD_WRITE_SORT_456X,  // ^AAcxy (models 4562, 4563) -> !.. 4
    CMD_4501_READ_IDS,    // ^AAc      -> data, 8 per ITU
    CMD_4501_READ_STATES, // ~AAc      -> data, 2 per ITU
    CMD_4501_SWITCH,      // @AAcNNs   -> !..                  5
    CMD_ITU_ADDRESS,      // @AAcOO1NN -> !..                  4
    CMD_ITU_OFFSET,       // @AAcNN2XX -> !..                  4
    CMD_COUNT
} CommandId;

typedef enum ReplyKind {
    REPLY_KIND_ACK,   // fixed-length ASCII reply ending in CR
    REPLY_KIND_DATA,  // '>' AA status count records... CR; length from the count
} ReplyKind;

typedef struct CommandRow {
    CommandId id;
    char lead;            // request lead character
    char command;         // command character after the address; 0 = channel digit or parameters
    int request_len;      // request length, CR included
    char reply_lead;      // '!' or '>'
    ReplyKind kind;
    int reply_len;        // ACK: full reply length with CR. DATA: header length (5) or fixed length
    int record_size;      // DATA: bytes per ITU record (0 when the reply length is fixed)
    int wait_tail;        // bytes waited for beyond reply_len (the closing CR of a data reply
                          // where its requester waits for it)
} CommandRow;

// The table row of a command (never null for a valid id).
const CommandRow *command_row(CommandId id);

// Reply length a caller expects (without the echo): ACK -> reply_len;
// DATA with records -> 5 + records * record_size.
int command_reply_length(CommandId id, int records);

// Reply bytes a requester waits for (without the echo): the reply length plus wait_tail;
// -1 for an unknown id or a record count no buffer holds.
int command_wait_length(CommandId id, int records);

#endif
