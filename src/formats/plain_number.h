#pragma once

#include <string>

// value in fixed-point form with at least `significant` significant digits and at least
// one decimal, never with an exponent: the exchange formats' loaders read numbers with
// patterns that would split "1e-05" or take "-5" for 5.
std::string PlainNumber(double value, int significant = 7);

// A position along a line as PlainNumber writes it, with the digits to tell electrodes a
// tenth of a millimetre apart however far along the line they stand.
std::string PositionNumber(double x);
