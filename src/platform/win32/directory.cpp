#include "platform/directory.hpp"

#include <windows.h>

#include "platform/win32/text.hpp"

namespace ornavel::platform {

std::string FirstFileName(const std::string& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(win32::Wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    // Normal attributes: plain files, read-only and archived ones included; no folders, no
    // hidden or system files, no devices.
    constexpr DWORD kExcluded = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    std::string name;
    do {
        if ((found.dwFileAttributes & kExcluded) == 0) {
            name = win32::Utf8(std::wstring(found.cFileName));
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return name;
}

}  // namespace ornavel::platform
