#pragma once

#include <string_view>

#include "platform/pixels.hpp"

// Windows and OS/2 bitmaps, read by the program itself so that a bitmap is the same picture on
// every platform: 1, 4 and 8 bits a pixel with a palette, run-length coded 4 and 8 bits, 16, 24
// and 32 bits with any channel masks (alpha too), rows bottom-up or top-down. Every channel is
// stretched to the full 0-255 range; transparency, and the pixels run-length data skips, are laid
// over white.
namespace ornavel::platform::bmp {

// Whether the bytes begin as a bitmap file does.
bool IsBitmap(std::string_view bytes);

struct Size {
    int width = 0, height = 0;
};

// The picture's size from its headers, after checking everything but the pixel data itself.
// Throws platform::Error with the reason, in words, for a bitmap that is damaged, of a variant the
// program does not show (naming it), or too large to decode.
Size Measure(std::string_view bytes);

// The whole picture. Throws platform::Error as Measure does, and when its pixels are cut short.
Pixels Decode(std::string_view bytes);

}  // namespace ornavel::platform::bmp
