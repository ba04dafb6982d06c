#include "output/table_line.h"

#include <cmath>

#include "processing/decimal_rounding.h"

namespace {

constexpr double UnplacedElectrodePosition = 100000;
// Beyond this the fixed form would print dozens of digits; only damaged data gets here.
constexpr double LargestFixedMagnitude = 1e36;

}  // namespace

// Damaged data can give values that have no fixed form. They are written so that the
// line keeps its nine fields and a reader sees what happened: "nan", "inf", "-inf",
// and 1.000e+36 for huge magnitudes.
std::string TableValue(double value, int decimals) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  if (std::fabs(value) >= LargestFixedMagnitude) return ToChars(value, std::chars_format::scientific, decimals);
  return FixedDecimals(value, decimals);
}

std::string TableHeader(TableFormat format) {
  if (format == TableFormat::Csv) return "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp";
  return "# Spa.1\tSpa.2\tSpa.3\tSpa.4\tVp In Dev. Sp";
}

double ElectrodePosition(const Vari& v, int electrode) {
  if (electrode == 0) return UnplacedElectrodePosition;
  // A coordinate is widened exactly from float32: a stored 12.3 prints as 12.30.
  return static_cast<double>(v.ElectrodeTable[electrode].Coordinate);
}

std::string TableLine(TableFormat format, int k, const RecordIndexEntry& entry, const Vari& v,
                      const RecordResultValues& result) {
  const char separator = format == TableFormat::Csv ? ',' : ' ';
  std::string line = format == TableFormat::Csv ? "" : std::to_string(k) + separator;
  const std::string fields[] = {
      TableValue(ElectrodePosition(v, entry.A), 3),
      TableValue(ElectrodePosition(v, entry.B), 3),
      TableValue(ElectrodePosition(v, entry.M), 2),
      TableValue(ElectrodePosition(v, entry.N), 2),
      TableValue(result.MeanDU, 3),
      TableValue(result.MeanI, 3),
      TableValue(result.ErrorPct, 2),
      TableValue(result.MeanEP, 3),
  };
  for (size_t i = 0; i < std::size(fields); ++i) {
    if (i > 0) line += separator;
    line += fields[i];
  }
  return line;
}
