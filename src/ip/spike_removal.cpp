#include "ip/spike_removal.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Threshold = 6;  // in typical jumps: about one false hit in 10^9 samples of Gaussian noise

// How far sample j stands off its neighbours: the second difference, which an offset or
// a linear drift does not change. A pause's first and last samples have one neighbour
// only: their first difference serves to tell which sample of a pair is the spike, but
// they are never taken for one, since a drift would count in it.
double Jump(std::span<const double> pause, size_t j) {
  const size_t last = pause.size() - 1;
  if (last == 0) return 0;
  if (j == 0) return pause[0] - pause[1];
  if (j == last) return pause[last] - pause[last - 1];
  return pause[j] - (pause[j - 1] + pause[j + 1]) / 2;
}

bool Inner(size_t j, size_t length) { return j > 0 && j + 1 < length; }

double Median(std::vector<double>& values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  return (upper + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle))) / 2;
}

// The root mean square of the jumps, leaving out those beyond the threshold so that a
// few big spikes do not hide themselves. The floor keeps rounding of noise-free curves
// from counting as spikes.
double TypicalJump(const std::vector<double>& inner_jumps, double floor) {
  double scale = 0;
  for (double jump : inner_jumps) scale += jump * jump;
  scale = std::sqrt(scale / static_cast<double>(inner_jumps.size()));
  for (int round = 0; round < 2; ++round) {
    double sum = 0;
    size_t count = 0;
    for (double jump : inner_jumps)
      if (std::abs(jump) <= Threshold * scale) sum += jump * jump, ++count;
    if (count > 0) scale = std::sqrt(sum / static_cast<double>(count));
  }
  return std::fmax(scale, floor);
}

double LargestMagnitude(const std::vector<double>& values) {
  double largest = 0;
  for (double value : values) largest = std::fmax(largest, std::abs(value));
  return largest;
}

int ReplaceSpikesOnce(Pauses& pauses) {
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  // The decay makes the same jumps in every pause, with the pause's sign; their median
  // over the pauses is that common part, which one spike cannot move.
  std::vector<double> jumps(pauses.values.size()), common(length), column(count);
  for (size_t j = 0; j < length; ++j) {
    for (size_t p = 0; p < count; ++p) {
      jumps[p * length + j] = Jump(pauses.Pause(static_cast<int64_t>(p)), j);
      column[p] = pauses.Sign(static_cast<int64_t>(p)) * jumps[p * length + j];
    }
    common[j] = Median(column);
  }
  if (length < 3) return 0;
  double largest_jump = 0;
  std::vector<double> inner_jumps;
  inner_jumps.reserve(count * (length - 2));
  for (size_t p = 0; p < count; ++p)
    for (size_t j = 0; j < length; ++j) {
      double& jump = jumps[p * length + j];
      jump -= pauses.Sign(static_cast<int64_t>(p)) * common[j];
      if (!Inner(j, length)) continue;
      inner_jumps.push_back(jump);
      largest_jump = std::fmax(largest_jump, std::abs(jump));
    }
  const double scale = TypicalJump(inner_jumps, 1e-6 * LargestMagnitude(pauses.values) + 1e-300);
  if (largest_jump <= Threshold * scale) return 0;

  int replaced = 0;
  for (size_t p = 0; p < count; ++p) {
    std::span<double> pause = pauses.Pause(static_cast<int64_t>(p));
    const double* jump = jumps.data() + p * length;
    for (size_t j = 1; j + 1 < length; ++j) {
      // A spike's neighbours jump by half as much the other way: only the peak is replaced.
      const double size = std::abs(jump[j]);
      if (size <= Threshold * scale || std::abs(jump[j - 1]) > size || std::abs(jump[j + 1]) > size) continue;
      // The sample is put where its neighbours and the common jump place it.
      pause[j] = (pause[j - 1] + pause[j + 1]) / 2 + pauses.Sign(static_cast<int64_t>(p)) * common[j];
      ++replaced;
    }
  }
  return replaced;
}

}  // namespace

int RemoveSpikes(Pauses& pauses) {
  if (pauses.count == 0 || pauses.length == 0) return 0;
  // Another round finds what bigger spikes hid: they widen the typical jump and two
  // spikes side by side show only one peak.
  int replaced = 0;
  for (int round = 0; round < 3; ++round) {
    const int found = ReplaceSpikesOnce(pauses);
    replaced += found;
    if (found == 0) break;
  }
  return replaced;
}
