#include "platform/linux/utf8.hpp"

namespace ornavel::platform::utf8 {
namespace {

struct Decoded {
    char32_t code;
    std::size_t length;
};

Decoded Decode(std::string_view text, std::size_t pos) {
    const auto b = static_cast<unsigned char>(text[pos]);
    const Decoded invalid{kRawByte + b, 1};
    if (b < 0x80) return {b, 1};
    const std::size_t length = (b & 0xE0) == 0xC0   ? 2
                               : (b & 0xF0) == 0xE0 ? 3
                               : (b & 0xF8) == 0xF0 ? 4
                                                    : 0;
    if (length == 0 || pos + length > text.size()) return invalid;
    char32_t code = length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0) != 0x80) return invalid;
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return invalid;
    }
    return {code, length};
}

char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;  // À-Þ without ×
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;             // А-Я
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;             // Ѐ-Џ, Ё among them
    return c;
}

}  // namespace

std::size_t CharLength(std::string_view text, std::size_t pos) { return Decode(text, pos).length; }

char32_t CharAt(std::string_view text, std::size_t pos) { return Decode(text, pos).code; }

std::u32string Fold(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const Decoded d = Decode(text, i);
        out.push_back(d.code >= kRawByte ? d.code : FoldCase(d.code));
        i += d.length;
    }
    return out;
}

bool SameFolded(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const Decoded x = Decode(a, i), y = Decode(b, j);
        const char32_t fx = x.code >= kRawByte ? x.code : FoldCase(x.code);
        const char32_t fy = y.code >= kRawByte ? y.code : FoldCase(y.code);
        if (fx != fy) return false;
        i += x.length;
        j += y.length;
    }
    return i == a.size() && j == b.size();
}

}  // namespace ornavel::platform::utf8
