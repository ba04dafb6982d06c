#include "geometry/pseudo_position.h"

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

struct Pair {
  double sign;
  double distance;
};

std::vector<Pair> PairsOf(const Quadrupole& q) {
  std::vector<Pair> pairs;
  auto add = [&](double sign, const std::optional<double>& current, const std::optional<double>& potential) {
    if (current && potential) pairs.push_back({sign, std::fabs(*current - *potential)});
  };
  add(+1, q.a, q.m);
  add(-1, q.b, q.m);
  add(-1, q.a, q.n);
  add(+1, q.b, q.n);
  return pairs;
}

// The signal arising above depth z, per unit of current and resistivity, up to a constant.
double SignalAbove(const std::vector<Pair>& pairs, double z) {
  double sum = 0;
  for (const Pair& pair : pairs)
    sum += pair.sign * (1 / pair.distance - 1 / std::sqrt(4 * z * z + pair.distance * pair.distance)) / 2;
  return sum;
}

double MedianDepth(const std::vector<Pair>& pairs) {
  double total = 0;
  double longest = 0;
  for (const Pair& pair : pairs) {
    if (!(pair.distance > 0)) return NaN;
    total += pair.sign / pair.distance / 2;
    longest = std::fmax(longest, pair.distance);
  }
  if (pairs.empty() || total == 0 || !std::isfinite(total)) return NaN;
  // The signal above z grows from 0 towards its total; halve the interval where it
  // crosses half of it. Beyond a hundred times the longest pair nothing changes.
  double low = 0, high = 100 * longest;
  const double half = total / 2;
  for (int step = 0; step < 200 && high - low > 1e-12 * high; ++step) {
    double middle = (low + high) / 2;
    if ((SignalAbove(pairs, middle) - half) * total < 0)
      low = middle;
    else
      high = middle;
  }
  return (low + high) / 2;
}

}  // namespace

PseudoPosition PseudoPositionOf(const Quadrupole& q) {
  double sum = 0;
  int placed = 0;
  for (const auto& x : {q.a, q.b, q.m, q.n})
    if (x) sum += *x, ++placed;
  return {placed > 0 ? sum / placed : NaN, MedianDepth(PairsOf(q))};
}
