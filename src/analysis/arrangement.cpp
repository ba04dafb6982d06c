#include "analysis/arrangement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace {

// Spacings within a millimetre are equal: coordinates are kept in single precision.
bool Same(double a, double b) { return std::fabs(a - b) <= 1e-3; }

}  // namespace

Arrangement ArrangementOf(const Quadrupole& q) {
  const int current = q.a.has_value() + q.b.has_value();
  const int potential = q.m.has_value() + q.n.has_value();
  if (current == 0 || potential == 0) return Arrangement::None;
  if (current == 1 && potential == 1) return Arrangement::PolePole;
  if (current == 1 || potential == 1) return Arrangement::PoleDipole;
  const auto [a, b] = std::minmax(*q.a, *q.b);
  const auto [m, n] = std::minmax(*q.m, *q.n);
  if (b <= m || n <= a) return Arrangement::DipoleDipole;
  if (a < m && n < b) {
    if (Same(m - a, n - m) && Same(n - m, b - n)) return Arrangement::Wenner;
    if (Same(m - a, b - n) && n - m < m - a) return Arrangement::Schlumberger;
  }
  return Arrangement::Gradient;
}

Arrangement ArrangementOf(std::span<const Quadrupole> records) {
  std::map<Arrangement, size_t> counts;
  size_t placed = 0;
  for (const Quadrupole& q : records) {
    const Arrangement arrangement = ArrangementOf(q);
    if (arrangement == Arrangement::None) continue;
    ++counts[arrangement];
    ++placed;
  }
  for (const auto& [arrangement, count] : counts)
    if (10 * count >= 9 * placed) return arrangement;
  return placed == 0 ? Arrangement::None : Arrangement::Mixed;
}

Arrangement ArrangementOf(const Survey& survey) {
  std::vector<Quadrupole> records;
  for (int k = 1; k <= survey.RecordCount; ++k)
    records.push_back(QuadrupoleOf(survey.ElectrodeTable, survey.RecordIndex[static_cast<size_t>(k)]));
  return ArrangementOf(records);
}

const char* ArrangementName(Arrangement arrangement) {
  switch (arrangement) {
    case Arrangement::DipoleDipole: return "dipole-dipole";
    case Arrangement::Wenner: return "Wenner";
    case Arrangement::Schlumberger: return "Schlumberger";
    case Arrangement::Gradient: return "gradient";
    case Arrangement::PoleDipole: return "pole-dipole";
    case Arrangement::PolePole: return "pole-pole";
    case Arrangement::Mixed: return "mixed";
    case Arrangement::None: break;
  }
  return "";
}
