#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 helpers for names and values that are bytes: a byte that is not part of a valid sequence
// counts as one character of its own.
namespace ornavel::platform::utf8 {

// The length in bytes of the character that starts at `pos` (1 for an invalid byte).
std::size_t CharLength(std::string_view text, std::size_t pos);

// The code point of the character that starts at `pos`, or kRawByte + byte for an invalid byte.
constexpr char32_t kRawByte = 0x110000;
char32_t CharAt(std::string_view text, std::size_t pos);

// The text as characters folded to small letters (ASCII, Latin-1 and Cyrillic capitals), for
// comparing without regard to case.
std::u32string Fold(std::string_view text);

// Whether the two texts are equal without regard to case, as Fold compares them.
bool SameFolded(std::string_view a, std::string_view b);

}  // namespace ornavel::platform::utf8
