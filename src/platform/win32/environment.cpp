#include "platform/environment.hpp"

#include <windows.h>

#include "platform/win32/text.hpp"

namespace ornavel::platform {

std::string EnvironmentVariable(const std::string& name) {
    const std::wstring wideName = win32::Wide(name);
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return win32::Utf8(value);
        }
        value.resize(n);  // n counts the terminating NUL when the buffer was too small
    }
}

std::string ProgramDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return win32::Utf8(path);
    path.resize(slash);
    // A drive root keeps its separator: "C:\", not "C:".
    if (path.size() == 2 && path[1] == L':') path += L'\\';
    return win32::Utf8(path);
}

std::string WindowsDirectory() { return EnvironmentVariable("windir"); }

std::string CurrentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(n, L'\0');
    const DWORD written = GetCurrentDirectoryW(n, path.data());
    path.resize(written < n ? written : 0);
    return win32::Utf8(path);
}

}  // namespace ornavel::platform
