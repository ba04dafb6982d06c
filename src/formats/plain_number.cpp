#include "formats/plain_number.h"

#include <algorithm>
#include <cmath>

#include "processing/decimal_rounding.h"

namespace {
constexpr int MaxDecimals = 20;
}

std::string PlainNumber(double value, int significant) {
  if (!std::isfinite(value)) return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
  int decimals = 1;
  if (value != 0) {
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    decimals = std::clamp(significant - 1 - exponent, 1, MaxDecimals);
  }
  return FixedDecimals(value, decimals);
}

std::string PositionNumber(double x) {
  constexpr int TenthOfAMillimetre = 4;  // decimals
  if (!std::isfinite(x) || x == 0) return PlainNumber(x);
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(x))));
  return PlainNumber(x, std::max(7, exponent + 1 + TenthOfAMillimetre));
}
