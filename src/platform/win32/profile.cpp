#include "platform/profile.hpp"

#include <windows.h>

#include <climits>
#include <vector>

#include "platform/win32/text.hpp"

namespace ornavel::platform {

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

}  // namespace ornavel::platform
