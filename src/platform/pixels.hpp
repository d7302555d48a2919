#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ornavel::platform {

// A picture decoded in memory by the program's own code: rows top-down, 4 bytes a pixel (blue,
// green, red, alpha), alpha always 255, since transparency is laid over white as it is decoded.
struct Pixels {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;
};

}  // namespace ornavel::platform
