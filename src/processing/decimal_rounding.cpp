#include "processing/decimal_rounding.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

// True when value x 10^decimals lies exactly halfway between two integers. With
// value = M x 2^E, twice that product is M x 5^d x 2^(E+1+d), which is an odd integer
// exactly when M has -(E+1+d) trailing zero bits; with no bits to spare (0) an odd
// mantissa is still a tie.
bool IsExactTie(double value, int decimals) {
  if (value == 0 || !std::isfinite(value)) return false;
  int exponent = 0;
  double fraction = std::frexp(std::fabs(value), &exponent);
  auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  int shift = -((exponent - 53) + 1 + decimals);
  if (shift < 0) return false;
  return std::countr_zero(mantissa) == shift;
}

// The magnitude of a decimal text one unit larger in its last digit ("-9.99" gives "-10.00").
std::string IncrementLastDigit(std::string text) {
  for (size_t i = text.size(); i-- > 0;) {
    char& c = text[i];
    if (c == '.') continue;
    if (c == '-') break;
    if (c != '9') {
      ++c;
      return text;
    }
    c = '0';
  }
  // Every digit carried over: a 1 stands before them, after the sign.
  const bool negative = text[0] == '-';
  std::string carried = negative ? "-1" : "1";
  for (size_t i = negative ? 1 : 0; i < text.size(); ++i) carried.push_back(text[i]);
  return carried;
}

}  // namespace

std::string ToChars(double value, std::chars_format format, int precision) {
  char buffer[400];  // room for every fixed form below 1e36 with a few decimals
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  return std::string(buffer, result.ptr);
}

std::string FixedDecimals(double value, int decimals) {
  if (value == 0) value = 0.0;  // no sign for negative zero
  if (!IsExactTie(value, decimals)) return ToChars(value, std::chars_format::fixed, decimals);
  // to_chars rounds exact ties to even. With one more decimal the tie is written
  // exactly, ending in 5: dropping that 5 and counting the rest one up rounds it away
  // from zero.
  std::string exact = ToChars(value, std::chars_format::fixed, decimals + 1);
  exact.pop_back();
  if (decimals == 0) exact.pop_back();  // the point
  return IncrementLastDigit(exact);
}
