#include "geometry/apparent_resistivity.h"

#include "geometry/geometric_factor.h"

Resistivity ResistivityOf(const Quadrupole& q, const RecordResultValues& result) {
  const double k = GeometricFactor(q);
  const double r = result.MeanDU / result.MeanI;
  return {k, r, k * r};
}
