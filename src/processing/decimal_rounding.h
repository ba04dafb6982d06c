#pragma once

#include <charconv>
#include <string>

// value written by std::to_chars in the given form with `precision` digits ("." always).
std::string ToChars(double value, std::chars_format format, int precision);

// value with exactly `decimals` digits after a "." point, rounded to nearest on the
// exact binary value with ties away from zero (12.625 gives 12.63). A negative value
// that rounds to zero keeps its sign (-0.0004 gives -0.000); negative zero does not.
// value must be finite.
std::string FixedDecimals(double value, int decimals);
