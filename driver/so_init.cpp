// Load and unload hooks of libvok3900d.so: the work buffer lives while the object is loaded.
#include "driver/driver_state.h"

__attribute__((constructor)) static void vok3900d_load(void) { driver_attach(); }

__attribute__((destructor)) static void vok3900d_unload(void)
{
    driver_close_port();
    driver_detach();
}
