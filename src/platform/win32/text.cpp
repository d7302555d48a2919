#include "platform/win32/text.hpp"

#include <windows.h>

namespace ornavel::platform::win32 {
namespace {

std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string FromWide(UINT codePage, const wchar_t* wide, std::size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(codePage, 0, wide, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide, static_cast<int>(length), text.data(), n, nullptr,
                        nullptr);
    return text;
}

}  // namespace

std::wstring Wide(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }

std::string Utf8(const std::wstring& wide) { return FromWide(CP_UTF8, wide.data(), wide.size()); }

std::string Utf8(const wchar_t* wide, std::size_t length) {
    return FromWide(CP_UTF8, wide, length);
}

std::string Ansi(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    return FromWide(CP_ACP, wide.data(), wide.size());
}

std::string Utf8FromAnsi(const std::string& ansi) { return Utf8(ToWide(CP_ACP, ansi)); }

bool AnsiHolds(const std::string& utf8) { return Utf8FromAnsi(Ansi(utf8)) == utf8; }

}  // namespace ornavel::platform::win32
