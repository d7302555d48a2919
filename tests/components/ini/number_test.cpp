#include "components/ini/number.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/environment_skip.hpp"

namespace ornavel {
namespace {

TEST(ReadNumber, DecimalWithSignPointAndExponent) {
    EXPECT_EQ(ReadNumber("42"), 42);
    EXPECT_EQ(ReadNumber("-5"), -5);
    EXPECT_EQ(ReadNumber("+7"), 7);
    EXPECT_EQ(ReadNumber("2.5"), 2.5);
    EXPECT_EQ(ReadNumber(".5"), 0.5);
    EXPECT_EQ(ReadNumber("5."), 5);
    EXPECT_EQ(ReadNumber("1e3"), 1000);
    EXPECT_EQ(ReadNumber("1.5E+2"), 150);
    EXPECT_EQ(ReadNumber("25e-1"), 2.5);
    EXPECT_EQ(ReadNumber("0.1"), 0.1);
    EXPECT_EQ(ReadNumber("000012"), 12);
}

TEST(ReadNumber, BlanksTabsAndLineFeedsAreDroppedAnywhere) {
    EXPECT_EQ(ReadNumber("1 2"), 12);
    EXPECT_EQ(ReadNumber(" \t- 1\n2 . 5 "), -12.5);
    EXPECT_EQ(ReadNumber("& H F F F F"), -1);
    EXPECT_EQ(ReadNumber("1 e 2"), 100);
    // A carriage return is not a blank here: it ends the number.
    EXPECT_EQ(ReadNumber("1\r2"), 1);
}

TEST(ReadNumber, StopsAtTheFirstCharacterThatCannotContinue) {
    EXPECT_EQ(ReadNumber("12abc"), 12);
    EXPECT_EQ(ReadNumber("1,5"), 1);
    EXPECT_EQ(ReadNumber("1.2.3"), 1.2);
    EXPECT_EQ(ReadNumber("3e"), 3);
    EXPECT_EQ(ReadNumber("3e+"), 3);
    EXPECT_EQ(ReadNumber("3d2"), 3);
    EXPECT_EQ(ReadNumber("--1"), 0);
    EXPECT_EQ(ReadNumber("abc"), 0);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("-"), 0);
    EXPECT_EQ(ReadNumber("."), 0);
    EXPECT_EQ(ReadNumber("&"), 0);
    EXPECT_EQ(ReadNumber("&17"), 0);
}

TEST(ReadNumber, PeriodIsTheDecimalPointWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool found = false;
    for (const char* name : {"ru_RU.UTF-8", "de_DE.UTF-8", "Russian_Russia.1251", "German"}) {
        if (!found && std::setlocale(LC_NUMERIC, name) != nullptr) found = true;
    }
    if (!found) SKIP_OR_FAIL_IN_CI("no locale with a decimal comma is installed");
    EXPECT_EQ(ReadNumber("2.5"), 2.5);
    EXPECT_EQ(ReadNumber("2,5"), 2);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ReadNumber, HexadecimalAndOctalTakeTheSignOfTheirWidth) {
    EXPECT_EQ(ReadNumber("&H10"), 16);
    EXPECT_EQ(ReadNumber("&hff"), 255);
    EXPECT_EQ(ReadNumber("&H7FFF"), 32767);
    EXPECT_EQ(ReadNumber("&H8000"), -32768);
    EXPECT_EQ(ReadNumber("&HFFFF"), -1);
    EXPECT_EQ(ReadNumber("&H0000FFFF"), -1);
    EXPECT_EQ(ReadNumber("&H10000"), 65536);
    EXPECT_EQ(ReadNumber("&H7FFFFFFF"), 2147483647);
    EXPECT_EQ(ReadNumber("&HFFFFFFFF"), -1);
    EXPECT_EQ(ReadNumber("&H80000000"), -2147483648.0);
    EXPECT_EQ(ReadNumber("&O17"), 15);
    EXPECT_EQ(ReadNumber("&o177777"), -1);
    EXPECT_EQ(ReadNumber("&O200000"), 65536);
    EXPECT_EQ(ReadNumber("&H1G"), 1);
    EXPECT_EQ(ReadNumber("&O78"), 7);
    EXPECT_EQ(ReadNumber("&H"), 0);
    EXPECT_THROW(ReadNumber("&H100000000"), OverflowError);
}

TEST(ReadNumber, HugeNumbersOverflowAndTinyOnesAreZero) {
    EXPECT_THROW(ReadNumber("1e309"), OverflowError);
    EXPECT_THROW(ReadNumber("-" + std::string(400, '9')), OverflowError);
    EXPECT_THROW(ReadNumber("1e99999999999999999999"), OverflowError);
    EXPECT_EQ(ReadNumber("1e308"), 1e308);
    EXPECT_EQ(ReadNumber("1e-400"), 0);
    EXPECT_EQ(ReadNumber("0e99999"), 0);
    EXPECT_EQ(ReadNumber("0." + std::string(500, '0') + "1e500"), 0.1);
}

TEST(RoundToInt16, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(-3.5), -4);
    EXPECT_EQ(RoundToInt16(0.5), 0);
    EXPECT_EQ(RoundToInt16(1.5), 2);
    EXPECT_EQ(RoundToInt16(2.4999), 2);
    EXPECT_EQ(RoundToInt16(2.5001), 3);
    EXPECT_EQ(RoundToInt16(-0.4), 0);
}

TEST(RoundToInt16, OutsideSixteenBitsIsAnOverflow) {
    EXPECT_EQ(RoundToInt16(32767), 32767);
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_EQ(RoundToInt16(-32768), -32768);
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);
    EXPECT_THROW(RoundToInt16(32767.5), OverflowError);
    EXPECT_THROW(RoundToInt16(-32768.6), OverflowError);
    EXPECT_THROW(RoundToInt16(40000), OverflowError);
    EXPECT_THROW(RoundToInt16(RoundToInt16(0) + ReadNumber("&H10000")), OverflowError);
    EXPECT_THROW(RoundToInt16(1e300), OverflowError);
}

}  // namespace
}  // namespace ornavel
