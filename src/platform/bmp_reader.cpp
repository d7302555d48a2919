#include "platform/bmp_reader.hpp"

#include <array>
#include <limits>
#include <new>
#include <string>

#include "platform/bitmap_file.hpp"
#include "platform/error.hpp"
#include "platform/picture_data.hpp"

namespace ornavel::platform::bmp {
namespace {

using picture_data::LittleEndian;

[[noreturn]] void Damaged(const std::string& what) { throw Error(picture_data::Damaged(what)); }

[[noreturn]] void Unsupported(const char* variant) {
    throw Error(picture_data::Unsupported(variant));
}

// One channel of a pixel: where its bits are, and how many.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0, bits = 0;

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        while (!(m & 1)) {
            m >>= 1;
            ++shift;
        }
        while (m & 1) {
            m >>= 1;
            ++bits;
        }
        if (m != 0) Damaged("маски цветов заданы неверно");
    }
    // The channel's value stretched to 0-255, rounded to the nearest.
    std::uint8_t Of(std::uint32_t pixel) const {
        if (bits == 0) return 0;
        const std::uint64_t max = (std::uint64_t{1} << bits) - 1;
        const std::uint64_t value = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
    }
};

struct Header {
    int width = 0, height = 0;
    bool bottomUp = true;
    unsigned bits = 0;
    std::uint32_t compression = 0;  // 0 none, 1 RLE8, 2 RLE4, 3 or 6 channel masks
    std::size_t pixelsAt = 0;
    std::array<Channel, 4> channels;  // red, green, blue, alpha
    // Blue, green, red, alpha (255) for each index; indices past the palette are black.
    std::array<std::array<std::uint8_t, 4>, 256> palette{};
};

Header Read(std::string_view b) {
    if (b.size() < 18) throw Error(picture_data::kCutShort);
    const std::uint32_t size = LittleEndian(b, 14, 4);
    const bool os2v1 = size == 12;
    const bool windows = size == 40 || size == 52 || size == 56 || size >= 108;
    if (!os2v1 && !windows && (size < 16 || size > 64)) Damaged("неизвестный вид заголовка BMP");
    if (b.size() - 14 < size) throw Error(picture_data::kCutShort);
    // Fields past the end of a short OS/2 header are zero.
    auto field = [&](std::uint32_t at, int bytes) {
        return at + bytes <= 14 + size ? LittleEndian(b, at, bytes) : 0;
    };

    Header h;
    std::int64_t width, height;
    std::uint32_t colours = 0;
    if (os2v1) {
        width = field(18, 2);
        height = field(20, 2);
        h.bits = field(24, 2);
    } else {
        width = static_cast<std::int32_t>(field(18, 4));
        height = static_cast<std::int32_t>(field(22, 4));
        h.bits = field(28, 2);
        h.compression = field(30, 4);
        colours = field(46, 4);
    }

    switch (h.compression) {
        case 0:
        case 1:
        case 2:
            break;
        case 3:
            // OS/2 2.x gives this number to its one-bit Huffman coding; Windows to channel masks.
            if (h.bits == 1 || !windows) Unsupported("BMP со сжатием Хаффмана (OS/2)");
            break;
        case 4:
            if (h.bits == 24 || !windows) Unsupported("BMP со сжатием RLE24 (OS/2)");
            Unsupported("BMP со встроенным JPEG");
        case 5:
            Unsupported("BMP со встроенным PNG");
        case 6:
            if (!windows) Damaged("неизвестный способ сжатия");
            break;
        case 11:
        case 12:
        case 13:
            Unsupported("BMP в цветах CMYK");
        default:
            Damaged("неизвестный способ сжатия");
    }
    switch (h.bits) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            break;
        case 2:
            Unsupported("2-битный BMP");
        case 64:
            Unsupported("64-битный BMP");
        default:
            Damaged(std::to_string(h.bits) + " бит на точку");
    }
    if ((h.compression == 1 && h.bits != 8) || (h.compression == 2 && h.bits != 4)) {
        Damaged("способ сжатия не подходит к числу бит на точку");
    }
    if ((h.compression == 3 || h.compression == 6) && h.bits <= 8) {
        Damaged("маски цветов у изображения с палитрой");
    }

    if (width < 0) Damaged("отрицательная ширина");
    if (width == 0 || height == 0) Damaged("изображение пустое");
    if (height == std::numeric_limits<std::int32_t>::min()) Damaged("неверная высота");
    h.bottomUp = height > 0;
    if (height < 0) height = -height;
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
        picture_data::kMaxPixels) {
        throw Error(picture_data::TooLarge(width, height));
    }
    h.width = static_cast<int>(width);
    h.height = static_cast<int>(height);

    // Channel masks: after a 40-byte header, or inside a longer one.
    std::size_t tableAt = 14 + size;
    if (h.compression == 3 || h.compression == 6) {
        std::array<std::uint32_t, 4> masks{};
        const std::size_t count = h.compression == 6 ? 4 : 3;
        if (size >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = LittleEndian(b, 54 + 4 * i, 4);
            if (size >= 56) masks[3] = LittleEndian(b, 66, 4);
            if (h.compression == 6 && size < 56) {
                if (b.size() < tableAt + 4) throw Error(picture_data::kCutShort);
                masks[3] = LittleEndian(b, tableAt, 4);
                tableAt += 4;
            }
        } else {
            if (b.size() - tableAt < 4 * count) throw Error(picture_data::kCutShort);
            for (std::size_t i = 0; i < count; ++i) masks[i] = LittleEndian(b, tableAt + 4 * i, 4);
            tableAt += 4 * count;
        }
        const std::uint32_t used = h.bits == 32 ? 0xFFFFFFFFu : (1u << h.bits) - 1;
        std::uint32_t seen = 0;
        for (int i = 0; i < 4; ++i) {
            if ((masks[i] & ~used) || (masks[i] & seen)) Damaged("маски цветов заданы неверно");
            seen |= masks[i];
            h.channels[i] = Channel(masks[i]);
        }
    } else if (h.bits == 16) {
        h.channels = {Channel(0x7C00), Channel(0x03E0), Channel(0x001F), Channel()};
    } else if (h.bits == 32) {
        h.channels = {Channel(0xFF0000), Channel(0xFF00), Channel(0xFF), Channel()};
    }

    const std::uint32_t offset = LittleEndian(b, 10, 4);
    if (offset < tableAt) Damaged("изображение начинается внутри заголовка");
    if (offset >= b.size()) throw Error(picture_data::kCutShort);
    h.pixelsAt = offset;

    // The palette lies between the headers and the pixels; entries past what the file holds there
    // stay black.
    for (auto& entry : h.palette) entry = {0, 0, 0, 255};
    if (h.bits <= 8) {
        const std::size_t entryBytes = os2v1 ? 3 : 4;
        std::size_t count = std::size_t{1} << h.bits;
        if (colours != 0 && colours < count) count = colours;
        const std::size_t room = (offset - tableAt) / entryBytes;
        if (count > room) count = room;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = tableAt + i * entryBytes;
            h.palette[i] = {std::uint8_t(b[at]), std::uint8_t(b[at + 1]), std::uint8_t(b[at + 2]),
                            255};
        }
    }
    // Rows that stop short, and runs that stop before the last row without an end mark.
    if (picture_data::CutShort(b)) throw Error(picture_data::kCutShort);
    return h;
}

// Decodes the runs of an RLE8 or RLE4 bitmap. Pixels the runs skip (by a line end, a jump or the
// end of the data) are transparent, so they stay white.
void DecodeRuns(std::string_view b, const Header& h, Pixels& out) {
    const bool four = h.compression == 2;
    const std::uint64_t width = static_cast<std::uint64_t>(h.width);
    const std::uint64_t height = static_cast<std::uint64_t>(h.height);
    std::uint64_t x = 0, y = 0;  // y counts rows in the order they are stored
    auto put = [&](std::uint64_t at, unsigned index) {
        if (at >= width || y >= height) return;
        const std::uint64_t row = h.bottomUp ? height - 1 - y : y;
        std::uint8_t* pixel = out.bgra.data() + 4 * (row * width + at);
        const auto& colour = h.palette[index];
        pixel[0] = colour[0];
        pixel[1] = colour[1];
        pixel[2] = colour[2];
    };
    std::size_t at = h.pixelsAt;
    while (y < height && b.size() - at >= 2) {
        const unsigned count = std::uint8_t(b[at]), code = std::uint8_t(b[at + 1]);
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                put(x + i, four ? (i % 2 ? code & 15 : code >> 4) : code);
            }
            x += count;
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            break;
        } else if (code == 2) {
            if (b.size() - at < 2) break;
            x += std::uint8_t(b[at]);
            y += std::uint8_t(b[at + 1]);
            at += 2;
        } else {
            std::size_t bytes = four ? (code + 1) / 2 : code;
            if (bytes > b.size() - at) break;
            for (unsigned i = 0; i < code; ++i) {
                const unsigned byte = std::uint8_t(b[at + (four ? i / 2 : i)]);
                put(x + i, four ? (i % 2 ? byte & 15 : byte >> 4) : byte);
            }
            x += code;
            bytes += bytes & 1;  // literal runs are padded to a whole 16-bit word
            at += bytes < b.size() - at ? bytes : b.size() - at;
        }
    }
}

void DecodeRows(std::string_view b, const Header& h, Pixels& out) {
    const std::uint64_t width = static_cast<std::uint64_t>(h.width);
    const std::uint64_t stride = (width * h.bits + 31) / 32 * 4;
    const std::uint64_t height = static_cast<std::uint64_t>(h.height);
    if (stride * height > b.size() - h.pixelsAt) throw Error(picture_data::kCutShort);
    const bool masked = h.bits >= 16 && !(h.bits == 24 && h.compression == 0);
    const bool alpha = h.channels[3].bits > 0;
    for (std::uint64_t y = 0; y < height; ++y) {
        const char* in = b.data() + h.pixelsAt + y * stride;
        std::uint8_t* pixel = out.bgra.data() + 4 * width * (h.bottomUp ? height - 1 - y : y);
        for (std::uint64_t x = 0; x < width; ++x, pixel += 4) {
            if (h.bits <= 8) {
                const std::uint64_t bit = x * h.bits;
                const unsigned byte = std::uint8_t(in[bit / 8]);
                const unsigned index = (byte >> (8 - h.bits - bit % 8)) & ((1u << h.bits) - 1);
                const auto& colour = h.palette[index];
                pixel[0] = colour[0];
                pixel[1] = colour[1];
                pixel[2] = colour[2];
            } else if (!masked) {
                pixel[0] = std::uint8_t(in[3 * x]);
                pixel[1] = std::uint8_t(in[3 * x + 1]);
                pixel[2] = std::uint8_t(in[3 * x + 2]);
            } else {
                const int bytes = static_cast<int>(h.bits / 8);
                const std::uint32_t value =
                    LittleEndian(std::string_view(in, stride), x * bytes, bytes);
                const unsigned a = alpha ? h.channels[3].Of(value) : 255;
                pixel[2] = OnWhite(h.channels[0].Of(value), a);
                pixel[1] = OnWhite(h.channels[1].Of(value), a);
                pixel[0] = OnWhite(h.channels[2].Of(value), a);
            }
            pixel[3] = 255;
        }
    }
}

}  // namespace

bool IsBitmap(std::string_view bytes) { return bytes.size() >= 2 && bytes.substr(0, 2) == "BM"; }

Size Measure(std::string_view bytes) {
    const Header h = Read(bytes);
    return {h.width, h.height};
}

Pixels Decode(std::string_view bytes) {
    const Header h = Read(bytes);
    Pixels out;
    out.width = h.width;
    out.height = h.height;
    try {
        // White and opaque: what run-length data skips stays so.
        out.bgra.assign(
            std::size_t{4} * static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.height),
            255);
    } catch (const std::bad_alloc&) {
        throw Error("недостаточно памяти");
    }
    if (h.compression == 1 || h.compression == 2) {
        DecodeRuns(bytes, h, out);
    } else {
        DecodeRows(bytes, h, out);
    }
    return out;
}

}  // namespace ornavel::platform::bmp
