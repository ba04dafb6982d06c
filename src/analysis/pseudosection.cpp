#include "analysis/pseudosection.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/geometric_factor.h"
#include "geometry/pseudo_position.h"

std::vector<MeasuredRecord> MeasuredRecordsOf(const Survey& v, const std::vector<CheckPoint>& checked) {
  std::vector<MeasuredRecord> records;
  for (const CheckPoint& check : checked) {
    if (check.record < 1 || check.record > v.RecordCount) continue;
    const RecordIndexEntry& entry = v.RecordIndex[static_cast<size_t>(check.record)];
    records.push_back({check.record, entry.A, entry.B, entry.M, entry.N, check.transfer_resistance});
  }
  return records;
}

std::vector<PseudosectionPoint> PseudosectionOf(const Survey& v, const std::vector<CheckPoint>& checked) {
  std::vector<PseudosectionPoint> points;
  points.reserve(checked.size());
  for (const CheckPoint& check : checked) {
    if (check.record < 1 || check.record > v.RecordCount) continue;
    const RecordIndexEntry& entry = v.RecordIndex[static_cast<size_t>(check.record)];
    const Quadrupole q = QuadrupoleOf(v.ElectrodeTable, entry);
    const PseudoPosition place = PseudoPositionOf(q);
    if (!std::isfinite(place.x) || !std::isfinite(place.depth)) continue;
    const double plotted = PlottedError(check.stacking_error_pct);
    points.push_back({check.record, entry.A, entry.B, entry.M, entry.N, place.x, place.depth,
                      GeometricFactor(q) * check.transfer_resistance, check.stacking_error_pct, plotted,
                      ClassOfError(plotted), check.chargeability});
    points.back().tau_ms = check.tau_ms;
    points.back().decay_c = check.decay_c;
    points.back().decay_misfit = check.decay_misfit;
  }
  return points;
}

std::vector<PseudosectionPoint> PlacesOf(const Survey& v) {
  const double none = std::numeric_limits<double>::quiet_NaN();
  std::vector<CheckPoint> unchecked;
  for (int k = 1; k <= v.RecordCount; ++k) unchecked.push_back({k, none, none, ErrorClass::Black, none});
  return PseudosectionOf(v, unchecked);
}

void PlaceOnGround(std::vector<PseudosectionPoint>& points, std::span<const std::pair<double, double>> ground) {
  for (PseudosectionPoint& point : points) {
    point.ground_z = NAN;
    const auto after = std::lower_bound(ground.begin(), ground.end(), point.x,
                                        [](const std::pair<double, double>& p, double x) { return p.first < x; });
    if (after == ground.end()) continue;
    if (after->first == point.x) {
      point.ground_z = after->second;
    } else if (after != ground.begin()) {
      const auto before = after - 1;
      point.ground_z = before->second +
                       (point.x - before->first) / (after->first - before->first) * (after->second - before->second);
    }
  }
}
