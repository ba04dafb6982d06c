#include "analysis/reciprocal_pairs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "processing/decimal_rounding.h"

namespace {

using Key = std::tuple<int, int, int, int>;

struct Candidate {
  Key key;
  double sign;
};

// The quadrupoles that measure record q again with the dipoles exchanged.
std::vector<Candidate> ReciprocalsOf(const MeasuredRecord& q) {
  return {
      {{q.m, q.n, q.a, q.b}, +1}, {{q.n, q.m, q.a, q.b}, -1}, {{q.m, q.n, q.b, q.a}, -1}, {{q.n, q.m, q.b, q.a}, +1}};
}

}  // namespace

std::vector<ReciprocalPair> FindReciprocalPairs(const std::vector<MeasuredRecord>& records) {
  std::multimap<Key, size_t> by_quadrupole;
  for (size_t i = 0; i < records.size(); ++i) {
    const MeasuredRecord& r = records[i];
    by_quadrupole.emplace(Key{r.a, r.b, r.m, r.n}, i);
  }
  std::vector<bool> paired(records.size(), false);
  std::vector<ReciprocalPair> pairs;
  for (size_t i = 0; i < records.size(); ++i) {
    if (paired[i]) continue;
    size_t best = records.size();
    double sign = 1;
    for (const Candidate& candidate : ReciprocalsOf(records[i])) {
      auto [first, last] = by_quadrupole.equal_range(candidate.key);
      for (auto it = first; it != last; ++it)
        if (it->second != i && !paired[it->second] && it->second < best) best = it->second, sign = candidate.sign;
    }
    if (best == records.size()) continue;
    paired[i] = paired[best] = true;
    const double rn = records[i].r, rr = sign * records[best].r;
    pairs.push_back({records[i].k, records[best].k, rn, rr, (rr - rn) / ((std::fabs(rn) + std::fabs(rr)) / 2)});
  }
  return pairs;
}

double ErrorModel::ErrorOf(double r) const { return std::max(a + b * std::fabs(r), ErrorModelFloor * std::fabs(r)); }

namespace {

struct StraightLine {
  double a = 0, b = 0;
};

double SquaredMisfit(const std::vector<double>& x, const std::vector<double>& y, StraightLine line) {
  double sum = 0;
  for (size_t i = 0; i < x.size(); ++i) sum += (y[i] - line.a - line.b * x[i]) * (y[i] - line.a - line.b * x[i]);
  return sum;
}

// The least-squares line y = a + b·x with a ≥ 0 and b ≥ 0. The misfit is convex: its
// least over the quadrant is the free line when that lies in it, or else lies on an
// edge, a = 0 or b = 0, where each is one clamped least-squares value.
StraightLine NonNegativeLine(const std::vector<double>& x, const std::vector<double>& y) {
  const double n = double(x.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) sx += x[i], sy += y[i], sxx += x[i] * x[i], sxy += x[i] * y[i];
  std::vector<StraightLine> candidates{{std::max(0.0, sy / n), 0}};
  if (sxx > 0) candidates.push_back({0, std::max(0.0, sxy / sxx)});
  const double spread = n * sxx - sx * sx;
  if (spread > 0) {
    const double b = (n * sxy - sx * sy) / spread, a = (sy - b * sx) / n;
    if (a >= 0 && b >= 0) return {a, b};
  }
  StraightLine best = candidates.front();
  for (const StraightLine& line : candidates)
    if (SquaredMisfit(x, y, line) < SquaredMisfit(x, y, best)) best = line;
  return best;
}

}  // namespace

ErrorModel FitErrorModel(const std::vector<ReciprocalPair>& pairs) {
  struct Point {
    double size, difference;
  };
  std::vector<Point> points;
  for (const ReciprocalPair& pair : pairs) {
    Point point{(std::fabs(pair.r_normal) + std::fabs(pair.r_reciprocal)) / 2, pair.r_reciprocal - pair.r_normal};
    if (std::isfinite(point.size) && std::isfinite(point.difference)) points.push_back(point);
  }
  ErrorModel model;
  if (points.empty()) return model;
  std::sort(points.begin(), points.end(), [](const Point& p, const Point& q) { return p.size < q.size; });
  const size_t bins = std::clamp<size_t>(points.size() / 10, 1, 20);
  std::vector<double> x, y;
  for (size_t bin = 0; bin < bins; ++bin) {
    const size_t first = bin * points.size() / bins, last = (bin + 1) * points.size() / bins;
    double size = 0, squares = 0;
    for (size_t i = first; i < last; ++i)
      size += points[i].size, squares += points[i].difference * points[i].difference;
    x.push_back(size / double(last - first));
    y.push_back(std::sqrt(squares / double(last - first)));
  }
  model.bins = static_cast<int>(bins);
  const StraightLine line = NonNegativeLine(x, y);
  // Adding 0 turns a -0 of the free line into 0, which prints without its sign.
  model.a = line.a + 0.0;
  model.b = line.b + 0.0;
  return model;
}

std::string ErrorModelText(const ErrorModel& model) {
  return "|ΔR| = " + ToChars(model.a, std::chars_format::general, 4) + " + " +
         ToChars(model.b, std::chars_format::general, 4) + "·|R| Ω, at least " +
         ToChars(100 * ErrorModelFloor, std::chars_format::general, 4) + " % of |R|";
}
