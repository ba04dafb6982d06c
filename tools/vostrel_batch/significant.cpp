#include "vostrel_batch/significant.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

std::string Significant(double value, int digits) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (value == 0) return "0";
  const int decimals = std::max(0, digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value)))));
  std::array<char, 400> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
  return std::string(buffer.data(), result.ptr);
}
