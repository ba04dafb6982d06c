#include "processing/format_fixed.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "processing/decimal_rounding.h"

namespace {

constexpr int SignificantDigits = 5;

std::string WithSeparator(std::string text, std::string_view separator) {
  auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, separator);
  return text;
}

// "1.2346e+05" for 5 significant digits; the exponent is that of the rounded value.
std::string Scientific(double value) { return ToChars(value, std::chars_format::scientific, SignificantDigits - 1); }

int DecimalExponent(const std::string& scientific) { return std::atoi(scientific.c_str() + scientific.find('e') + 1); }

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

std::string FormatFixed(double value, int decimals, std::string_view decimal_separator) {
  if (!std::isfinite(value)) return NonFinite(value);
  decimals = std::max(decimals, 0);
  std::string scientific = Scientific(value);
  int exponent = value == 0 ? 0 : DecimalExponent(scientific);
  if (exponent >= SignificantDigits) {
    std::replace(scientific.begin(), scientific.end(), 'e', 'E');
    return WithSeparator(scientific, decimal_separator);
  }
  int kept = std::min(decimals, SignificantDigits - 1 - exponent);
  std::string text = FixedDecimals(value, kept);
  if (kept < decimals) {
    if (kept == 0) text += '.';
    text.append(static_cast<size_t>(decimals - kept), '0');
  }
  return WithSeparator(text, decimal_separator);
}
