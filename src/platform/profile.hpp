#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ornavel::platform {

// The private-profile (INI file) functions as the settings component uses them. Windows calls
// GetPrivateProfileStringA and WritePrivateProfileStringA; Linux has its own implementation that
// reads and writes the same bytes.

// A settings file larger than this is not a settings file; it is refused, never read.
constexpr std::uint64_t kMaxProfileBytes = std::uint64_t{4} << 20;

// The value of `key` in `section` of `file`, cut to bufferSize - 1 characters; `defaultValue`
// (cut alike) when the file, the section or the key is missing, and when the file is refused
// (not a plain file, or over kMaxProfileBytes). Never blocks on a pipe or a device.
std::string ReadPrivateProfile(const std::string& section, const std::string& key,
                               const std::string& defaultValue, std::size_t bufferSize,
                               const std::string& file);

// Writes `value` under `key` in `section` of `file`, creating the file, the section and the key as
// needed. Returns false when the value could not be stored; nothing is reported.
bool WritePrivateProfile(const std::string& section, const std::string& key,
                         const std::string& value, const std::string& file);

// Checks for a program that wants to tell its user why a setting is not kept. Each returns "" when
// there is nothing to tell, else a short reason in Russian, ready to follow a colon.

// Why `file` cannot be read as a settings file: not a plain file, too large, no access. A file
// that does not exist yet is fine.
std::string ProfileFileProblem(const std::string& file);

// Why a value cannot be written to `file`, as far as the file system tells: a folder or device
// in its place, a read-only or foreign file, a folder that takes no new file.
std::string ProfileWriteProblem(const std::string& file);

// Why `value`, written as it stands, would not read back whole through a buffer of bufferSize:
// characters the file's encoding cannot hold (line breaks; on Windows, characters outside the
// ANSI code page), or more characters than the buffer takes.
std::string ProfileValueProblem(const std::string& value, std::size_t bufferSize);

}  // namespace ornavel::platform
