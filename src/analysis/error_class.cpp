#include "analysis/error_class.h"

#include <cmath>

double PlottedError(double error_pct) { return error_pct < 0.1 ? 0.1 : error_pct; }

ErrorClass ClassOfError(double y) {
  if (y == 50 || std::isnan(y)) return ErrorClass::Black;
  if (y > 15) return ErrorClass::Red;
  if (y > 5) return ErrorClass::Yellow;
  if (y > 1) return ErrorClass::Green;
  return ErrorClass::Blue;
}

uint32_t ClassColour(ErrorClass error_class) {
  switch (error_class) {
    case ErrorClass::Black: return 0x000000;
    case ErrorClass::Red: return 0x0000FF;
    case ErrorClass::Yellow: return 0x00FFFF;
    case ErrorClass::Green: return 0x008000;
    case ErrorClass::Blue: return 0xFF0000;
  }
  return 0x000000;
}

const char* ClassName(ErrorClass error_class) {
  switch (error_class) {
    case ErrorClass::Black: return "black";
    case ErrorClass::Red: return "red";
    case ErrorClass::Yellow: return "yellow";
    case ErrorClass::Green: return "green";
    case ErrorClass::Blue: return "blue";
  }
  return "black";
}
