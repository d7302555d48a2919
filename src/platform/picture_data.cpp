#include "platform/picture_data.hpp"

#include <cstring>
#include <string>

namespace ornavel::platform::picture_data {
namespace {

// Walks the runs of a run-length coded bitmap (8 or 4 bits a pixel) from `at`: cut short when the
// data ends before the end-of-bitmap mark and before the last row was reached.
bool RunsCutShort(std::string_view b, std::size_t at, std::uint64_t width, std::uint64_t height,
                  bool fourBits) {
    std::uint64_t x = 0, y = 0;
    while (y < height) {
        if (b.size() < 2 || at > b.size() - 2) return !(y + 1 == height && x >= width);
        const std::uint8_t count = std::uint8_t(b[at]), code = std::uint8_t(b[at + 1]);
        at += 2;
        if (count > 0) {
            x += count;
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return false;
        } else if (code == 2) {
            if (at > b.size() - 2) return true;
            x += std::uint8_t(b[at]);
            y += std::uint8_t(b[at + 1]);
            at += 2;
        } else {
            // Literal pixels, padded to a whole 16-bit word.
            std::size_t bytes = fourBits ? (code + 1u) / 2 : code;
            bytes += bytes & 1;
            if (bytes > b.size() - at) return true;
            at += bytes;
            x += code;
        }
    }
    return false;
}

bool BitmapCutShort(std::string_view b) {
    if (b.size() < 18) return true;
    const std::uint32_t headerSize = LittleEndian(b, 14, 4);
    std::uint64_t width, height;
    std::uint32_t bits, compression = 0;
    if (headerSize == 12) {  // OS/2 1.x
        if (b.size() < 26) return true;
        width = LittleEndian(b, 18, 2);
        height = LittleEndian(b, 20, 2);
        bits = LittleEndian(b, 24, 2);
    } else if (headerSize >= 16) {  // Windows, and OS/2 2.x (16 to 64 bytes)
        if (b.size() < 30) return true;
        const auto w = static_cast<std::int32_t>(LittleEndian(b, 18, 4));
        const auto h = static_cast<std::int32_t>(LittleEndian(b, 22, 4));
        width = w < 0 ? 0 : static_cast<std::uint64_t>(w);
        height = h < 0 ? -static_cast<std::int64_t>(h) : h;
        bits = LittleEndian(b, 28, 2);
        if (headerSize >= 20) {
            if (b.size() < 34) return true;
            compression = LittleEndian(b, 30, 4);
        }
    } else {
        return false;
    }
    const std::uint32_t offset = LittleEndian(b, 10, 4);
    if (width == 0 || height == 0) return false;
    if (offset >= b.size()) return true;
    const bool os2v2 = headerSize == 64 || (headerSize > 16 && headerSize < 40);
    if (compression == 0 || ((compression == 3 || compression == 6) && !os2v2)) {
        const std::uint64_t rowBytes = (width * bits + 31) / 32 * 4;
        return rowBytes == 0 || height > (b.size() - offset) / rowBytes;
    }
    if (compression == 1 && bits == 8) return RunsCutShort(b, offset, width, height, false);
    if (compression == 2 && bits == 4) return RunsCutShort(b, offset, width, height, true);
    return false;
}

// Follows a JPEG's segments and the coded data after each scan header to the end marker.
bool JpegCutShort(std::string_view b) {
    std::size_t at = 2;
    while (true) {
        // Bytes where a marker belongs are skipped to the next marker, as the decoder does.
        const void* mark =
            at < b.size() ? std::memchr(b.data() + at, 0xFF, b.size() - at) : nullptr;
        if (mark == nullptr) return true;
        at = static_cast<const char*>(mark) - b.data();
        while (at < b.size() && std::uint8_t(b[at]) == 0xFF) ++at;
        if (at >= b.size()) return true;
        const std::uint8_t marker = std::uint8_t(b[at++]);
        if (marker == 0xD9) return false;  // end of image
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (at > b.size() - 2) return true;
        const std::size_t length = BigEndian(b, at, 2);
        if (length < 2 || length > b.size() - at) return true;
        at += length;
        if (marker != 0xDA) continue;
        // Coded data: 0xFF is followed by 0x00 (a stuffed byte) or a restart marker inside it.
        while (true) {
            const void* ff =
                at < b.size() ? std::memchr(b.data() + at, 0xFF, b.size() - at) : nullptr;
            if (ff == nullptr) return true;
            at = static_cast<const char*>(ff) - b.data() + 1;
            if (at >= b.size()) return true;
            const std::uint8_t next = std::uint8_t(b[at]);
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                ++at;
                continue;
            }
            --at;
            break;
        }
    }
}

// Follows a GIF's blocks to the end of its first picture's data, the one that is shown.
bool GifCutShort(std::string_view b) {
    if (b.size() < 13) return true;
    std::size_t at = 13;
    if (std::uint8_t(b[10]) & 0x80) at += 3u << ((std::uint8_t(b[10]) & 7) + 1);
    // Sub-blocks: a length byte and that many bytes, up to a length of 0.
    auto skipBlocks = [&]() {
        while (at < b.size()) {
            const std::size_t length = std::uint8_t(b[at++]);
            if (length == 0) return true;
            if (length > b.size() - at) return false;
            at += length;
        }
        return false;
    };
    while (at < b.size()) {
        const std::uint8_t kind = std::uint8_t(b[at++]);
        if (kind == 0x21) {  // an extension: its label, then its sub-blocks
            if (++at > b.size() || !skipBlocks()) return true;
        } else if (kind == 0x2C) {  // a picture: its descriptor, colours, code size and data
            if (b.size() - at < 10) return true;
            const std::uint8_t packed = std::uint8_t(b[at + 8]);
            at += 9;
            if (packed & 0x80) at += 3u << ((packed & 7) + 1);
            if (++at > b.size()) return true;
            return !skipBlocks();
        } else {
            return false;  // the end, or damage the decoder reports
        }
    }
    return true;
}

// Follows a PNG's chunks (length, type, data, check value): cut short when one runs past the end.
// The decoder sets aside each chunk's stated length before reading it, so a few bytes could
// otherwise make it ask for gigabytes.
bool PngCutShort(std::string_view b) {
    std::size_t at = 8;
    while (at < b.size()) {
        if (b.size() - at < 12) return true;
        const std::uint64_t length = BigEndian(b, at, 4);
        if (length > b.size() - at - 12) return true;
        if (b.substr(at + 4, 4) == "IEND") return false;
        at += 12 + length;
    }
    return false;
}

// A JPEG's frame header: the kind of coding its marker names and the bits of each sample. What
// the decoders of both platforms read is 8 bits with Huffman coding.
std::string JpegVariant(std::string_view b) {
    std::size_t at = 2;
    while (b.size() - at >= 4 && std::uint8_t(b[at]) == 0xFF) {
        const std::uint8_t marker = std::uint8_t(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        const std::size_t length = BigEndian(b, at + 2, 2);
        if (length < 2 || length > b.size() - at - 2) break;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (marker == 0xC3 || marker == 0xC7 || marker == 0xCB || marker == 0xCF) {
                return "JPEG без потерь (lossless)";
            }
            if (marker == 0xC5 || marker == 0xC6 || marker == 0xCD || marker == 0xCE) {
                return "иерархический JPEG";
            }
            const unsigned precision = length > 2 ? std::uint8_t(b[at + 4]) : 8;
            if (precision != 8) return std::to_string(precision) + "-битный JPEG";
            if (marker >= 0xC9) return "JPEG с арифметическим кодированием";
            return "";
        }
        at += 2 + length;
    }
    return "";
}

}  // namespace

std::string Damaged(const std::string& what) { return std::string(kDamaged) + ": " + what; }

std::string Unsupported(const std::string& variant) {
    return "это " + variant + ", такие изображения программа не показывает";
}

std::string TooLarge(std::uint64_t width, std::uint64_t height) {
    return "изображение слишком велико (" + std::to_string(width) + " x " + std::to_string(height) +
           "), программа открывает изображения не больше " + std::to_string(kMaxPixels / 1000000) +
           " миллионов точек";
}

std::string Refusal(std::string_view bytes) {
    if (CutShort(bytes)) return kCutShort;
    if (bytes.size() >= 3 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xD8 &&
        std::uint8_t(bytes[2]) == 0xFF) {
        const std::string variant = JpegVariant(bytes);
        if (!variant.empty()) return Unsupported(variant);
    }
    return "";
}

bool CutShort(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return BitmapCutShort(bytes);
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") {
        return GifCutShort(bytes);
    }
    if (bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return PngCutShort(bytes);
    if (bytes.size() >= 3 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xD8 &&
        std::uint8_t(bytes[2]) == 0xFF) {
        return JpegCutShort(bytes);
    }
    return false;
}

}  // namespace ornavel::platform::picture_data
