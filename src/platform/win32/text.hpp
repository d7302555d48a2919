#pragma once

#include <string>

namespace ornavel::platform::win32 {

// Conversions between the program's UTF-8 text and the texts the Windows API takes.
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
std::string Utf8(const wchar_t* wide, std::size_t length);
// The system's ANSI code page. Characters it cannot represent become the code page's default
// character.
std::string Ansi(const std::string& utf8);
std::string Utf8FromAnsi(const std::string& ansi);
// True when `utf8` survives the trip to the ANSI code page and back unchanged: no character is
// replaced by "?" or by a look-alike ("é" by "e").
bool AnsiHolds(const std::string& utf8);

}  // namespace ornavel::platform::win32
