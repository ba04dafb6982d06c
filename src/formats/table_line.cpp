#include "formats/table_line.h"

#include <cmath>

#include "geometry/apparent_resistivity.h"
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

std::string TableHeader(ExportFormat format) {
  if (format == ExportFormat::Csv) return "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho";
  return "# Spa.1\tSpa.2\tSpa.3\tSpa.4\tVp In Dev. Sp";
}

namespace {

// The text table prints electrode 0, which has no record in the table, at 100000.
double ElectrodePosition(const Survey& v, int electrode) {
  return ElectrodeX(v.ElectrodeTable, electrode).value_or(UnplacedElectrodePosition);
}

std::string Joined(const std::string& first, std::initializer_list<std::string> rest, char separator) {
  std::string line = first;
  for (const std::string& field : rest) (line += separator) += field;
  return line;
}

}  // namespace

std::string TableLine(ExportFormat format, int k, const RecordIndexEntry& entry, const Survey& v,
                      const RecordResultValues& result, double spread_pct) {
  if (format == ExportFormat::Text)
    return Joined(std::to_string(k),
                  {TableValue(ElectrodePosition(v, entry.A), 3), TableValue(ElectrodePosition(v, entry.B), 3),
                   TableValue(ElectrodePosition(v, entry.M), 2), TableValue(ElectrodePosition(v, entry.N), 2),
                   TableValue(result.MeanDU, 3), TableValue(result.MeanI, 3), TableValue(result.ErrorPct, 2),
                   TableValue(result.MeanEP, 3)},
                  ' ');
  const Quadrupole q = QuadrupoleOf(v.ElectrodeTable, entry);
  return CsvLine(q, result, spread_pct, ResistivityOf(q, result).rhoa);
}

namespace {

// M and N to the centimetre as the text table writes them, unless that would write one
// electrode of a line two ways: then to the millimetre, as A and B.
std::string PotentialPosition(double x) {
  const double centimetres = x * 100;
  return TableValue(x, std::fabs(centimetres - std::nearbyint(centimetres)) < 1e-6 ? 2 : 3);
}

}  // namespace

// A remote electrode is written where the resistivity tools look for one, so that a
// remote current and a remote potential electrode stay apart. Dev. is the data error
// those tools read: the stacking error, not the fixed 50 that marks a negative dU.
std::string CsvLine(const Quadrupole& q, const RecordResultValues& result, double spread_pct, double rhoa) {
  return Joined(
      TableValue(q.a.value_or(RemoteCurrentPosition), 3),
      {TableValue(q.b.value_or(RemoteCurrentPosition), 3), PotentialPosition(q.m.value_or(RemotePotentialPosition)),
       PotentialPosition(q.n.value_or(RemotePotentialPosition)), TableValue(result.MeanDU, 3),
       TableValue(result.MeanI, 3), TableValue(spread_pct, 2), TableValue(result.MeanEP, 3), TableValue(rhoa, 3)},
      ',');
}

std::string ChargeabilityHeader(size_t gates) {
  std::string header = ",M,Merr";
  for (size_t i = 1; i <= gates; ++i) header += ",M" + std::to_string(i);
  return header;
}

std::string ChargeabilityColumns(double m, double m_interval, const std::vector<double>& gates) {
  std::string columns = "," + TableValue(m, 3) + "," + TableValue(m_interval, 3);
  for (double gate : gates) columns += "," + TableValue(gate, 3);
  return columns;
}
