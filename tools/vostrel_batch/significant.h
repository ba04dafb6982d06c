#pragma once

#include <string>

// value in fixed notation with at least `digits` significant digits ("0.01234",
// "376.99", "12346"); "0" for zero, "nan", "inf" and "-inf" for what is no number.
std::string Significant(double value, int digits);
