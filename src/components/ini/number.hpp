#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace ornavel {

// A number that does not fit the type it is read into.
class OverflowError : public std::overflow_error {
  public:
    using std::overflow_error::overflow_error;
};

// Reads the number at the start of `text` the way a stored setting is read: blanks, tabs and line
// feeds are dropped wherever they stand; "&H" and "&O" start hexadecimal and octal numbers (a
// value that fits 16 bits is taken as a signed 16-bit number, a longer one as a signed 32-bit
// number); otherwise an optional sign, decimal digits with at most one period as the decimal
// point whatever the locale, and an optional exponent. Reading stops at the first character that
// cannot continue the number; text without a number reads as 0. Throws OverflowError for a number
// too large for a double or for 32 bits.
double ReadNumber(std::string_view text);

// Rounds to the nearest integer, a half to the even neighbour. Throws OverflowError outside
// -32768 to 32767.
std::int16_t RoundToInt16(double value);

}  // namespace ornavel
