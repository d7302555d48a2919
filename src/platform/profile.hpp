#pragma once

#include <cstddef>
#include <string>

namespace ornavel::platform {

// The private-profile (INI file) functions as the settings component uses them. Windows calls
// GetPrivateProfileStringA and WritePrivateProfileStringA; Linux has its own implementation that
// reads and writes the same bytes.

// The value of `key` in `section` of `file`, cut to bufferSize - 1 characters; `defaultValue`
// (cut alike) when the file, the section or the key is missing.
std::string ReadPrivateProfile(const std::string& section, const std::string& key,
                               const std::string& defaultValue, std::size_t bufferSize,
                               const std::string& file);

// Writes `value` under `key` in `section` of `file`, creating the file, the section and the key as
// needed. Returns false when the value could not be stored; nothing is reported.
bool WritePrivateProfile(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file);

}  // namespace ornavel::platform
