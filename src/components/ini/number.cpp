#include "components/ini/number.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace ornavel {
namespace {

// Beyond this many decimal places from the point a mantissa makes no difference: it overflows a
// double or rounds to zero.
constexpr std::int64_t kExponentLimit = 400;

[[noreturn]] void Overflow() { throw OverflowError("Переполнение"); }

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

double ReadRadix(const std::string& text, std::size_t pos, int radix) {
    std::uint64_t value = 0;
    for (; pos < text.size() && DigitValue(text[pos]) < radix; ++pos) {
        value = value * static_cast<std::uint64_t>(radix) +
                static_cast<std::uint64_t>(DigitValue(text[pos]));
        if (value > 0xFFFFFFFFu) Overflow();
    }
    // 16-bit values keep their sign bit, longer ones are read as 32-bit numbers.
    if (value <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double ReadDecimal(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // The significant digits, without the point and leading zeros, and the power of ten of the
    // last of them.
    std::string digits;
    std::int64_t exponent = 0;
    bool seenPoint = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (IsDigit(c)) {
            if (!(digits.empty() && c == '0')) digits += c;
            if (seenPoint) --exponent;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        std::int64_t written = 0;
        for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
            if (written < 100 * kExponentLimit) written = written * 10 + (text[pos] - '0');
        }
        exponent += negativeExponent ? -written : written;
    }
    if (digits.find_first_not_of('0') == std::string::npos) return 0.0;

    // The power of ten of the first significant digit decides overflow and underflow.
    const auto magnitude = exponent + static_cast<std::int64_t>(digits.size()) - 1;
    if (magnitude > kExponentLimit) Overflow();
    if (magnitude < -kExponentLimit) return 0.0;

    const std::string normalized = digits + "e" + std::to_string(exponent);
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
    if (error == std::errc::result_out_of_range) {
        if (magnitude > 0) Overflow();
        value = 0.0;
    }
    if (std::isinf(value)) Overflow();
    return negative ? -value : value;
}

}  // namespace

double ReadNumber(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (const char c : text) {
        if (c != ' ' && c != '\t' && c != '\n') compact += c;
    }
    if (compact.size() >= 2 && compact[0] == '&') {
        if (compact[1] == 'H' || compact[1] == 'h') return ReadRadix(compact, 2, 16);
        if (compact[1] == 'O' || compact[1] == 'o') return ReadRadix(compact, 2, 8);
    }
    return ReadDecimal(compact);
}

std::int16_t RoundToInt16(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded = below + 1;
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) Overflow();
    return static_cast<std::int16_t>(rounded);
}

}  // namespace ornavel
