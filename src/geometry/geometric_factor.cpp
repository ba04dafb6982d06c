#include "geometry/geometric_factor.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double Undefined = std::numeric_limits<double>::quiet_NaN();

// 1/distance, 0 for a term with a remote electrode, NaN where the two coincide.
double InverseDistance(const std::optional<double>& current, const std::optional<double>& potential) {
  if (!current || !potential) return 0;
  double distance = std::fabs(*current - *potential);
  return distance > 0 ? 1 / distance : Undefined;
}

}  // namespace

double GeometricFactor(const Quadrupole& q) {
  double sum =
      InverseDistance(q.a, q.m) - InverseDistance(q.b, q.m) - InverseDistance(q.a, q.n) + InverseDistance(q.b, q.n);
  if (!std::isfinite(sum) || sum == 0) return Undefined;
  return 2 * std::numbers::pi / sum;
}
