#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/pixels.hpp"

// A photo's EXIF orientation, read from the JPEG's own bytes and applied to its pixels the same
// way on every platform (some decoders, Wine's among them, report no orientation at all).
namespace ornavel::platform::orientation {

// The orientation tag (1 to 8) of the first EXIF block of a JPEG's APP1 segments; 1, upright as
// stored, when the bytes are no JPEG, have no EXIF block or no valid tag.
int Read(std::string_view bytes);

// Whether `orientation` turns the picture a quarter: its upright width is its stored height.
constexpr bool Quarter(int orientation) { return orientation >= 5 && orientation <= 8; }

// The pixels of a picture stored `width` x `height` (4 bytes a pixel, rows `stride` bytes apart,
// top-down) as they are shown upright under `orientation`.
Pixels Upright(const std::uint8_t* stored, int width, int height, std::size_t stride,
               int orientation);

}  // namespace ornavel::platform::orientation
