#include "processing/resistivity_line.h"

#include "processing/format_fixed.h"

std::string ResistivityLine(const Resistivity& resistivity, std::string_view decimal_separator) {
  return "K=" + FormatFixed(resistivity.k, 3, decimal_separator) +
         "  R=" + FormatFixed(resistivity.r, 5, decimal_separator) +
         "  rhoa=" + FormatFixed(resistivity.rhoa, 3, decimal_separator);
}
