#include "geometry/quadrupole.h"

std::optional<double> ElectrodeX(const Survey& v, int electrode) {
  if (electrode <= 0 || electrode > MaxElectrodes) return std::nullopt;
  return static_cast<double>(v.ElectrodeTable[static_cast<size_t>(electrode)].Coordinate);
}

Quadrupole QuadrupoleOf(const Survey& v, const RecordIndexEntry& entry) {
  return {ElectrodeX(v, entry.A), ElectrodeX(v, entry.B), ElectrodeX(v, entry.M), ElectrodeX(v, entry.N)};
}
