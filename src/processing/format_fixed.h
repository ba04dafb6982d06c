#pragma once

#include <string>

// The window's number-to-text rule: at most 5 significant digits, exactly `decimals`
// digits after the regional decimal separator, scientific notation (1.2346E+05) when
// the integer part needs more than 5 digits.
std::string FormatFixed(double value, int decimals);

// The user's regional decimal separator, read once at start; "." until then.
void SetDecimalSeparator(const std::string& separator);
const std::string& DecimalSeparator();
