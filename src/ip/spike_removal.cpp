#include "ip/spike_removal.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ip/least_squares.h"

namespace {

constexpr double Threshold = 6;  // in typical jumps: about one false hit in 10^9 samples of Gaussian noise
// A pause's end jumps from the line through its two neighbours on one side: noise 2 times
// an inner sample's jump.
constexpr double EndNoise = 2;

double Median(std::vector<double>& values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  return (upper + *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle))) / 2;
}

// The root mean square of the inner jumps of every pause (samples 1 to length - 2 of each
// row), leaving out those beyond the threshold so that a few big spikes do not hide
// themselves. The floor keeps rounding of noise-free curves from counting as spikes.
// Four partial sums side by side, as Dot keeps them.
double TypicalJump(const std::vector<double>& jumps, size_t length, size_t count, double floor) {
  // The squares within the limit, how many, the largest of them and the smallest beyond.
  struct Within {
    double squares = 0, taken = 0, largest = 0, beyond = std::numeric_limits<double>::infinity();
  };
  auto within = [&](double limit) {
    double sum[4] = {}, taken[4] = {}, largest[4] = {}, beyond[4];
    std::fill_n(beyond, 4, std::numeric_limits<double>::infinity());
    for (size_t p = 0; p < count; ++p) {
      const double* x = jumps.data() + p * length + 1;
      const size_t inner = length - 2;
      size_t i = 0;
      for (; i + 4 <= inner; i += 4)
        for (size_t k = 0; k < 4; ++k) {
          const double size = std::abs(x[i + k]);
          const bool in = size <= limit;
          sum[k] += in ? size * size : 0, taken[k] += in ? 1 : 0;
          largest[k] = std::max(largest[k], in ? size : 0);
          beyond[k] = std::min(beyond[k], in ? std::numeric_limits<double>::infinity() : size);
        }
      for (; i < inner; ++i) {
        const double size = std::abs(x[i]);
        if (size <= limit)
          sum[0] += size * size, taken[0] += 1, largest[0] = std::max(largest[0], size);
        else
          beyond[0] = std::min(beyond[0], size);
      }
    }
    return Within{(sum[0] + sum[1]) + (sum[2] + sum[3]), (taken[0] + taken[1]) + (taken[2] + taken[3]),
                  std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3])),
                  std::min(std::min(beyond[0], beyond[1]), std::min(beyond[2], beyond[3]))};
  };
  Within kept = within(std::numeric_limits<double>::infinity());
  double scale = std::sqrt(kept.squares / kept.taken);
  for (int round = 0; round < 2; ++round) {
    const double limit = Threshold * scale;
    // The same jumps within the new limit: the same scale.
    if (kept.largest <= limit && limit < kept.beyond) break;
    kept = within(limit);
    if (kept.taken > 0) scale = std::sqrt(kept.squares / kept.taken);
  }
  return std::max(scale, floor);
}

// The medians over the rows of sign x rows[p * length + j] (the sign + for even p), for
// every j: four samples at a time through a network of minima and maxima that sorts each
// column. They pick the same elements as any other way to a median.
void SignedColumnMedians(const std::vector<double>& rows, size_t length, size_t count, double* medians) {
  constexpr size_t Width = 4;
  std::vector<double> column(count * Width);
  const size_t middle = count / 2;
  size_t j = 0;
  for (; j + Width <= length; j += Width) {
    for (size_t p = 0; p < count; ++p) {
      const double sign = p % 2 == 0 ? 1 : -1;
      for (size_t k = 0; k < Width; ++k) column[p * Width + k] = sign * rows[p * length + j + k];
    }
    // Odd-even transposition: count rounds of neighbours put in order.
    for (size_t round = 0; round < count; ++round)
      for (size_t p = round % 2; p + 1 < count; p += 2)
        for (size_t k = 0; k < Width; ++k) {
          double &low = column[p * Width + k], &high = column[(p + 1) * Width + k];
          const double a = low, b = high;
          low = std::min(a, b), high = std::max(a, b);
        }
    for (size_t k = 0; k < Width; ++k)
      medians[j + k] = count % 2 == 1 ? column[middle * Width + k]
                                      : (column[middle * Width + k] + column[(middle - 1) * Width + k]) / 2;
  }
  std::vector<double> one(count);
  for (; j < length; ++j) {
    for (size_t p = 0; p < count; ++p) one[p] = (p % 2 == 0 ? 1 : -1) * rows[p * length + j];
    medians[j] = Median(one);
  }
}

// The largest |value| of x[0..n): four maxima side by side, which need not wait on one
// another; a maximum is the same in any order.
double LargestMagnitude(const double* x, size_t n) {
  double largest[4] = {};
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (size_t k = 0; k < 4; ++k) largest[k] = std::max(largest[k], std::abs(x[i + k]));
  for (; i < n; ++i) largest[0] = std::max(largest[0], std::abs(x[i]));
  return std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3]));
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
// Each sample put back keeps its value from before the first round in `originals`
// (its place in the pauses' values, the value).
using Originals = std::vector<std::pair<size_t, double>>;

void ReplaceRun(Pauses& pauses, const std::vector<Line>& levels, int64_t p, size_t first, size_t last,
                Originals& originals) {
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
    const size_t at = static_cast<size_t>(p * pauses.length) + j;
    if (std::none_of(originals.begin(), originals.end(), [&](const auto& kept) { return kept.first == at; }))
      originals.emplace_back(at, pause[j]);
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

// How far each sample stands off its neighbours: the second difference, which an offset
// or a linear drift does not change; a pause's first and last samples, which have
// neighbours on one side only, how far they stand off the line through the two there.
// The common jump is the median over the pauses: one spike cannot move it.
Jumps JumpsOf(const Pauses& pauses) {
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  Jumps jumps{std::vector<double>(pauses.values.size()), std::vector<double>(length), 0, 0};
  if (length < 3) return jumps;
  const size_t last = length - 1;
  for (size_t p = 0; p < count; ++p) {
    const double* __restrict x = pauses.values.data() + p * length;
    double* __restrict jump = jumps.less_common.data() + p * length;
    jump[0] = x[0] - 2 * x[1] + x[2];
    for (size_t j = 1; j < last; ++j) jump[j] = x[j] - (x[j - 1] + x[j + 1]) / 2;
    jump[last] = x[last] - 2 * x[last - 1] + x[last - 2];
  }
  SignedColumnMedians(jumps.less_common, length, count, jumps.common.data());
  double largest = 0;
  for (size_t p = 0; p < count; ++p) {
    const double sign = pauses.Sign(static_cast<int64_t>(p));
    double* __restrict jump = jumps.less_common.data() + p * length;
    const double* __restrict common = jumps.common.data();
    for (size_t j = 0; j < length; ++j) jump[j] -= sign * common[j];
    largest = std::max(largest, LargestMagnitude(jump + 1, last - 1));
    largest = std::max(largest, std::max(std::abs(jump[0]), std::abs(jump[last])) / EndNoise);
  }
  jumps.largest = largest;
  jumps.scale = TypicalJump(jumps.less_common, length, count,
                            1e-6 * LargestMagnitude(pauses.values.data(), pauses.values.size()) + 1e-300);
  return jumps;
}

int ReplaceSpikesOnce(Pauses& pauses, Originals& originals) {
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  const Jumps jumps = JumpsOf(pauses);
  const double scale = jumps.scale;
  if (jumps.largest <= Threshold * scale) return 0;

  int replaced = 0;
  const std::vector<Line> levels = PauseLevels(pauses);
  std::vector<unsigned char> spike(length);
  const double limit = Threshold * scale;
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
      // Most samples are far below the threshold: away from the ends, that is enough.
      if (j > 1 && j + 1 < last_sample && !(std::abs(jump[j]) > limit)) {
        spike[j] = 0;
        continue;
      }
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
      spike[j] = size > limit && (size >= 0.75 * std::max(before, after) || own != jump[j]);
    }
    // Spikes side by side are replaced together, from the good samples on either side.
    for (size_t first = 0; first < length; ++first) {
      if (!spike[first]) continue;
      size_t last = first;
      while (last + 1 < length && spike[last + 1]) ++last;
      ReplaceRun(pauses, levels, static_cast<int64_t>(p), first, last, originals);
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
  Originals originals;
  int rounds = 0;
  while (rounds < 3 && (rounds == 0 || MaySpike(ScreenPauses(pauses))) && ReplaceSpikesOnce(pauses, originals) > 0)
    ++rounds;
  int replaced = 0;
  for (const auto& [at, value] : originals) replaced += pauses.values[at] != value;
  return replaced;
}

int RemoveSpikes(Pauses& pauses) {
  if (pauses.count == 0 || pauses.length < 4) return 0;
  return RemoveSpikes(pauses, ScreenPauses(pauses));
}
