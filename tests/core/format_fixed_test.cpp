#include "processing/format_fixed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "processing/decimal_rounding.h"

namespace {

TEST(FormatFixed, FiveSignificantDigitsThenZeros) {
  EXPECT_EQ(FormatFixed(1234.5678, 3), "1234.600");
  EXPECT_EQ(FormatFixed(12.3456, 3), "12.346");
  EXPECT_EQ(FormatFixed(1234.56, 1), "1234.6");
  EXPECT_EQ(FormatFixed(12345.6, 1), "12346.0");
  EXPECT_EQ(FormatFixed(50, 3), "50.000");
  EXPECT_EQ(FormatFixed(0, 1), "0.0");
  EXPECT_EQ(FormatFixed(0.5, 3), "0.500");
  EXPECT_EQ(FormatFixed(0.000123456, 3), "0.000");
  EXPECT_EQ(FormatFixed(9.99996, 3), "10.000");
  EXPECT_EQ(FormatFixed(7, 0), "7");
}

TEST(FormatFixed, NegativesKeepTheirSign) {
  EXPECT_EQ(FormatFixed(-0.5, 3), "-0.500");
  EXPECT_EQ(FormatFixed(-1234.5678, 2), "-1234.60");
  EXPECT_EQ(FormatFixed(-0.0, 3), "0.000");
}

TEST(FormatFixed, ScientificBeyondFiveIntegerDigits) {
  EXPECT_EQ(FormatFixed(123456.0, 1), "1.2346E+05");
  EXPECT_EQ(FormatFixed(-99999.7, 3), "-1.0000E+05");
  EXPECT_EQ(FormatFixed(99999.4, 1), "99999.0");
}

TEST(FormatFixed, RegionalSeparator) {
  EXPECT_EQ(FormatFixed(12.3456, 3, ",") + " " + FormatFixed(1234.56, 1, ","), "12,346 1234,6");
  EXPECT_EQ(FormatFixed(123456.0, 1, ","), "1,2346E+05");
  EXPECT_EQ(FormatFixed(-0.5, 3, "\u066B"), "-0\u066B500") << "a separator of several bytes";
}

TEST(FormatFixed, NonFiniteValuesAreSpelledOut) {
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 3), "NAN");
  EXPECT_EQ(FormatFixed(-std::numeric_limits<double>::infinity(), 3), "-INF");
}

TEST(FixedDecimals, TiesGoAwayFromZeroOnTheExactBinaryValue) {
  EXPECT_EQ(FixedDecimals(12.625, 2), "12.63");
  EXPECT_EQ(FixedDecimals(-12.625, 2), "-12.63");
  EXPECT_EQ(FixedDecimals(0.125, 2), "0.13");
  EXPECT_EQ(FixedDecimals(2.5, 0), "3");
  // Ties whose mantissa has no bit to spare: 2^49 + 1/8, 2^51 + 1/2.
  EXPECT_EQ(FixedDecimals(562949953421312.125, 2), "562949953421312.13");
  EXPECT_EQ(FixedDecimals(-562949953421312.125, 2), "-562949953421312.13");
  EXPECT_EQ(FixedDecimals(2251799813685248.5, 0), "2251799813685249");
  EXPECT_EQ(FixedDecimals(-9.995, 2), "-9.99") << "9.995 is stored below the tie";
  EXPECT_EQ(FixedDecimals(-99.5, 0), "-100");
  EXPECT_EQ(FixedDecimals(0.5, 0), "1");
  EXPECT_EQ(FixedDecimals(562949953421312.25, 2), "562949953421312.25") << "no tie at all";
  // 1.005 is stored as 1.00499999999999989..., which is not a tie.
  EXPECT_EQ(FixedDecimals(1.005, 2), "1.00");
  EXPECT_EQ(FixedDecimals(-0.0004, 3), "-0.000");
  EXPECT_EQ(FixedDecimals(-0.0, 3), "0.000");
  EXPECT_EQ(FixedDecimals(static_cast<double>(12.3f), 2), "12.30");
  EXPECT_EQ(FixedDecimals(static_cast<double>(12.3f), 6), "12.300000");
}

}  // namespace
