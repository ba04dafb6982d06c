#include "geometry/quadrupole.h"

std::optional<double> ElectrodeX(std::span<const ElectrodeRecord> v, int electrode) {
  if (electrode <= 0 || static_cast<size_t>(electrode) >= v.size()) return std::nullopt;
  // A coordinate is widened exactly from float32: a stored 12.3 prints as 12.30.
  return static_cast<double>(v[static_cast<size_t>(electrode)].Coordinate);
}

Quadrupole QuadrupoleOf(std::span<const ElectrodeRecord> v, const RecordIndexEntry& entry) {
  return {ElectrodeX(v, entry.A), ElectrodeX(v, entry.B), ElectrodeX(v, entry.M), ElectrodeX(v, entry.N)};
}
