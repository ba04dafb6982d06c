#include "ip/spike_removal.h"

#include <algorithm>
#include <cmath>

#include "ip/least_squares.h"

namespace {

constexpr double Threshold = 6;  // in typical jumps: about one false hit in 10^9 samples of Gaussian noise
// A pause's end jumps from the line through its two neighbours on one side: noise 2 times
// an inner sample's jump.
constexpr double EndNoise = 2;

// How far sample j stands off its neighbours: the second difference, which an offset or
// a linear drift does not change. A pause's first and last samples have neighbours on one
// side only: how far they stand off the line through the two there.
double Jump(std::span<const double> pause, size_t j) {
  const size_t last = pause.size() - 1;
  if (last < 2) return 0;
  if (j == 0) return pause[0] - 2 * pause[1] + pause[2];
  if (j == last) return pause[last] - 2 * pause[last - 1] + pause[last - 2];
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
  return std::max(scale, floor);
}

double LargestMagnitude(const std::vector<double>& values) {
  double largest = 0;
  for (double value : values) largest = std::max(largest, std::abs(value));
  return largest;
}

// Each pause's own level: the least-squares line through what the mean decay leaves of
// it (its self-potential and drift), a + b j. A few spikes among its samples barely move it.
std::vector<Line> PauseLevels(const Pauses& pauses) {
  const std::vector<double> residual = DecayResidual(pauses);
  std::vector<Line> levels;
  for (int64_t p = 0; p < pauses.count; ++p)
    levels.push_back(LineThrough(
        std::span(residual).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length))));
  return levels;
}

// The decay common to the pauses at sample j, robustly: the median over the pauses of
// sign x (value - level). Without the levels the values would fall in two groups (the
// offset with either sign) and their median would jump with one spike.
double CommonDecayAt(const Pauses& pauses, const std::vector<Line>& levels, size_t j) {
  std::vector<double> column(static_cast<size_t>(pauses.count));
  for (int64_t p = 0; p < pauses.count; ++p)
    column[static_cast<size_t>(p)] = pauses.Sign(p) * (pauses.values[static_cast<size_t>(p * pauses.length) + j] -
                                                       levels[p].At(static_cast<double>(j)));
  return Median(column);
}

// Samples first..last of pause p put back on the line that joins what the common decay
// and the pause's level leave of their good neighbours, those added again.
void ReplaceRun(Pauses& pauses, const std::vector<Line>& levels, int64_t p, size_t first, size_t last) {
  std::span<double> pause = pauses.Pause(p);
  const double sign = pauses.Sign(p);
  auto model = [&](size_t j) { return levels[p].At(static_cast<double>(j)) + sign * CommonDecayAt(pauses, levels, j); };
  // A run at an end of the pause has a good neighbour on one side only.
  const bool at_start = first == 0, at_end = last + 1 == pause.size();
  if (at_start && at_end) return;
  double before = at_start ? 0 : pause[first - 1] - model(first - 1);
  double after = at_end ? 0 : pause[last + 1] - model(last + 1);
  if (at_start) before = after;
  if (at_end) after = before;
  const double span = static_cast<double>(last - first + 2);
  for (size_t j = first; j <= last; ++j) {
    const double share = static_cast<double>(j - first + 1) / span;
    pause[j] = model(j) + before + (after - before) * share;
  }
}

// Each sample's jump less the decay's common jump at its place, and the typical size.
struct Jumps {
  std::vector<double> less_common;  // pause p sample j at [p * length + j]
  std::vector<double> common;       // the decay's, with the sign of an even pause
  double scale = 0;
  double largest = 0;  // in typical jumps' noise: the ends' divided by EndNoise
};

// The common jump is the median over the pauses: one spike cannot move it.
Jumps JumpsOf(const Pauses& pauses) {
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  Jumps jumps{std::vector<double>(pauses.values.size()), std::vector<double>(length), 0, 0};
  std::vector<double> column(count);
  for (size_t p = 0; p < count; ++p) {
    std::span<const double> pause = pauses.Pause(static_cast<int64_t>(p));
    for (size_t j = 0; j < length; ++j) jumps.less_common[p * length + j] = Jump(pause, j);
  }
  for (size_t j = 0; j < length; ++j) {
    for (size_t p = 0; p < count; ++p)
      column[p] = pauses.Sign(static_cast<int64_t>(p)) * jumps.less_common[p * length + j];
    jumps.common[j] = Median(column);
  }
  std::vector<double> inner;
  inner.reserve(count * (length - 2));
  for (size_t p = 0; p < count; ++p) {
    const double sign = pauses.Sign(static_cast<int64_t>(p));
    for (size_t j = 0; j < length; ++j) {
      double& jump = jumps.less_common[p * length + j];
      jump -= sign * jumps.common[j];
      if (!Inner(j, length)) continue;
      inner.push_back(jump);
      jumps.largest = std::max(jumps.largest, std::abs(jump));
    }
  }
  for (size_t j : {size_t{0}, length - 1})
    for (size_t p = 0; p < count; ++p)
      jumps.largest = std::max(jumps.largest, std::abs(jumps.less_common[p * length + j]) / EndNoise);
  jumps.scale = TypicalJump(inner, 1e-6 * LargestMagnitude(pauses.values) + 1e-300);
  return jumps;
}

int ReplaceSpikesOnce(Pauses& pauses) {
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  const Jumps jumps = JumpsOf(pauses);
  const double scale = jumps.scale;
  if (jumps.largest <= Threshold * scale) return 0;

  int replaced = 0;
  const std::vector<Line> levels = PauseLevels(pauses);
  std::vector<bool> spike(length);
  for (size_t p = 0; p < count; ++p) {
    const double* jump = jumps.less_common.data() + p * length;
    // An end is a spike when its jump stands out and the sample after its neighbour stays
    // quiet: a spike on the neighbour instead would make the end jump as well, twice as
    // much, and the sample after it half as much the other way.
    const size_t last_sample = length - 1;
    auto end_spike = [&](size_t end, size_t beside, size_t after) {
      return length > 3 && std::abs(jump[end]) > Threshold * scale * EndNoise &&
             std::abs(jump[after]) < std::abs(jump[beside]) / 4;
    };
    spike[0] = end_spike(0, 1, 2);
    spike[last_sample] = end_spike(last_sample, last_sample - 1, last_sample - 2);
    for (size_t j = 1; j < last_sample; ++j) {
      // A spike's neighbours jump by half as much the other way and are not taken; two
      // spikes side by side jump about alike and are taken together. An end jumps twice
      // as much as the spike beside it: halved, it compares as an inner one's. Beside an
      // end that is a spike, the jump is taken without that spike's half.
      double own = jump[j];
      if (j == 1 && spike[0]) own += jump[0] / 2;
      if (j + 1 == last_sample && spike[last_sample]) own += jump[last_sample] / 2;
      const double size = std::abs(own);
      const double before = std::abs(jump[j - 1]) / (j == 1 ? 2 : 1);
      const double after = std::abs(jump[j + 1]) / (j + 1 == last_sample ? 2 : 1);
      spike[j] = size > Threshold * scale && (size >= 0.75 * std::max(before, after) || own != jump[j]);
    }
    // Spikes side by side are replaced together, from the good samples on either side.
    for (size_t first = 0; first < length; ++first) {
      if (!spike[first]) continue;
      size_t last = first;
      while (last + 1 < length && spike[last + 1]) ++last;
      ReplaceRun(pauses, levels, static_cast<int64_t>(p), first, last);
      replaced += static_cast<int>(last - first + 1);
      first = last;
    }
  }
  return replaced;
}

}  // namespace

// A spike stands out of the first look by (1 - 1/count) of its size (the common decay takes the rest), a little less
// where spikes widen the root mean square; most records have none, and the robust look
// below is not needed for them.
bool MaySpike(const PauseScreen& screen) {
  const double scale = std::max(screen.jump_count > 0 ? std::sqrt(screen.jump_squares / screen.jump_count) : 0.0,
                                1e-6 * screen.largest_value + 1e-300);
  return screen.largest_jump > 0.95 * (1 - 1 / screen.pauses) * Threshold * scale;
}

int RemoveSpikes(Pauses& pauses, const PauseScreen& screen) {
  if (pauses.count == 0 || pauses.length < 4) return 0;
  // Another round finds what bigger spikes hid: they widen the typical jump and two
  // spikes side by side show only one peak. A sample put back in one round may be put
  // back again in the next, once its neighbours are: spikes are counted once.
  if (!MaySpike(screen)) return 0;
  const std::vector<double> before = pauses.values;
  int rounds = 0;
  while (rounds < 3 && (rounds == 0 || MaySpike(ScreenPauses(pauses))) && ReplaceSpikesOnce(pauses) > 0) ++rounds;
  if (rounds == 0) return 0;
  int replaced = 0;
  for (size_t i = 0; i < before.size(); ++i) replaced += pauses.values[i] != before[i];
  return replaced;
}

int RemoveSpikes(Pauses& pauses) {
  if (pauses.count == 0 || pauses.length < 4) return 0;
  return RemoveSpikes(pauses, ScreenPauses(pauses));
}
