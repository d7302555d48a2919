#include "platform/file_list.hpp"

#include <windows.h>

#include <unordered_set>

#include "platform/error.hpp"
#include "platform/wildcard.hpp"
#include "platform/win32/reason.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

std::wstring Upper(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    if (folder.empty()) return names;
    std::wstring base = win32::Wide(folder);
    const DWORD attributes = GetFileAttributesW(base.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        throw Error(error == ERROR_FILE_NOT_FOUND ? "папка не существует"
                                                  : win32::ReasonFromSystemError(error));
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) throw Error("это не папка");
    if (base.back() != L'\\' && base.back() != L'/') base += L'\\';

    std::unordered_set<std::wstring> seen;  // upper-cased names already listed
    const std::wstring patterns = win32::Wide(pattern);
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find(L';', start);
        if (end == std::wstring::npos) end = patterns.size();
        const std::wstring one = patterns.substr(start, end - start);
        start = end + 1;
        if (one.empty()) continue;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileExW((base + one).c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) continue;
            throw Error(win32::ReasonFromSystemError(error));
        }
        const std::wstring upperPattern = Upper(one);
        do {
            if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
                continue;
            }
            // The system also matches the short 8.3 alias, so "*.jpg" would find "a.jpeg";
            // only the name itself counts.
            const std::wstring name(found.cFileName);
            std::wstring upper = Upper(name);
            if (!WildcardMatch(upper, upperPattern)) continue;
            if (!seen.insert(std::move(upper)).second) continue;
            names.push_back(win32::Utf8(name));
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return names;
}

}  // namespace ornavel::platform
