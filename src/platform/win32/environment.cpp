#include "platform/environment.hpp"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

std::wstring WideVariable(const wchar_t* name) {
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n =
            GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return value;
        }
        value.resize(n);  // n counts the terminating NUL when the buffer was too small
    }
}

std::wstring Join(const std::wstring& directory, const wchar_t* name) {
    if (!directory.empty() && (directory.back() == L'\\' || directory.back() == L'/')) {
        return directory + name;
    }
    return directory + L'\\' + name;
}

// The folder of the executable, without a trailing separator except at a drive root.
std::wstring ExecutableDirectory() {
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
    if (slash == std::wstring::npos) return path;
    path.resize(slash);
    // A drive root keeps its separator: "C:\", not "C:".
    if (path.size() == 2 && path[1] == L':') path += L'\\';
    return path;
}

// True when this process may create files in `directory`. Only a real attempt tells: the
// folder's access list, an administrator's filtered token under UAC, read-only media and
// network shares all decide, and Windows gives a 64-bit program with a manifest no virtual
// copy of protected folders. The probe is hidden and removed by the system when closed.
bool CanCreateFilesIn(const std::wstring& directory) {
    for (DWORD attempt = 0; attempt < 4; ++attempt) {
        const std::wstring probe =
            Join(directory, (L"ornavel-write-test-" + std::to_wstring(GetCurrentProcessId()) +
                             L"-" + std::to_wstring(GetTickCount() + attempt) + L".tmp")
                                .c_str());
        HANDLE file = CreateFileW(
            probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool CanWriteFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// `folder` as the ANSI calls (the settings file's, the wallpaper setting's) can name it: its short
// form when its long name has characters the code page cannot hold, as a user name in another
// script has. Unchanged when the volume keeps no short names.
std::wstring AnsiNameable(const std::wstring& folder) {
    if (win32::AnsiHolds(win32::Utf8(folder))) return folder;
    const DWORD size = GetShortPathNameW(folder.c_str(), nullptr, 0);
    if (size == 0) return folder;
    std::wstring brief(size, L'\0');
    const DWORD n = GetShortPathNameW(folder.c_str(), brief.data(), size);
    if (n == 0 || n >= size) return folder;
    brief.resize(n);
    return win32::AnsiHolds(win32::Utf8(brief)) ? brief : folder;
}

// The program's own folder "Ornavel" inside the user's folder named by `variable` (the one
// Windows sets for every session), or by the known folder `id` when the variable is not set; ""
// when the user has no such folder. The user's folder is named so that the ANSI calls reach it.
std::wstring UserFolder(const wchar_t* variable, REFKNOWNFOLDERID id) {
    std::wstring base = WideVariable(variable);
    if (base.empty()) {
        PWSTR known = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &known))) base = known;
        CoTaskMemFree(known);
    }
    if (base.empty()) return {};
    return Join(AnsiNameable(base), L"Ornavel");
}

// A directory the program keeps a file in, and whether it is the program's own folder, which
// the program creates before the first write.
struct Place {
    std::wstring folder;
    bool own;
};

Place SettingsPlace() {
    // A copy whose folder can be written, or that already keeps its settings beside itself
    // (a portable copy), keeps options.ini there; an installed one in the user's settings.
    const std::wstring beside = AnsiNameable(ExecutableDirectory());
    if (CanWriteFile(Join(beside, L"options.ini")) || CanCreateFilesIn(beside)) {
        return {beside, false};
    }
    const std::wstring own = UserFolder(L"APPDATA", FOLDERID_RoamingAppData);
    return own.empty() ? Place{beside, false} : Place{own, true};
}

Place WallpaperPlace() {
    // The Windows directory as long as this process may write there (an elevated program, a
    // system without UAC); otherwise the user's own local folder.
    const std::wstring windir = WideVariable(L"windir");
    if (CanCreateFilesIn(windir)) return {windir, false};
    const std::wstring own = UserFolder(L"LOCALAPPDATA", FOLDERID_LocalAppData);
    return own.empty() ? Place{windir, false} : Place{own, true};
}

void CreateOwnFolder(const Place& place) {
    // A failure shows when the file is written there, with the system's reason.
    if (place.own) CreateDirectoryW(place.folder.c_str(), nullptr);
}

}  // namespace

std::string EnvironmentVariable(const std::string& name) {
    return win32::Utf8(WideVariable(win32::Wide(name).c_str()));
}

std::string SettingsDirectory() { return win32::Utf8(SettingsPlace().folder); }

void CreateSettingsDirectory() { CreateOwnFolder(SettingsPlace()); }

std::string WallpaperDirectory() { return win32::Utf8(WallpaperPlace().folder); }

void CreateWallpaperDirectory() { CreateOwnFolder(WallpaperPlace()); }

std::string CurrentDirectory() {
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring path(n, L'\0');
    const DWORD written = GetCurrentDirectoryW(n, path.data());
    path.resize(written < n ? written : 0);
    return win32::Utf8(path);
}

}  // namespace ornavel::platform
