#include "platform/win32/icon_file.hpp"

#include <cstdint>
#include <cstdlib>

namespace ornavel::platform::win32 {
namespace {

// The little-endian number of `bytes` bytes at `at`.
std::uint32_t Read(const std::uint8_t* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | at[i];
    return value;
}

}  // namespace

HICON IconFromIcoFile(const void* file, std::size_t size, int width, int height) {
    const auto* bytes = static_cast<const std::uint8_t*>(file);
    // The header (reserved, type 1 for icons, count), then 16 bytes per image: width, height
    // (0 for 256), colours, reserved, planes, bits per pixel, the image's size and offset.
    constexpr std::size_t kHeader = 6, kEntry = 16;
    if (bytes == nullptr || size < kHeader || Read(bytes + 2, 2) != 1) return nullptr;
    const std::size_t count = Read(bytes + 4, 2);
    if (size < kHeader + count * kEntry) return nullptr;
    const std::uint8_t* best = nullptr;
    int bestDistance = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = bytes + kHeader + i * kEntry;
        const int entryWidth = entry[0] == 0 ? 256 : entry[0];
        const int entryHeight = entry[1] == 0 ? 256 : entry[1];
        const std::uint32_t imageSize = Read(entry + 8, 4), offset = Read(entry + 12, 4);
        if (offset > size || imageSize > size - offset) continue;
        const int distance = std::abs(entryWidth - width) + std::abs(entryHeight - height);
        if (best == nullptr || distance < bestDistance) {
            best = entry;
            bestDistance = distance;
        }
    }
    if (best == nullptr) return nullptr;
    // The call takes the image as the resource compiler stores it, which is how the file holds
    // it, and scales it when its size differs from the one asked for.
    auto* image = const_cast<std::uint8_t*>(bytes + Read(best + 12, 4));
    return CreateIconFromResourceEx(image, Read(best + 8, 4), TRUE, 0x00030000, width, height,
                                    LR_DEFAULTCOLOR);
}

}  // namespace ornavel::platform::win32
