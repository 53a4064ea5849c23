// Windows entry point of vok3900d.dll: the work buffer lives from process attach to detach.
#include <windows.h>

#include "driver/driver_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        // A failed allocation still loads: every call then reports VOK_E_NOT_READY.
        driver_attach();
    } else if (reason == DLL_PROCESS_DETACH) {
        // Unloaded while the process goes on (FreeLibrary): give the COM port back so the
        // next load can open it. At process exit the system closes the handle itself.
        if (reserved == nullptr)
            driver_close_port();
        driver_detach();
    }
    return TRUE;
}
