#include "line/line_electrodes.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <map>

#include "geometry/quadrupole.h"

std::vector<double> MergePositions(std::vector<double> positions) {
  // A coordinate that is no number (a damaged electrode table) puts its electrode nowhere
  // on the line; it must not reach the sort either, whose order it would break.
  std::erase_if(positions, [](double position) { return !std::isfinite(position); });
  std::sort(positions.begin(), positions.end());
  std::vector<double> merged;
  for (double position : positions)
    if (merged.empty() || position - merged.back() > SamePositionM) merged.push_back(position);
  return merged;
}

std::vector<LineElectrode> LineElectrodes(const std::vector<double>& positions, const Topography& topography) {
  const std::vector<double> merged = MergePositions(positions);
  const std::vector<GroundPoint> ground = PlaceOnGround(topography, merged);
  std::vector<LineElectrode> electrodes;
  electrodes.reserve(merged.size());
  for (size_t i = 0; i < merged.size(); ++i) electrodes.push_back({merged[i], ground[i].x, ground[i].z});
  return electrodes;
}

std::vector<double> UsedPositions(const Survey& v, double offset_m) {
  std::bitset<MaxElectrodes + 1> used;
  for (int32_t k = 1; k <= v.RecordCount; ++k) {
    const RecordIndexEntry& entry = v.RecordIndex[static_cast<size_t>(k)];
    for (int electrode : {entry.A, entry.B, entry.M, entry.N})
      if (electrode > 0 && electrode <= MaxElectrodes) used.set(static_cast<size_t>(electrode));
  }
  std::vector<double> positions;
  for (int electrode = 1; electrode <= MaxElectrodes; ++electrode)
    if (used.test(static_cast<size_t>(electrode)))
      positions.push_back(*ElectrodeX(v.ElectrodeTable, electrode) + offset_m);
  return positions;
}

namespace {

// The electrode of the line at a position: the last merged position at or below it within
// the merging distance. -1 for a remote electrode, -2 for one without a coordinate.
int ElectrodeIndex(const std::vector<double>& merged, const std::optional<double>& position) {
  if (!position) return -1;
  if (!std::isfinite(*position)) return -2;
  auto after = std::upper_bound(merged.begin(), merged.end(), *position);
  return static_cast<int>(after - merged.begin()) - 1;
}

}  // namespace

std::vector<std::vector<RecordRef>> Repeats(const std::vector<LineRecord>& records) {
  std::vector<double> positions;
  for (const LineRecord& record : records)
    for (const std::optional<double>& x : {record.a, record.b, record.m, record.n})
      if (x) positions.push_back(*x);
  const std::vector<double> merged = MergePositions(std::move(positions));

  std::map<std::array<int, 4>, size_t> group_of;
  std::vector<std::vector<RecordRef>> groups;
  for (const LineRecord& record : records) {
    const std::array<int, 4> key{ElectrodeIndex(merged, record.a), ElectrodeIndex(merged, record.b),
                                 ElectrodeIndex(merged, record.m), ElectrodeIndex(merged, record.n)};
    auto [it, added] = group_of.try_emplace(key, groups.size());
    if (added) groups.emplace_back();
    groups[it->second].push_back(record.ref);
  }
  std::erase_if(groups, [](const std::vector<RecordRef>& group) { return group.size() < 2; });
  return groups;
}
