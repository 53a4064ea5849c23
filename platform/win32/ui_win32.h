// Win32 side of the ui seam: UTF-8 <-> UTF-16 for the window procedures of vokmon.
#ifndef VOK_PLATFORM_UI_WIN32_H
#define VOK_PLATFORM_UI_WIN32_H

#include <string>

// UTF-8 to UTF-16 for the wide APIs (empty for null).
std::wstring ui_widen(const char *utf8);
// UTF-16 to UTF-8.
std::string ui_narrow(const wchar_t *w);

#endif
