#pragma once

#include <cstdint>

enum class ErrorClass { Blue, Green, Yellow, Red, Black };

// The error as the strip chart plots it: raised to 0.1 so the log axis can show it.
double PlottedError(double error_pct);

// Class of a plotted error: black for exactly 50 (negative mean dU) or not a number,
// then red above 15, yellow above 5, green above 1, blue otherwise.
ErrorClass ClassOfError(double plotted_error);

// Toolkit colour value 0x00BBGGRR of a class.
uint32_t ClassColour(ErrorClass error_class);
const char* ClassName(ErrorClass error_class);
