// The command catalogue table: request shapes and reply layouts of every module command.
#include "protocol/catalogue.h"

#include "protocol/protocol.h"

static const CommandRow CATALOGUE[CMD_COUNT] = {
    {CMD_READ_CONFIG, '$', '2', 5, '!', REPLY_KIND_ACK, 10, 0, 0},
    {CMD_READ_NAME, '$', 'M', 5, '!', REPLY_KIND_ACK, 11, 0, 0},
    {CMD_READ_FIRMWARE, '$', 'F', 5, '!', REPLY_KIND_ACK, 9, 0, 0},
    {CMD_READ_COUNTS, '$', '6', 5, '!', REPLY_KIND_ACK, 22, 0, 0},
    {CMD_READ_FAULT, '$', 'E', 5, '!', REPLY_KIND_ACK, 10, 0, 0},
    {CMD_READ_KIND_MASKS, '$', 'T', 5, '!', REPLY_KIND_ACK, 8, 0, 0},
    {CMD_READ_MODE, '$', 'R', 5, '!', REPLY_KIND_ACK, 5, 0, 0},
    {CMD_READ_COUNTS2, '$', '8', 5, '!', REPLY_KIND_ACK, 22, 0, 0},
    {CMD_STORAGE_MODE, '$', 'W', 5, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_SEARCH_MODE, '$', 'N', 5, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_WRITE_CONFIG, '%', 0, 12, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_SOFT_RESET, '&', '9', 5, '>', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_READ_DATA, '#', 0, 5, '>', REPLY_KIND_DATA, DATA_HEADER, 4, 1},
    {CMD_READ_IDS, '&', 0, 5, '>', REPLY_KIND_DATA, DATA_HEADER, 8, 1},
    {CMD_READ_SORT, '*', 0, 5, '>', REPLY_KIND_DATA, DATA_HEADER, 1, 1},
    {CMD_4500_INPUTS, '#', 0, 5, '>', REPLY_KIND_DATA, 5, 0, 0},
    {CMD_4500_READINGS, '#', '2', 5, '>', REPLY_KIND_DATA, 17, 0, 1},
    {CMD_4500_CH3, '#', '3', 5, '>', REPLY_KIND_DATA, 13, 0, 0},
    {CMD_WRITE_DO, '/', 0, 5, '!', REPLY_KIND_ACK, 5, 0, 0},
    {CMD_ITU_OUTPUT, '/', 0, 9, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_WRITE_SORT, '/', 0, 7, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_WRITE_SORT_456X, '^', 0, 7, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_4501_READ_IDS, '^', 0, 5, '>', REPLY_KIND_DATA, DATA_HEADER, 8, 0},
    {CMD_4501_READ_STATES, '~', 0, 5, '>', REPLY_KIND_DATA, DATA_HEADER, 2, 0},
    {CMD_4501_SWITCH, '@', 0, 8, '!', REPLY_KIND_ACK, 5, 0, 0},
    {CMD_ITU_ADDRESS, '@', 0, 10, '!', REPLY_KIND_ACK, 4, 0, 0},
    {CMD_ITU_OFFSET, '@', 0, 10, '!', REPLY_KIND_ACK, 4, 0, 0},
};

const CommandRow *command_row(CommandId id)
{
    if ((int)id < 0 || id >= CMD_COUNT)
        return nullptr;
    return &CATALOGUE[id];
}

int command_reply_length(CommandId id, int records)
{
    const CommandRow *row = command_row(id);
    if (row == nullptr)
        return -1;
    if (row->kind == REPLY_KIND_DATA && row->record_size > 0)
        return data_reply_length(records, row->record_size);
    return row->reply_len;
}

int command_wait_length(CommandId id, int records)
{
    const int len = command_reply_length(id, records);
    return len < 0 ? -1 : len + command_row(id)->wait_tail;
}
