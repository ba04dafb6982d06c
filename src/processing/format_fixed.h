#pragma once

#include <string>
#include <string_view>

// The window's number-to-text rule: at most 5 significant digits, exactly `decimals`
// digits after the decimal separator, scientific notation (1.2346E+05) when the integer
// part needs more than 5 digits. The window passes the user's regional separator.
std::string FormatFixed(double value, int decimals, std::string_view decimal_separator = ".");
