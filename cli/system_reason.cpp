// The system's own words for the last failure: errno, or Windows' last error. Kept apart so
// that windows.h meets none of the program's own names.
#include "cli/system_reason.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#ifdef _WIN32
#include <windows.h>
#endif

void system_reason_clear(void)
{
    errno = 0;
#ifdef _WIN32
    SetLastError(0);
#endif
}

void system_reason(char *out, int cap)
{
#ifdef _WIN32
    const DWORD code = GetLastError();
    char text[160] = "";
    if (code) FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text, nullptr);
    text[strcspn(text, "\r\n")] = 0;
    snprintf(out, (size_t)cap, "%s", text);
#else
    const int code = errno;
    if (code == EACCES || code == EPERM)
        snprintf(out, (size_t)cap, "%s; is your user in the dialout group? sudo usermod -aG dialout $USER, then log in again",
                 strerror(code));
    else
        snprintf(out, (size_t)cap, "%s", code ? strerror(code) : "");
#endif
}
