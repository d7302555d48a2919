#pragma once

#include <string>

// The GSettings keys of the GNOME family of desktops, through GIO.
namespace ornavel::platform::linux_desktop {

enum class Key { Required, IfPresent };

// Sets the string (or enumeration) key `key` of schema `schema` to `value`, waits until the
// settings store has it and reads it back. A key the installed schema lacks is skipped when
// `IfPresent`. Throws platform::Error when the schema or key is missing, the key is locked, the
// settings would not outlive the program (no dconf), or the value did not take.
void SetSetting(const char* schema, const char* key, const std::string& value,
                Key presence = Key::Required);

// The key's value as text: a string key's text, an enumeration's nick; "" when the schema or key
// is not installed.
std::string Setting(const char* schema, const char* key);

}  // namespace ornavel::platform::linux_desktop
