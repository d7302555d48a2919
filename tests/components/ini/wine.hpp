#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace ornavel::testing {

// True when the Windows build runs under Wine, whose private-profile functions rewrite the whole
// file on a write where Windows keeps the other lines as they were.
inline bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// True when text outside ASCII reaches the settings file unchanged: always on Linux, and on
// Windows with the Cyrillic ANSI code page.
inline bool CyrillicSurvivesAnsi() {
#ifdef _WIN32
    return GetACP() == 1251;
#else
    return true;
#endif
}

}  // namespace ornavel::testing

#define SKIP_UNDER_WINE()                                                              \
    do {                                                                               \
        if (::ornavel::testing::RunningUnderWine())                                    \
            GTEST_SKIP() << "Wine rewrites the whole file; Windows keeps other lines"; \
    } while (false)
