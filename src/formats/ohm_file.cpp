#include "formats/ohm_file.h"

#include <algorithm>

#include "formats/plain_number.h"

namespace {

std::vector<double> UsedPositions(const std::vector<const SurveyRow*>& rows) {
  std::vector<double> positions;
  for (const SurveyRow* row : rows)
    for (const auto& x : {row->positions.a, row->positions.b, row->positions.m, row->positions.n})
      if (x) positions.push_back(*x);
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  return positions;
}

// The 1-based number of the electrode at x among the sorted positions, 0 for a remote one.
std::string ElectrodeNumber(const std::vector<double>& positions, const std::optional<double>& x) {
  if (!x) return "0";
  auto at = std::lower_bound(positions.begin(), positions.end(), *x);
  return std::to_string(at - positions.begin() + 1);
}

}  // namespace

FormatLines OhmLines(const std::vector<SurveyRow>& rows) {
  FormatLines file;
  std::vector<const SurveyRow*> carried;
  for (const SurveyRow& row : rows) {
    if (row.Complete())
      carried.push_back(&row);
    else
      ++file.left_out;
  }
  const std::vector<double> positions = UsedPositions(carried);
  file.lines.push_back(std::to_string(positions.size()));
  file.lines.push_back("# x y z");
  for (double x : positions) file.lines.push_back(PlainNumber(x) + " 0.0 0.0");
  file.lines.push_back(std::to_string(carried.size()));
  file.lines.push_back("# a b m n r rhoa k err");
  for (const SurveyRow* row : carried) {
    const Quadrupole& q = row->positions;
    file.lines.push_back(ElectrodeNumber(positions, q.a) + " " + ElectrodeNumber(positions, q.b) + " " +
                         ElectrodeNumber(positions, q.m) + " " + ElectrodeNumber(positions, q.n) + " " +
                         PlainNumber(row->resistivity.r) + " " + PlainNumber(row->resistivity.rhoa) + " " +
                         PlainNumber(row->resistivity.k) + " " + PlainNumber(row->spread_pct / 100));
  }
  file.lines.push_back("0");
  file.written = static_cast<int>(carried.size());
  return file;
}
