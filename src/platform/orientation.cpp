#include "platform/orientation.hpp"

#include <cstring>

#include "platform/picture_data.hpp"

namespace ornavel::platform::orientation {
namespace {

using picture_data::BigEndian;
using picture_data::LittleEndian;

// The orientation tag of an EXIF block (after its "Exif\0\0"): a TIFF header, then the first
// directory's 12-byte entries.
int FromTiff(std::string_view t) {
    if (t.size() < 8) return 1;
    const bool little = t.substr(0, 2) == "II";
    if (!little && t.substr(0, 2) != "MM") return 1;
    auto get = [&](std::size_t at, int bytes) {
        return little ? LittleEndian(t, at, bytes) : BigEndian(t, at, bytes);
    };
    if (get(2, 2) != 42) return 1;
    const std::uint32_t directory = get(4, 4);
    if (directory > t.size() || t.size() - directory < 2) return 1;
    const std::uint32_t entries = get(directory, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t at = directory + 2 + std::size_t{12} * i;
        if (at > t.size() || t.size() - at < 12) return 1;
        // Tag 274, one SHORT, its value in the first two bytes of the value field.
        if (get(at, 2) != 0x0112) continue;
        if (get(at + 2, 2) != 3 || get(at + 4, 4) != 1) return 1;
        const std::uint32_t value = get(at + 8, 2);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

}  // namespace

int Read(std::string_view b) {
    if (b.size() < 4 || std::uint8_t(b[0]) != 0xFF || std::uint8_t(b[1]) != 0xD8) return 1;
    std::size_t at = 2;
    // Segments up to the first scan; the orientation is in an APP1 segment before it.
    while (b.size() - at >= 4 && std::uint8_t(b[at]) == 0xFF) {
        const std::uint8_t marker = std::uint8_t(b[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        const std::size_t length = BigEndian(b, at + 2, 2);
        if (length < 2 || length > b.size() - at - 2) break;
        const std::string_view body = b.substr(at + 4, length - 2);
        if (marker == 0xE1 && body.size() >= 6 && std::memcmp(body.data(), "Exif\0\0", 6) == 0) {
            return FromTiff(body.substr(6));
        }
        at += 2 + length;
    }
    return 1;
}

Pixels Upright(const std::uint8_t* stored, int width, int height, std::size_t stride,
               int orientation) {
    const bool quarter = Quarter(orientation);
    Pixels out;
    out.width = quarter ? height : width;
    out.height = quarter ? width : height;
    out.bgra.resize(std::size_t{4} * static_cast<std::size_t>(width) *
                    static_cast<std::size_t>(height));
    // Where the stored pixel shown at (x, y) is: mirrored across, down, or the diagonal.
    const bool flipX = orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool flipY = orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    std::uint8_t* to = out.bgra.data();
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x, to += 4) {
            // Shown (x, y) in stored coordinates before any mirroring.
            int sx = quarter ? y : x;
            int sy = quarter ? x : y;
            if (flipX) sx = width - 1 - sx;
            if (flipY) sy = height - 1 - sy;
            std::memcpy(to, stored + stride * static_cast<std::size_t>(sy) + 4 * std::size_t(sx),
                        4);
        }
    }
    return out;
}

}  // namespace ornavel::platform::orientation
