#include "processing/decimal_rounding.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// True when value x 10^decimals lies exactly halfway between two integers. With
// value = M x 2^E, twice that product is M x 5^d x 2^(E+1+d), which is an odd integer
// exactly when M has -(E+1+d) trailing zero bits.
bool IsExactTie(double value, int decimals) {
  if (value == 0 || !std::isfinite(value)) return false;
  int exponent = 0;
  double fraction = std::frexp(std::fabs(value), &exponent);
  auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  int shift = -((exponent - 53) + 1 + decimals);
  // With no bits to spare (shift 0) an odd mantissa is still a tie.
  if (shift < 0) return false;
  return std::countr_zero(mantissa) == shift;
}

}  // namespace

std::string ToChars(double value, std::chars_format format, int precision) {
  char buffer[400];  // room for every fixed form below 1e36 with a few decimals
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  return std::string(buffer, result.ptr);
}

std::string FixedDecimals(double value, int decimals) {
  if (value == 0) value = 0.0;  // no sign for negative zero
  // to_chars rounds exact ties to even; the next double away from zero lies beyond the
  // tie and below any other rounding boundary, so it rounds away from zero instead.
  if (IsExactTie(value, decimals))
    value = std::nextafter(value, std::copysign(std::numeric_limits<double>::infinity(), value));
  return ToChars(value, std::chars_format::fixed, decimals);
}
