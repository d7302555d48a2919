#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The settings-file text as the system's private-profile functions read and edit it, without the
// file system: reads give what GetPrivateProfileString gives, and an edit changes only the line
// of the key it writes (or adds one line, or a section at the end), leaving every other byte.
namespace ornavel::platform::profile_text {

// The value of `key` in the first section named `section` of `text` (names compared without
// regard to case and to blanks around them), with one pair of enclosing quotes removed and cut
// to bufferSize - 1 characters; `defaultValue` alike when the section or the key is missing.
std::string Read(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view defaultValue, std::size_t bufferSize);

// `text` with `value` stored under `key` in `section`: an existing key's line is rewritten, a new
// key goes right after the last line of its section, a new section to the end of the text. Empty
// when the stored value is already the same, so nothing needs to be written.
std::optional<std::string> Write(std::string_view text, std::string_view section,
                                 std::string_view key, std::string_view value);

// The default value cut to bufferSize - 1 characters, as it is returned when the file cannot be
// read at all.
std::string Truncate(std::string_view text, std::size_t bufferSize);

}  // namespace ornavel::platform::profile_text
