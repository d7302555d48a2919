#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What both platforms check of a picture file before and besides what their decoders check: the
// file is read whole into memory once, so it must be a plain file of a sane size, and decoders
// that fill a picture cut short with grey instead of failing are not asked to.
namespace ornavel::platform::picture_data {

// The unsigned number of `count` bytes (at most 4) at `at` in `bytes`, least significant first,
// as bitmap headers store them. The caller has checked the range.
inline std::uint32_t LittleEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

// The same, most significant first, as JPEG, PNG and big-endian TIFF store them.
inline std::uint32_t BigEndian(std::string_view bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | std::uint8_t(bytes[at + i]);
    return value;
}

// Picture files larger than this are refused without being read.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{512} << 20;

// The reasons shown after «Не удалось открыть изображение «…»: ».
inline constexpr const char* kFolder = "это папка, а не файл";
inline constexpr const char* kNotAFile = "это не обычный файл (канал, сокет или устройство)";
inline constexpr const char* kTooLarge = "файл слишком велик (больше 512 МБ)";
inline constexpr const char* kCutShort = "файл повреждён или обрезан";
inline constexpr const char* kNotAPicture =
    "это не изображение или его формат программе неизвестен";
inline constexpr const char* kDamaged = "файл повреждён";

// Pictures with more pixels than this (1 GiB at 4 bytes a pixel) are refused before decoding.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

// «файл повреждён: <what>».
std::string Damaged(const std::string& what);
// A variant of a format the program does not show, named: «это 12-битный JPEG, …».
std::string Unsupported(const std::string& variant);
// A picture of `width` x `height` pixels, over kMaxPixels, with the limit.
std::string TooLarge(std::uint64_t width, std::uint64_t height);

// The reason a picture's bytes are refused before any decoder sees them, or "" when there is
// none: cut short (see CutShort), or a JPEG of a kind the program does not show (12-bit,
// lossless, hierarchical, or arithmetic-coded, which the Windows codec cannot decode).
std::string Refusal(std::string_view bytes);

// Whether the bytes end before the picture they begin does: a Windows or OS/2 bitmap whose rows
// (plain, bit fields or run-length coded) stop short, a JPEG whose data stops before its end
// marker, a GIF whose first picture's data stops before its last block, or a PNG with a chunk
// longer than the bytes left. Damage a decoder gets
// past (stray bytes between a JPEG's segments, a bitmap's runs ending at the last row without an
// end marker) does not count. Other formats, and data too damaged to tell, are left to the decoder.
bool CutShort(std::string_view bytes);

}  // namespace ornavel::platform::picture_data
