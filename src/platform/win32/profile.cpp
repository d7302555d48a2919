#include "platform/profile.hpp"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/win32/reason.hpp"
#include "platform/win32/text.hpp"

namespace ornavel::platform {
namespace {

std::string TooLarge() { return "файл больше " + std::to_string(kMaxProfileBytes >> 20) + " МиБ"; }

std::string FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? "." : win32::Utf8(path.substr(0, slash));
}

}  // namespace

std::string ReadPrivateProfile(const std::string& section, const std::string& key,
                               const std::string& defaultValue, std::size_t bufferSize,
                               const std::string& file) {
    if (bufferSize == 0 || bufferSize > UINT_MAX) return "";
    // A buffer of NUL characters; the call copies at most bufferSize - 1 characters into it and
    // returns how many.
    std::vector<char> buffer(bufferSize, '\0');
    const std::string ansiSection = win32::Ansi(section);
    const std::string ansiKey = win32::Ansi(key);
    const std::string ansiDefault = win32::Ansi(defaultValue);
    const std::string ansiFile = win32::Ansi(file);
    const DWORD n =
        GetPrivateProfileStringA(ansiSection.c_str(), ansiKey.c_str(), ansiDefault.c_str(),
                                 buffer.data(), static_cast<DWORD>(bufferSize), ansiFile.c_str());
    return win32::Utf8FromAnsi(std::string(buffer.data(), n < bufferSize ? n : bufferSize - 1));
}

bool WritePrivateProfile(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file) {
    const std::string ansiSection = win32::Ansi(section);
    const std::string ansiKey = win32::Ansi(key);
    const std::string ansiValue = win32::Ansi(value);
    const std::string ansiFile = win32::Ansi(file);
    return WritePrivateProfileStringA(ansiSection.c_str(), ansiKey.c_str(), ansiValue.c_str(),
                                      ansiFile.c_str()) != FALSE;
}

std::string ProfileFileProblem(const std::string& file) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(win32::Wide(file).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? ""
                   : win32::ReasonFromSystemError(error);
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "это папка";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return "это не обычный файл";
    const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    if (size > kMaxProfileBytes) return TooLarge();
    return "";
}

std::string ProfileWriteProblem(const std::string& file) {
    if (file.empty()) return "путь не задан";
    // The private-profile functions take the path in the ANSI code page too.
    if (!win32::AnsiHolds(file)) return "в пути к нему есть знаки, которых нет в кодировке Windows";
    const std::wstring path = win32::Wide(file);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "это папка";
        if (attributes & FILE_ATTRIBUTE_READONLY) return "файл только для чтения";
        const HANDLE handle =
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return win32::ReasonFromSystemError(GetLastError());
        }
        CloseHandle(handle);
        return "";
    }
    const DWORD missing = GetLastError();
    if (missing == ERROR_PATH_NOT_FOUND) return "папка «" + FolderOf(path) + "» не существует";
    if (missing != ERROR_FILE_NOT_FOUND) return win32::ReasonFromSystemError(missing);
    // Whether the folder takes a new file, asked with a file that is gone when it is closed.
    const HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return "в папку «" + FolderOf(path) +
               "» нельзя записать: " + win32::ReasonFromSystemError(GetLastError());
    }
    CloseHandle(probe);
    return "";
}

std::string ProfileValueProblem(const std::string& value, std::size_t bufferSize) {
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return "в имени есть перевод строки";
    }
    if (!win32::AnsiHolds(value)) {
        return "в имени есть знаки, которых нет в кодировке Windows (кодовая страница " +
               std::to_string(GetACP()) + ")";
    }
    // The system drops one pair of enclosing quotes and, reading through a buffer that the
    // quoted text fills, one more character.
    const std::string ansi = win32::Ansi(value);
    const bool quoted = ansi.size() >= 2 && (ansi.front() == '"' || ansi.front() == '\'') &&
                        ansi.back() == ansi.front();
    const std::size_t room = bufferSize - (quoted ? 2 : 1);
    if (ansi.size() - (quoted ? 2 : 0) > room) {
        return "путь длиннее " + std::to_string(room) + " знаков, а больше файл настроек не хранит";
    }
    return "";
}

}  // namespace ornavel::platform
