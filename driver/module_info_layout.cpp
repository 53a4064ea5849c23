// Compile-time proof that vok_module_info has the natural C layout callers are built against.
#include <stddef.h>

#include "driver/vok3900d.h"

// Six bytes, two bytes of padding to align the 32-bit itu_total, then 1 + 8 + 8 + 6 bytes
// (offsets 12..34) and one byte of tail padding to a multiple of 4.
#define INFO_ITU_TOTAL_OFFSET 8
#define INFO_CHANNEL_STATE_OFFSET 12
#define INFO_ITU_COUNT_OFFSET 13
#define INFO_NAME_OFFSET 21
#define INFO_VERSION_OFFSET 29
#define INFO_SIZE 36

static_assert(offsetof(vok_module_info, address) == 0, "address");
static_assert(offsetof(vok_module_info, new_address) == 1, "new_address");
static_assert(offsetof(vok_module_info, type_code) == 2, "type_code");
static_assert(offsetof(vok_module_info, baud_index) == 3, "baud_index");
static_assert(offsetof(vok_module_info, baud_index_set) == 4, "baud_index_set");
static_assert(offsetof(vok_module_info, data_format) == 5, "data_format");
static_assert(offsetof(vok_module_info, itu_total) == INFO_ITU_TOTAL_OFFSET, "itu_total");
static_assert(sizeof(((vok_module_info *)0)->itu_total) == 4, "itu_total is 32 bits");
static_assert(offsetof(vok_module_info, channel_state) == INFO_CHANNEL_STATE_OFFSET, "channel_state");
static_assert(offsetof(vok_module_info, itu_count) == INFO_ITU_COUNT_OFFSET, "itu_count");
static_assert(offsetof(vok_module_info, name) == INFO_NAME_OFFSET, "name");
static_assert(offsetof(vok_module_info, version) == INFO_VERSION_OFFSET, "version");
static_assert(sizeof(vok_module_info) == INFO_SIZE, "size");
