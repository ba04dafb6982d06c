#include "ip/hum_removal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <numbers>
#include <optional>

#include "ip/least_squares.h"
#include "ip/wide_vectors.h"

namespace {

using Complex = std::complex<double>;
using Matrix = SquareMatrix;
constexpr double TwoPi = 2 * std::numbers::pi;
constexpr double None = std::numeric_limits<double>::quiet_NaN();
constexpr int MaxHarmonics = 7;
// The most functions a pause's basis has: every harmonic's two, two slopes, 1 and j.
constexpr size_t MaxBasis = 2 * MaxHarmonics + 4;
// How far from the mains' nominal frequency hum is looked for, Hz.
constexpr double SearchedWithin = 2;
// Hum counts as found when the energy at its frequency exceeds ten times what the rest
// of the series, taken as noise, would put there.
constexpr double Detection = 10;

// Whether `energy`, the squares that `fits` sinusoids (two values each) explain in a
// series of `samples` whose squares sum to `squares`, stands out of what is left.
double Square(double x) { return x * x; }

bool StandsOut(double energy, double squares, double samples, double fits) {
  const double noise = std::max(squares - energy, 0.0) / std::max(samples - 2 * fits, 1.0);
  return energy > Detection * 2 * fits * noise;
}

// Σ x over [0, j) at prefix[j], j = 0..n: four stretches summed side by side (their
// running sums do not wait on one another), each then lifted by the sum before it.
void RunningSums(std::span<const double> x, std::vector<double>& prefix) {
  const size_t n = x.size(), stretch = (n + 3) / 4;
  prefix.resize(n + 1);
  prefix[0] = 0;
  if (n < 64) {
    for (size_t j = 0; j < n; ++j) prefix[j + 1] = prefix[j] + x[j];
    return;
  }
  double* out = prefix.data() + 1;
  double running[4] = {};
  // The last stretch may be shorter: up to its end all four go together, then three.
  const size_t last = n - 3 * stretch;
  size_t j = 0;
  for (; j < last; ++j)
    for (size_t part = 0; part < 4; ++part) out[part * stretch + j] = running[part] += x[part * stretch + j];
  for (; j < stretch; ++j)
    for (size_t part = 0; part < 3; ++part) out[part * stretch + j] = running[part] += x[part * stretch + j];
  for (size_t part = 1; part < 4; ++part) {
    const double below = out[part * stretch - 1];
    for (size_t at = part * stretch; at < std::min(n, (part + 1) * stretch); ++at) out[at] += below;
  }
}

// A centred mean over one mains cycle of c samples has a zero at the mains frequency and
// at every harmonic: a sample less that mean keeps the hum and loses an offset and a line.
// With the mean's own curvature taken back (κ times its second difference over a cycle)
// it loses every cubic too, so a decay that is smooth over a cycle leaves next to nothing,
// whatever its sign from pause to pause. An even c takes c + 1 samples, the two ends at
// half weight, to stay centred.
class CycleFilter {
 public:
  // Without `cubic` only the mean is taken: half a cycle at either end instead of one and
  // a half, for pauses too short for more, and a decay's curvature comes through.
  CycleFilter(int64_t cycle, int64_t length, bool cubic = true) : cycle_(cycle), half_(cycle / 2) {
    // The variance of the window's sample positions about its centre.
    const double c = static_cast<double>(cycle);
    const double spread = cycle % 2 == 1 ? (c * c - 1) / 12 : (c * c + 2) / 12;
    kappa_ = cubic ? spread / (2 * c * c) : 0;
    from_ = (cubic ? cycle_ : 0) + half_;
    to_ = length - from_;
    // The filter's taps, for the gain of white noise through it.
    std::vector<double> taps(static_cast<size_t>(2 * from_ + 1), 0.0);
    auto add_mean = [&](int64_t centre, double weight) {
      for (int64_t i = -half_; i <= half_; ++i) {
        const bool end = cycle % 2 == 0 && (i == -half_ || i == half_);
        taps[static_cast<size_t>(from_ + centre + i)] += weight * (end ? 0.5 : 1) / c;
      }
    };
    taps[static_cast<size_t>(from_)] += 1;
    add_mean(0, -1 - 2 * kappa_);
    if (cubic) add_mean(cycle_, kappa_), add_mean(-cycle_, kappa_);
    noise_gain_ = Dot(taps, taps);
  }

  // The same filter over its samples from `start` on.
  CycleFilter From(int64_t start) const {
    CycleFilter later = *this;
    later.from_ = std::max(from_, start);
    return later;
  }
  int64_t Cycle() const { return cycle_; }
  bool Cubic() const { return kappa_ != 0; }
  int64_t From() const { return from_; }
  int64_t To() const { return to_; }
  int64_t Count() const { return std::max<int64_t>(to_ - from_, 0); }
  double NoiseGain() const { return noise_gain_; }

  // What the filter makes of a sinusoid of f cycles per sample: the same sinusoid times this.
  double Gain(double f) const {
    const double c = static_cast<double>(cycle_), s = std::sin(std::numbers::pi * f);
    double mean = std::abs(s) < 1e-12 ? 1 : std::sin(std::numbers::pi * f * c) / (c * s);
    if (cycle_ % 2 == 0) mean *= std::cos(std::numbers::pi * f);
    return 1 - mean * (1 + 2 * kappa_ * (1 - std::cos(TwoPi * f * c)));
  }

  // What Apply works in, kept from one call to the next.
  struct Scratch {
    std::vector<double> prefix, mean;
  };

  // out[j - From()] for j in [From(), To()).
  void Apply(std::span<const double> x, Scratch& scratch, double* __restrict out) const {
    if (to_ <= from_) return;
    RunningSums(x, scratch.prefix);
    // The means over the window centred on every sample the filter needs: mean[j - first].
    const int64_t reach = kappa_ != 0 ? cycle_ : 0, first = from_ - reach, last = to_ + reach;
    scratch.mean.resize(static_cast<size_t>(last - first));
    const Sweep sweep{scratch.prefix.data(),
                      x.data(),
                      scratch.mean.data(),
                      out,
                      first,
                      last,
                      reach,
                      cycle_,
                      half_,
                      from_,
                      to_,
                      kappa_};
#if defined(VOSTREL_WIDE_VECTORS)
    if (HasWideVectors()) return SweepWide(sweep);
#endif
    SweepNarrow(sweep);
  }

 private:
  // What Apply goes through sample by sample, after the running sums.
  struct Sweep {
    const double* sums;
    const double* values;
    double* mean;
    double* out;
    int64_t first, last, reach, cycle, half, from, to;
    double kappa;
  };

  [[gnu::always_inline]] static inline void SweepOf(const Sweep& w) {
    const double* __restrict sums = w.sums;
    const double* __restrict values = w.values;
    double* __restrict mean = w.mean;
    double* __restrict out = w.out;
    // Times the reciprocal: a division for every sample would cost more than the rest.
    const double per_sample = 1 / static_cast<double>(w.cycle);
    const int64_t first = w.first, half = w.half;
    if (w.cycle % 2 == 1) {
      for (int64_t j = first; j < w.last; ++j) mean[j - first] = (sums[j + half + 1] - sums[j - half]) * per_sample;
    } else {
      for (int64_t j = first; j < w.last; ++j)
        mean[j - first] =
            (sums[j + half] - sums[j - half + 1] + (values[j - half] + values[j + half]) * 0.5) * per_sample;
    }
    const double* m = mean + w.reach;
    const int64_t count = w.to - w.from, cycle = w.cycle;
    const double kappa = w.kappa;
    const double* x = values + w.from;
    if (kappa == 0) {
      for (int64_t i = 0; i < count; ++i) out[i] = x[i] - m[i];
    } else {
      for (int64_t i = 0; i < count; ++i) out[i] = x[i] - m[i] + kappa * (m[i + cycle] - 2 * m[i] + m[i - cycle]);
    }
  }
  static void SweepNarrow(const Sweep& w) { SweepOf(w); }
#if defined(VOSTREL_WIDE_VECTORS)
  [[gnu::target("avx2")]] static void SweepWide(const Sweep& w) { SweepOf(w); }
#endif

  int64_t cycle_, half_, from_ = 0, to_ = 0;
  double kappa_ = 0, noise_gain_ = 1;
};

// The filter for a mains frequency: one cycle of it, in samples.
CycleFilter FilterFor(const Pauses& pauses, double mains_hz) {
  return CycleFilter(std::max<int64_t>(2, std::llround(pauses.sample_rate / mains_hz)), pauses.length);
}

// The centred mean over a cycle, twice: a triangle two cycles wide that leaves of hum near
// the mains frequency a few parts in ten thousand; mean[j - 2 half] for j in
// [2 half, length - 2 half).
std::vector<double> TwiceMeaned(std::span<const double> x, int64_t cycle) {
  const int64_t half = cycle / 2;
  const double per_sample = 1 / static_cast<double>(cycle);
  std::vector<double> once, twice, prefix;
  for (std::vector<double>* out : {&once, &twice}) {
    std::span<const double> in = out == &once ? x : std::span<const double>(once);
    const int64_t n = static_cast<int64_t>(in.size());
    RunningSums(in, prefix);
    out->resize(static_cast<size_t>(std::max<int64_t>(n - cycle + 1, 0)));
    const double* sums = prefix.data();
    double* means = out->data();
    for (int64_t j = half; j + (cycle - 1 - half) < n; ++j)
      means[j - half] = (sums[j + cycle - half] - sums[j - half]) * per_sample;
  }
  return twice;
}

// The filter from the first sample on which the decay is smooth enough over a cycle
// that the filter leaves nothing of it beyond the decay's noise. Where the decay still
// falls fast (its first few time constants), the filter leaves a remainder, the same in
// every pause, that would pass for hum turning by half a cycle from pause to pause. The
// filter shows that remainder in the decay's twice-meaned values, which hold no hum.
// filtered: the decay through the filter.
CycleFilter SmoothPart(const std::vector<double>& decay, const CycleFilter& filter, std::span<const double> filtered,
                       double decay_variance) {
  const int64_t cycle = filter.Cycle(), shift = 2 * (cycle / 2);
  const std::vector<double> smooth = TwiceMeaned(decay, cycle);
  const CycleFilter inner(cycle, static_cast<int64_t>(smooth.size()), filter.Cubic());
  if (inner.Count() <= 0) return filter.From(filter.To());
  std::vector<double> remainder(static_cast<size_t>(inner.Count()));
  CycleFilter::Scratch scratch;
  inner.Apply(smooth, scratch, remainder.data());
  // Below a third of the decay's noise, or what hum leaks through the means if more.
  const size_t late = filtered.size() / 2;
  const double hum = std::sqrt(Dot(filtered.subspan(late), filtered.subspan(late)) /
                               static_cast<double>(std::max<size_t>(filtered.size() - late, 1)));
  const double limit = std::max(0.3 * std::sqrt(decay_variance), 2e-3 * hum);
  // The remainder falls with the decay: the last sample beyond the limit in the first half.
  int64_t start = filter.From();
  for (int64_t i = 0; i < inner.Count() / 2; ++i)
    if (!(std::abs(remainder[static_cast<size_t>(i)]) <= limit)) start = inner.From() + i + shift + 1;
  return filter.From(start);
}

// Whether a pause is long enough for the filter to see hum in: four cycles of it.
bool Sees(const CycleFilter& filter) { return filter.Count() >= 4 * filter.Cycle(); }

// ---------------------------------------------------------------------------------------
// The first look. Most records have no hum; two sums over the pauses tell them.

// The common decay through a mains frequency's whole cycle filter, and the part of the
// filter from where the decay is smooth enough for it: worked out once for each look.
struct DecayThrough {
  double mains_hz = 0;
  CycleFilter whole;
  std::vector<double> filtered;  // sample j at [j - whole.From()]
  std::optional<CycleFilter> smooth;

  // The same filter from a later sample on gives the same values from there.
  std::span<const double> Of(const CycleFilter& part) const {
    if (part.Count() <= 0) return {};
    return std::span(filtered).subspan(static_cast<size_t>(part.From() - whole.From()),
                                       static_cast<size_t>(part.Count()));
  }
};

// What the first look says for hum: the white noise, and whether what the common decay
// leaves of the pauses, each freed of its own line, holds more than it (hum that changes
// from pause to pause).
struct Screen {
  std::vector<double> decay;
  double noise = 0;
  double residual_squares = 0;
  bool residual_holds_more = false;
  std::vector<DecayThrough> through;
};

Screen ScreenOf(const PauseScreen& look, const Pauses& pauses) {
  Screen screen{look.decay, look.WhiteNoise(), look.residual_squares, false, {}};
  // The decay takes length values, the lines 2 count less the 2 they share with it.
  const double count = static_cast<double>(pauses.count), n = static_cast<double>(pauses.length);
  const double freedom = (count - 1) * n - 2 * count + 2;
  screen.residual_holds_more =
      freedom > 0 && look.residual_squares > screen.noise * freedom * (1 + 6 * std::sqrt(4 / freedom));
  return screen;
}

DecayThrough& ThroughAt(const Pauses& pauses, Screen& screen, double mains_hz) {
  for (DecayThrough& through : screen.through)
    if (through.mains_hz == mains_hz) return through;
  DecayThrough through{mains_hz, FilterFor(pauses, mains_hz), {}, {}};
  through.filtered.resize(static_cast<size_t>(through.whole.Count()));
  CycleFilter::Scratch scratch;
  through.whole.Apply(screen.decay, scratch, through.filtered.data());
  return screen.through.emplace_back(std::move(through));
}

// The mains frequency's filter from where the decay is smooth enough for it.
const CycleFilter& SmoothAt(const Pauses& pauses, Screen& screen, double mains_hz) {
  DecayThrough& through = ThroughAt(pauses, screen, mains_hz);
  if (!through.smooth)
    through.smooth =
        SmoothPart(screen.decay, through.whole, through.filtered, screen.noise / static_cast<double>(pauses.count));
  return *through.smooth;
}

// Whether the common decay, through the cycle filter, holds more than the noise of a mean
// of the pauses: hum that turns by half a cycle from one pause to the next.
bool DecayHoldsMore(const Pauses& pauses, const Screen& screen, const DecayThrough& through,
                    const CycleFilter& filter) {
  if (filter.Count() < 4) return false;
  const std::span<const double> filtered = through.Of(filter);
  const double expected = screen.noise / static_cast<double>(pauses.count) * filter.NoiseGain();
  const double samples = static_cast<double>(filter.Count());
  return Dot(filtered, filtered) > expected * samples * (1 + 6 * std::sqrt(4 / samples));
}

// Whether the pauses' common decay holds a sinusoid at hz that stands out of what a
// decay smooth in log time (a polynomial of degree 5 in log t) leaves of it, from half a
// cycle on, and is larger than floor_mv: for hum too slow for the cycle filter in these
// pauses.
bool DecayHoldsAt(const Pauses& pauses, double hz, double floor_mv) {
  const std::vector<double> decay = SignedMeanDecay(pauses);
  constexpr size_t Smooth = 6;
  const int64_t from = std::max<int64_t>(1, std::llround(0.5 * pauses.sample_rate / hz)), length = pauses.length;
  if (length - from < static_cast<int64_t>(4 * (Smooth + 2))) return false;
  const size_t samples = static_cast<size_t>(length - from);
  std::vector<std::vector<double>> series(Smooth + 2, std::vector<double>(samples));
  const double u0 = std::log(static_cast<double>(from) + 0.5), u1 = std::log(static_cast<double>(length) - 0.5);
  for (size_t i = 0; i < samples; ++i) {
    const double j = static_cast<double>(from) + static_cast<double>(i);
    const double u = 2 * (std::log(j + 0.5) - u0) / (u1 - u0) - 1;
    double power = 1;
    for (size_t k = 0; k < Smooth; ++k, power *= u) series[k][i] = power;
    series[Smooth][i] = std::cos(TwoPi * hz * j / pauses.sample_rate);
    series[Smooth + 1][i] = std::sin(TwoPi * hz * j / pauses.sample_rate);
  }
  const std::span<const double> data(decay.data() + from, samples);
  auto left = [&](size_t columns) {
    std::vector<std::vector<double>> gram(columns, std::vector<double>(columns));
    std::vector<double> right(columns);
    for (size_t a = 0; a < columns; ++a) {
      right[a] = Dot(series[a], data);
      for (size_t b = 0; b < columns; ++b) gram[a][b] = Dot(series[a], series[b]);
    }
    const std::vector<double> c = Solve(gram, right);
    double squares = Dot(data, data);
    for (size_t a = 0; a < columns; ++a) squares -= c[a] * right[a];
    return std::max(squares, 0.0);
  };
  const double smooth = left(Smooth), with_hum = left(Smooth + 2);
  return smooth - with_hum > Square(floor_mv) * static_cast<double>(samples) / 2 &&
         StandsOut(smooth - with_hum, smooth, static_cast<double>(samples - Smooth), 1);
}

// ---------------------------------------------------------------------------------------
// The frequency.

// The projections Σ x e^{-iωt} of every pause's series over short segments, on the
// curve's own clock, with the segments' middle times: from them the projection at a
// nearby frequency is each segment's turned by the difference, and the phase steps from
// segment to segment, between a pause's halves and from pause to pause give the
// frequency, each step over a longer base than the one before.
struct Segments {
  double hz = 0;
  int64_t per_pause = 0;
  std::vector<Complex> values;  // pause p, segment k at [p * per_pause + k]
  std::vector<double> middle;   // its middle time, s
  double energy = 0;            // Σ 2 |projection|² / samples: the squares they explain
  double squares = 0;           // of the series
  double samples = 0;
};

// series: `count` pauses of `span` samples each, sample i standing at pause sample
// first + i; segments of `segment` samples.
Segments SegmentsOf(const Pauses& pauses, std::span<const double> series, int64_t first, int64_t span, int64_t segment,
                    double hz) {
  Segments s;
  s.hz = hz;
  s.per_pause = span / segment;
  s.values.resize(static_cast<size_t>(pauses.count * s.per_pause));
  s.middle.resize(s.values.size());
  // e^{-iωτ} over a segment, τ from its start; each segment's sum is turned by its start.
  // cos, then sin, one after the other: both products in one pass.
  std::vector<double> turns(2 * static_cast<size_t>(segment));
  for (int64_t i = 0; i < segment; ++i) {
    const double angle = -TwoPi * hz * static_cast<double>(i) / pauses.sample_rate;
    turns[static_cast<size_t>(i)] = std::cos(angle), turns[static_cast<size_t>(segment + i)] = std::sin(angle);
  }
  const Complex step = std::polar(1.0, -TwoPi * hz * static_cast<double>(segment) / pauses.sample_rate);
  // Every segment of a pause at once: segment k of the pause is row k.
  std::vector<double> products(2 * static_cast<size_t>(s.per_pause));
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double* x = series.data() + p * span;
    DotsOfRows(x, static_cast<size_t>(segment), static_cast<size_t>(s.per_pause), static_cast<size_t>(segment),
               turns.data(), static_cast<size_t>(segment), 2, products.data());
    Complex start = std::polar(1.0, -TwoPi * hz * pauses.Time(p, first));
    for (int64_t k = 0; k < s.per_pause; ++k, start *= step) {
      const Complex sum =
          start * Complex(products[2 * static_cast<size_t>(k)], products[2 * static_cast<size_t>(k) + 1]);
      const size_t at = static_cast<size_t>(p * s.per_pause + k);
      s.values[at] = sum;
      s.middle[at] = pauses.Time(p, first + k * segment) + static_cast<double>(segment - 1) / 2 / pauses.sample_rate;
      s.energy += 2 * std::norm(sum) / static_cast<double>(segment);
    }
  }
  s.squares = Dot(series, series);
  s.samples = static_cast<double>(series.size());
  return s;
}

// Σ of segments [from, to) of pause p, projected at hz.
Complex Turned(const Segments& s, int64_t p, int64_t from, int64_t to, double hz) {
  if (to <= from) return 0;
  // The segments of a pause are evenly spaced: each turn is the one before times a step.
  const double shift = -TwoPi * (hz - s.hz);
  const size_t first = static_cast<size_t>(p * s.per_pause + from);
  const double spacing = to - from > 1 ? s.middle[first + 1] - s.middle[first] : 0;
  const Complex step = std::polar(1.0, shift * spacing);
  Complex sum = 0, turn = std::polar(1.0, shift * s.middle[first]);
  for (size_t at = first; at < first + static_cast<size_t>(to - from); ++at, turn *= step) sum += s.values[at] * turn;
  return sum;
}

// The frequency near s.hz that the phase steps give, or NaN when no hum stands out.
double FrequencyOf(const Segments& s, int64_t count, double segment_s, double spacing_s) {
  if (s.per_pause < 2 || !StandsOut(s.energy, s.squares, s.samples, static_cast<double>(count * s.per_pause)))
    return None;
  double hz = s.hz;
  // Segment to segment: unambiguous within half a cycle per segment.
  Complex steps = 0;
  for (int64_t p = 0; p < count; ++p)
    for (int64_t k = 0; k + 1 < s.per_pause; ++k)
      steps += s.values[static_cast<size_t>(p * s.per_pause + k + 1)] *
               std::conj(s.values[static_cast<size_t>(p * s.per_pause + k)]);
  hz += std::arg(steps) / (TwoPi * segment_s);
  // A pause's first half to its second.
  const int64_t half = s.per_pause / 2;
  if (half >= 2) {
    Complex halves = 0;
    for (int64_t p = 0; p < count; ++p)
      halves += Turned(s, p, half, 2 * half, hz) * std::conj(Turned(s, p, 0, half, hz));
    hz += std::arg(halves) / (TwoPi * static_cast<double>(half) * segment_s);
  }
  // One pause to the next, a period of the current apart.
  for (int round = 0; round < 2; ++round) {
    Complex pauses = 0, previous = 0;
    for (int64_t p = 0; p < count; ++p) {
      const Complex whole = Turned(s, p, 0, s.per_pause, hz);
      if (p > 0) pauses += whole * std::conj(previous);
      previous = whole;
    }
    hz += std::arg(pauses) / (TwoPi * spacing_s);
  }
  // Then every pause's phase at once: the least-squares line through them, each pause
  // weighted by its hum's energy, where the steps above gave each step the same weight.
  std::vector<double> phases(static_cast<size_t>(count)), weights(static_cast<size_t>(count));
  double phase = 0, weight = 0, middle = 0;
  Complex previous = 0;
  for (int64_t p = 0; p < count; ++p) {
    const Complex whole = Turned(s, p, 0, s.per_pause, hz);
    if (p > 0) phase += std::arg(whole * std::conj(previous));
    previous = whole;
    phases[static_cast<size_t>(p)] = phase, weights[static_cast<size_t>(p)] = std::norm(whole);
    weight += std::norm(whole), middle += std::norm(whole) * static_cast<double>(p);
  }
  if (!(weight > 0)) return hz;
  middle /= weight;
  double moment = 0, spread = 0;
  for (int64_t p = 0; p < count; ++p) {
    const double x = static_cast<double>(p) - middle, w = weights[static_cast<size_t>(p)];
    moment += w * x * phases[static_cast<size_t>(p)], spread += w * x * x;
  }
  return spread > 0 ? hz + moment / spread / (TwoPi * spacing_s) : hz;
}

// The share of a sinusoid's energy at hz that the pauses' common signed decay leaves to
// tell it by: none where it turns by half a cycle from one pause to the next.
double ChangingShare(const Pauses& pauses, double hz) {
  // Pause p starts (2p + 1) pause lengths in: each pause's phasor, with its sign, is the
  // one before turned by two lengths and half a cycle.
  const double angle = TwoPi * hz * static_cast<double>(pauses.length) / pauses.sample_rate;
  Complex mean = 0, phasor = std::polar(1.0, angle);
  const Complex step = -std::polar(1.0, 2 * angle);
  for (int64_t p = 0; p < pauses.count; ++p, phasor *= step) mean += phasor;
  return 1 - std::norm(mean / static_cast<double>(pauses.count));
}

// The hum's frequency near mains_hz, or NaN. Every pause through the cycle filter keeps
// its hum whole, whatever it turns by from pause to pause; where the pause is too short
// for the filter, what the common decay leaves of it (each pause freed of its line) keeps
// the hum that changes from pause to pause.
double HumFrequency(const Pauses& pauses, const Screen& screen, const CycleFilter& filter, double mains_hz) {
  const int64_t segment = 2 * filter.Cycle();
  const double segment_s = static_cast<double>(segment) / pauses.sample_rate;
  const double spacing_s = 2.0 * static_cast<double>(pauses.length) / pauses.sample_rate;
  // Every pause through the filter keeps its hum whole, whatever it turns by from pause to
  // pause; where the pause is too short for the filter, what the common decay leaves of
  // the pauses, each freed of its line, keeps the hum that changes from pause to pause.
  // Every value is written: none is set to zero first.
  if (!Sees(filter)) {
    const auto values = std::make_unique_for_overwrite<double[]>(pauses.values.size());
    const std::span<double> series(values.get(), pauses.values.size());
    for (int64_t p = 0; p < pauses.count; ++p) {
      std::span<double> r =
          std::span(series).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length));
      std::span<const double> x = pauses.Pause(p);
      const double sign = pauses.Sign(p);
      for (int64_t j = 0; j < pauses.length; ++j) r[j] = x[j] - sign * screen.decay[static_cast<size_t>(j)];
      Detrend(r);
    }
    return FrequencyOf(SegmentsOf(pauses, series, 0, pauses.length, segment, mains_hz), pauses.count, segment_s,
                       spacing_s);
  }
  const int64_t span = filter.Count();
  const auto values = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(pauses.count * span));
  const std::span<const double> series(values.get(), static_cast<size_t>(pauses.count * span));
  CycleFilter::Scratch scratch;
  for (int64_t p = 0; p < pauses.count; ++p) filter.Apply(pauses.Pause(p), scratch, values.get() + p * span);
  return FrequencyOf(SegmentsOf(pauses, series, filter.From(), span, segment, mains_hz), pauses.count, segment_s,
                     spacing_s);
}

// ---------------------------------------------------------------------------------------
// The fit.

// Within a pause every hum shape is a sum of a few functions of the sample j: cos and sin
// of each harmonic, j/rate times the fundamental's (the slopes in frequency), 1 and j
// (the pause's line). The fits work on each shape's coefficients of these in every
// pause and on the functions' products, never on the shapes sample by sample.
struct PauseBasis {
  size_t size = 0;
  int64_t length = 0;
  size_t one = 0, line = 0;         // the indices of 1 and j
  std::unique_ptr<double[]> table;  // function b at sample j: [b * length + j]
  Matrix gram;
  // Each function as scale j^power cos(θ j), or sin: for its products in closed form.
  struct Form {
    int harmonic = 0;  // θ is harmonic times the fundamental's turn per sample
    bool sine = false;
    int power = 0;
    double scale = 1;
  };
  std::vector<Form> forms;
  double turn = 0;         // the fundamental's, radians per sample
  std::vector<double> hz;  // each function's frequency (its harmonic's; 0 for 1 and j)

  std::span<const double> Function(size_t b) const {
    return std::span(table.get() + b * static_cast<size_t>(length), static_cast<size_t>(length));
  }
};

// Σ j^m e^{iφj} over j = a..b-1, m = 0, 1, 2: geometric sums and their derivatives
// (z d/dz), or the sums of powers where φ is a whole turn; summed sample by sample where
// z is too near 1 for the closed form; z = e^{iφ}, za = z^a and zb = z^b are given.
std::array<Complex, 3> PowerSums(double phi, int64_t a, int64_t b, Complex z, Complex za, Complex zb) {
  std::array<Complex, 3> sums{};
  const double turns = phi / TwoPi;
  if (turns == std::round(turns)) {
    auto power = [](double n, int m) { return m == 0 ? n : m == 1 ? n * (n - 1) / 2 : n * (n - 1) * (2 * n - 1) / 6; };
    for (int m = 0; m < 3; ++m) sums[m] = power(static_cast<double>(b), m) - power(static_cast<double>(a), m);
    return sums;
  }
  const Complex one_less = 1.0 - z;
  if (std::abs(one_less) < 1e-3) {
    for (int64_t j = a; j < b; ++j) {
      const double x = static_cast<double>(j);
      const Complex e = std::polar(1.0, phi * x);
      sums[0] += e, sums[1] += x * e, sums[2] += x * x * e;
    }
    return sums;
  }
  const double x = static_cast<double>(a), y = static_cast<double>(b);
  // One division: |1 - z| is at least 1e-3 here.
  const Complex inverse = std::conj(one_less) / std::norm(one_less), inverse2 = inverse * inverse;
  sums[0] = (za - zb) * inverse;
  sums[1] = (x * za - y * zb) * inverse + z * (za - zb) * inverse2;
  sums[2] = (x * x * za - y * y * zb) * inverse + z * ((2 * x + 1) * za - (2 * y + 1) * zb) * inverse2 +
            2.0 * z * z * (za - zb) * inverse2 * inverse;
  return sums;
}

// The basis functions' products over the samples [from, to), in closed form: a product of
// two is j^(p+q) times half the sum or difference of the cos or sin at θ ± θ'.
Matrix GramOver(const PauseBasis& basis, int64_t from, int64_t to) {
  const size_t n = basis.size;
  int highest = 0;
  for (const PauseBasis::Form& form : basis.forms) highest = std::max(highest, form.harmonic);
  // The sums at every multiple of the fundamental's turn that a sum or difference makes
  // (a negative one is the conjugate), their phasors as powers of the fundamental's.
  std::vector<std::array<Complex, 3>> sums;
  const Complex z1 = std::polar(1.0, basis.turn), za1 = std::polar(1.0, basis.turn * static_cast<double>(from)),
                zb1 = std::polar(1.0, basis.turn * static_cast<double>(to));
  Complex z = 1, za = 1, zb = 1;
  for (int k = 0; k <= 2 * highest; ++k, z *= z1, za *= za1, zb *= zb1)
    sums.push_back(PowerSums(k * basis.turn, from, to, z, za, zb));
  auto at = [&](int k, int m) {
    return k >= 0 ? sums[static_cast<size_t>(k)][m] : std::conj(sums[static_cast<size_t>(-k)][m]);
  };
  Matrix gram(n);
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a; b < n; ++b) {
      const PauseBasis::Form &u = basis.forms[a], &v = basis.forms[b];
      const int m = u.power + v.power;
      const Complex difference = at(u.harmonic - v.harmonic, m), sum = at(u.harmonic + v.harmonic, m);
      double value = 0;
      if (!u.sine && !v.sine) value = (difference.real() + sum.real()) / 2;
      if (u.sine && v.sine) value = (difference.real() - sum.real()) / 2;
      if (u.sine && !v.sine) value = (sum.imag() + difference.imag()) / 2;
      if (!u.sine && v.sine) value = (sum.imag() - difference.imag()) / 2;
      gram[a][b] = gram[b][a] = u.scale * v.scale * value;
    }
  return gram;
}

// Harmonic h + 1's cos and sin from harmonic h's and the fundamental's, sample by sample:
// no sample waits on the one before.
[[gnu::always_inline]] inline void NextHarmonicOf(const double* __restrict c1, const double* __restrict s1,
                                                  const double* __restrict c0, const double* __restrict s0,
                                                  double* __restrict cosine, double* __restrict sine, size_t length) {
  for (size_t j = 0; j < length; ++j)
    cosine[j] = c0[j] * c1[j] - s0[j] * s1[j], sine[j] = s0[j] * c1[j] + c0[j] * s1[j];
}
void NextHarmonicNarrow(const double* c1, const double* s1, const double* c0, const double* s0, double* cosine,
                        double* sine, size_t length) {
  NextHarmonicOf(c1, s1, c0, s0, cosine, sine, length);
}
#if defined(VOSTREL_WIDE_VECTORS)
[[gnu::target("avx2")]] void NextHarmonicWide(const double* c1, const double* s1, const double* c0, const double* s0,
                                              double* cosine, double* sine, size_t length) {
  NextHarmonicOf(c1, s1, c0, s0, cosine, sine, length);
}
#endif

// The functions over the pause's samples from `first` on (sample first + j at j), j counted
// from the pause's start.
PauseBasis BasisOf(const Pauses& pauses, double hz, const std::vector<int>& harmonics, bool slopes, int64_t first = 0) {
  PauseBasis basis;
  basis.size = 2 * harmonics.size() + (slopes ? 2 : 0) + 2;
  basis.length = pauses.length - first;
  basis.one = basis.size - 2;
  basis.line = basis.size - 1;
  basis.hz.assign(basis.size, 0.0);
  const size_t length = static_cast<size_t>(basis.length);
  const double start = static_cast<double>(first);
  basis.table = std::make_unique_for_overwrite<double[]>(basis.size * length);
  double* table = basis.table.get();
  for (size_t m = 0; m < harmonics.size(); ++m) {
    double *cosine = table + 2 * m * length, *sine = cosine + length;
    if (m > 0 && harmonics[0] == 1 && harmonics[m] == harmonics[m - 1] + 1) {
      // The harmonic before turned by the fundamental.
      const double *c1 = table, *s1 = table + length, *c0 = cosine - 2 * length, *s0 = c0 + length;
#if defined(VOSTREL_WIDE_VECTORS)
      if (HasWideVectors())
        NextHarmonicWide(c1, s1, c0, s0, cosine, sine, length);
      else
#endif
        NextHarmonicNarrow(c1, s1, c0, s0, cosine, sine, length);
    } else {
      // Four phasors side by side, each turned by four samples' turn: no sample waits on
      // the one just before it.
      const double angle = TwoPi * harmonics[m] * hz / pauses.sample_rate;
      double re[4], im[4];
      for (size_t k = 0; k < 4; ++k)
        re[k] = std::cos(angle * (start + static_cast<double>(k))),
        im[k] = std::sin(angle * (start + static_cast<double>(k)));
      const double step_re = std::cos(4 * angle), step_im = std::sin(4 * angle);
      size_t j = 0;
      for (; j + 4 <= length; j += 4)
        for (size_t k = 0; k < 4; ++k) {
          cosine[j + k] = re[k], sine[j + k] = im[k];
          const double turned = re[k] * step_re - im[k] * step_im;
          im[k] = re[k] * step_im + im[k] * step_re, re[k] = turned;
        }
      for (size_t k = 0; j < length; ++j, ++k) cosine[j] = re[k], sine[j] = im[k];
    }
    basis.hz[2 * m] = basis.hz[2 * m + 1] = harmonics[m] * hz;
  }
  if (slopes) basis.hz[basis.one - 2] = basis.hz[basis.one - 1] = hz;
  if (slopes) {
    // Apart from the rows they are made of, so that the divisions go side by side.
    double* __restrict cosine = table + (basis.one - 2) * length;
    double* __restrict sine = cosine + length;
    const double* __restrict c1 = table;
    const double* __restrict s1 = table + length;
    const double rate = pauses.sample_rate;
    for (size_t j = 0; j < length; ++j) {
      const double t = (start + static_cast<double>(j)) / rate;
      cosine[j] = t * c1[j], sine[j] = t * s1[j];
    }
  }
  std::fill_n(table + basis.one * length, length, 1.0);
  double* __restrict line = table + basis.line * length;
  for (size_t j = 0; j < length; ++j) line[j] = start + static_cast<double>(j);
  basis.forms.resize(basis.size);
  for (size_t m = 0; m < harmonics.size(); ++m)
    for (size_t k = 0; k < 2; ++k) basis.forms[2 * m + k] = {harmonics[m], k == 1, 0, 1};
  if (slopes)
    for (size_t k = 0; k < 2; ++k) basis.forms[basis.one - 2 + k] = {1, k == 1, 1, 1 / pauses.sample_rate};
  basis.turn = TwoPi * hz / pauses.sample_rate;
  basis.forms[basis.one] = {0, false, 0, 1};
  basis.forms[basis.line] = {0, false, 1, 1};
  basis.gram = GramOver(basis, first, pauses.length);
  return basis;
}

// The harmonics above the fundamental that the fit needs: those whose hum stands out of
// the noise in what the common decay and each pause's line leave of the pauses, and
// those that turn by about half a cycle from pause to pause, which only the common decay
// can tell of. One within the noise there changes the decay by less than the noise of its
// own fit would. The pauses' last quarter tells (or their last four cycles, where that is
// more), where the decay has least to leave; harmonics[0] is 1.
std::vector<int> HeardHarmonics(const Pauses& pauses, const Screen& screen, const std::vector<int>& harmonics,
                                double hz) {
  const int64_t count = pauses.count;
  const int64_t span =
      std::min(pauses.length, std::max<int64_t>(pauses.length / 4, std::llround(4 * pauses.sample_rate / hz)));
  const PauseBasis basis = BasisOf(pauses, hz, harmonics, false, pauses.length - span);
  const size_t n = basis.size, one = basis.one, line = basis.line;
  std::vector<double> products(static_cast<size_t>(count) * n);
  DotsOfRows(pauses.values.data() + (pauses.length - span), static_cast<size_t>(pauses.length),
             static_cast<size_t>(count), static_cast<size_t>(span), basis.table.get(), static_cast<size_t>(span), n,
             products.data());
  const auto& g = basis.gram;
  const double line_inverse = 1 / (g[one][one] * g[line][line] - g[one][line] * g[one][line]);
  // What each pause holds of the common signed decay, in its products: their signed mean.
  std::vector<double> decay(n, 0.0);
  for (int64_t p = 0; p < count; ++p)
    for (size_t b = 0; b < n; ++b) decay[b] += pauses.Sign(p) * products[static_cast<size_t>(p) * n + b];
  for (double& value : decay) value /= static_cast<double>(count);
  // Each harmonic's squares in what the decay and the lines leave, summed over the pauses.
  std::vector<double> squares(harmonics.size(), 0.0);
  for (size_t m = 0; m < harmonics.size(); ++m) {
    const size_t c = 2 * m, s = c + 1;
    const double cc = g[c][c], cs = g[c][s], ss = g[s][s], inverse = 1 / (cc * ss - cs * cs);
    for (int64_t p = 0; p < count; ++p) {
      const double* x = products.data() + static_cast<size_t>(p) * n;
      auto left = [&](size_t b) { return x[b] - pauses.Sign(p) * decay[b]; };
      // Less the pause's own straight line.
      const double r_one = left(one), r_line = left(line);
      const double a0 = (g[line][line] * r_one - g[one][line] * r_line) * line_inverse;
      const double a1 = (g[one][one] * r_line - g[one][line] * r_one) * line_inverse;
      const double rc = left(c) - g[c][one] * a0 - g[c][line] * a1;
      const double rs = left(s) - g[s][one] * a0 - g[s][line] * a1;
      squares[m] += (ss * rc * rc - 2 * cs * rc * rs + cc * rs * rs) * inverse;
    }
  }
  // The white noise comes from the samples' jumps, which the hum raises too, a harmonic
  // near the Nyquist frequency by more than its own squares: what each one adds is taken
  // back, so that a strong high harmonic does not hide a weak one.
  const double samples = static_cast<double>(count * span), kept_share = 1 - 1 / static_cast<double>(count);
  double noise = screen.noise;
  for (size_t m = 0; m < harmonics.size(); ++m) {
    const double jump_gain = 1 - std::cos(TwoPi * harmonics[m] * hz / pauses.sample_rate);
    noise -= jump_gain * jump_gain / (1.5 * kept_share) * squares[m] / samples;
  }
  noise = std::max(noise, 1e-3 * screen.noise);
  // Noise alone gives Σ over the pauses of a chi-square of two degrees, less the two the
  // decay takes: about 2 (count - 1), with a spread of √(4 (count - 1)); five spreads
  // above that keep one in a few thousand harmonics that are not there.
  const double freedom = 2 * static_cast<double>(count - 1);
  const double heard = freedom + 5 * std::sqrt(2 * freedom);
  std::vector<int> kept{harmonics[0]};
  for (size_t m = 1; m < harmonics.size(); ++m)
    if (ChangingShare(pauses, harmonics[m] * hz) < 0.5 || squares[m] / noise > heard) kept.push_back(harmonics[m]);
  return kept;
}

// A shape's coefficients of the basis in every pause: pause p, function b at [p * size + b].
using Coefficients = std::vector<double>;

// cos and sin of each harmonic on the curve's clock, then, with slopes, the fundamental's
// cos and sin times the time from the start of the middle pause.
std::vector<Coefficients> ShapesOf(const Pauses& pauses, const PauseBasis& basis, double hz,
                                   const std::vector<int>& harmonics, bool slopes) {
  const size_t n = basis.size;
  std::vector<Coefficients> shapes(2 * harmonics.size() + (slopes ? 2 : 0),
                                   Coefficients(static_cast<size_t>(pauses.count) * n, 0.0));
  const double middle = pauses.Time(pauses.count / 2, 0);
  for (int64_t p = 0; p < pauses.count; ++p) {
    const size_t at = static_cast<size_t>(p) * n;
    for (size_t m = 0; m < harmonics.size(); ++m) {
      // cos(ω(t_p + τ)) = cos ω t_p cos ωτ - sin ω t_p sin ωτ; sin likewise.
      const double c = std::cos(TwoPi * harmonics[m] * hz * pauses.Time(p, 0));
      const double s = std::sin(TwoPi * harmonics[m] * hz * pauses.Time(p, 0));
      shapes[2 * m][at + 2 * m] = c, shapes[2 * m][at + 2 * m + 1] = -s;
      shapes[2 * m + 1][at + 2 * m] = s, shapes[2 * m + 1][at + 2 * m + 1] = c;
    }
    if (slopes) {
      // (t_p - middle + τ) times the fundamental's shapes.
      const double offset = pauses.Time(p, 0) - middle;
      for (size_t k = 0; k < 2; ++k) {
        Coefficients& sloped = shapes[2 * harmonics.size() + k];
        sloped[at] = offset * shapes[k][at];
        sloped[at + 1] = offset * shapes[k][at + 1];
        sloped[at + n - 4] = shapes[k][at];
        sloped[at + n - 3] = shapes[k][at + 1];
      }
    }
  }
  return shapes;
}

// The functions a shape has in some pause, in order: its sums over the others only add zeros.
struct Uses {
  size_t at[MaxBasis];
  size_t count = 0;
};

Uses UsesOf(const Coefficients& shape, int64_t count, size_t n) {
  Uses uses;
  for (size_t b = 0; b < n; ++b)
    for (int64_t p = 0; p < count; ++p)
      if (shape[static_cast<size_t>(p) * n + b] != 0) {
        uses.at[uses.count++] = b;
        break;
      }
  return uses;
}

// The coefficients' signed mean over the pauses: the shape's common decay, into mean[n].
void SignedMean(const Coefficients& w, int64_t count, size_t n, double* mean) {
  std::fill(mean, mean + n, 0.0);
  for (int64_t p = 0; p < count; ++p)
    for (size_t b = 0; b < n; ++b) mean[b] += (p % 2 == 0 ? 1 : -1) * w[static_cast<size_t>(p) * n + b];
  for (size_t b = 0; b < n; ++b) mean[b] /= static_cast<double>(count);
}

// What the decay and the pauses' offsets and slopes leave of a shape: the pauses less
// their common signed decay, each then freed of its straight line. The decay and the
// lines with alternating signs are the same directions, and the rest of the lines is
// orthogonal to the decay, so this is the orthogonal projection on what neither explains.
// The projection has the shape's functions and 1 and j, the last two: `held` lists them.
void ProjectCoefficients(const Coefficients& shape, const Uses& uses, int64_t count, const PauseBasis& basis, double* w,
                         Uses& held) {
  const size_t n = basis.size;
  std::copy(shape.begin(), shape.end(), w);
  double decay[MaxBasis] = {};
  for (int64_t p = 0; p < count; ++p)
    for (size_t u = 0; u < uses.count; ++u)
      decay[uses.at[u]] += (p % 2 == 0 ? 1 : -1) * w[static_cast<size_t>(p) * n + uses.at[u]];
  for (size_t u = 0; u < uses.count; ++u) decay[uses.at[u]] /= static_cast<double>(count);
  const auto& g = basis.gram;
  const double inverse =
      1 / (g[basis.one][basis.one] * g[basis.line][basis.line] - g[basis.one][basis.line] * g[basis.one][basis.line]);
  for (int64_t p = 0; p < count; ++p) {
    double* c = w + static_cast<size_t>(p) * n;
    double with_one = 0, with_line = 0;
    for (size_t u = 0; u < uses.count; ++u) {
      const size_t b = uses.at[u];
      c[b] -= (p % 2 == 0 ? 1 : -1) * decay[b];
      with_one += c[b] * g[basis.one][b], with_line += c[b] * g[basis.line][b];
    }
    c[basis.one] -= (g[basis.line][basis.line] * with_one - g[basis.one][basis.line] * with_line) * inverse;
    c[basis.line] -= (g[basis.one][basis.one] * with_line - g[basis.one][basis.line] * with_one) * inverse;
  }
  held = uses;
  held.at[held.count++] = basis.one;
  held.at[held.count++] = basis.line;
}

// The Gram matrix times each pause's coefficients, of which only `held` may be nonzero.
void GramTimes(const double* v, const Uses& held, int64_t count, const PauseBasis& basis, double* products) {
  const size_t n = basis.size;
  std::fill(products, products + static_cast<size_t>(count) * n, 0.0);
  for (int64_t p = 0; p < count; ++p) {
    const double* c = v + static_cast<size_t>(p) * n;
    double* out = products + static_cast<size_t>(p) * n;
    for (size_t h = 0; h < held.count; ++h) {
      const size_t k = held.at[h];
      if (c[k] == 0) continue;
      // The Gram matrix is symmetric: its row k is its column k.
      const double* column = basis.gram[k];
      for (size_t i = 0; i < n; ++i) out[i] += column[i] * c[k];
    }
  }
}

// Each basis function's product with each pause of the data: [p * size + b].
std::vector<double> DataProducts(const Pauses& pauses, const PauseBasis& basis) {
  std::vector<double> products(static_cast<size_t>(pauses.count) * basis.size);
  const size_t length = static_cast<size_t>(pauses.length);
  DotsOfRows(pauses.values.data(), length, static_cast<size_t>(pauses.count), length, basis.table.get(), length,
             basis.size, products.data());
  return products;
}

// The normal equations of a least-squares fit and what it is fitted to: gram c = right,
// with Σ data² to say what the fit leaves.
struct Normal {
  Matrix gram;
  std::vector<double> right;
  double squares = 0;

  // Σ (data - shapes c)² for coefficients c.
  double Left(const std::vector<double>& c) const {
    double left = squares;
    for (size_t a = 0; a < c.size(); ++a) {
      left -= 2 * c[a] * right[a];
      for (size_t b = 0; b < c.size(); ++b) left += c[a] * gram[a][b] * c[b];
    }
    return std::max(left, 0.0);
  }
};

// Two views of the hum, independent as they come from apart parts of the data:
//  - among the pauses: what the decay and the pauses' lines leave, where hum that
//    changes from pause to pause shows, with nothing assumed of the decay;
//  - in the common decay through the cycle filter, where a decay smooth over a cycle
//    leaves nothing and the hum the stacks pass as decay (the part that turns by half a
//    cycle from pause to pause, with the pauses' own signs) shows.
// Their least squares together, each weighted by its own noise, are the fit.
struct HumFit {
  std::vector<double> coefficients;
  Matrix covariance;
  size_t untold = 0;        // combinations of the shapes the data say nothing of
  bool decay_seen = false;  // the common decay took part
};

// filtered_decay: the common decay through the filter.
HumFit FitHum(const Pauses& pauses, const Screen& screen, const CycleFilter& filter,
              std::span<const double> filtered_decay, const PauseBasis& basis, const std::vector<Coefficients>& shapes,
              const std::vector<double>& products) {
  const size_t n = shapes.size(), size = basis.size;
  const int64_t count = pauses.count;
  const double white_noise = screen.noise;
  // What the decay and the pauses' lines leave of the data: the first look's.
  Normal among{Matrix(n), std::vector<double>(n), screen.residual_squares};
  // Shape a's projection and the Gram matrix times it, each at [a * stride].
  const size_t stride = static_cast<size_t>(count) * size;
  // Both written whole (a projection copies its shape first).
  const auto projected = std::make_unique_for_overwrite<double[]>(n * stride);
  const auto gram_times = std::make_unique_for_overwrite<double[]>(n * stride);
  Uses held[MaxBasis];
  for (size_t a = 0; a < n; ++a) {
    ProjectCoefficients(shapes[a], UsesOf(shapes[a], count, size), count, basis, projected.get() + a * stride, held[a]);
    GramTimes(projected.get() + a * stride, held[a], count, basis, gram_times.get() + a * stride);
  }
  // A projected shape has a few functions in each pause: only those are multiplied.
  std::vector<size_t> at(stride);
  for (size_t a = 0; a < n; ++a) {
    const double* shape = projected.get() + a * stride;
    size_t nonzero = 0;
    for (int64_t p = 0; p < count; ++p)
      for (size_t h = 0; h < held[a].count; ++h) {
        const size_t i = static_cast<size_t>(p) * size + held[a].at[h];
        if (shape[i] != 0) at[nonzero++] = i;
      }
    // Every b's sum in the same order, side by side.
    double right = 0, sums[MaxBasis] = {};
    for (size_t k = 0; k < nonzero; ++k) {
      const double value = shape[at[k]];
      right += value * products[at[k]];
      const double* other = gram_times.get() + at[k];
      for (size_t b = a; b < n; ++b) sums[b] += value * other[b * stride];
    }
    among.right[a] = right;
    for (size_t b = a; b < n; ++b) among.gram[a][b] = among.gram[b][a] = sums[b];
  }
  const double among_freedom =
      static_cast<double>((count - 1) * pauses.length - 2 * count + 2) - static_cast<double>(n);

  // In the decay: the filtered decay's products with the basis functions over the
  // filter's samples, and the functions' own there. A sinusoid comes through the filter as
  // itself times the filter's gain at its frequency; 1 and j do not come through.
  Normal in_decay{Matrix(n), std::vector<double>(n, 0.0), 0};
  double decay_freedom = 0;
  if (Sees(filter) && filter.Count() > static_cast<int64_t>(2 * n)) {
    const std::span<const double> filtered = filtered_decay;
    in_decay.squares = Dot(filtered, filtered);
    decay_freedom = static_cast<double>(filter.Count()) - static_cast<double>(n);
    const size_t from = static_cast<size_t>(filter.From());
    std::vector<double> gains(size), decay_products(size, 0.0);
    const Matrix range = GramOver(basis, filter.From(), filter.To());
    for (size_t b = 0; b < size; ++b)
      gains[b] = !(basis.hz[b] > 0)                        ? 0
                 : b > 0 && basis.hz[b] == basis.hz[b - 1] ? gains[b - 1]
                                                           : filter.Gain(basis.hz[b] / pauses.sample_rate);
    // 1 and j, the last two, do not come through.
    Dots(filtered, basis.table.get() + from, static_cast<size_t>(basis.length), basis.one, decay_products.data());
    // Each shape's common decay has a few of the functions: only those are multiplied.
    double common[MaxBasis][MaxBasis], range_times[MaxBasis][MaxBasis] = {};
    Uses in_common[MaxBasis];
    for (size_t a = 0; a < n; ++a) {
      SignedMean(shapes[a], count, size, common[a]);
      for (size_t b = 0; b < size; ++b)
        if ((common[a][b] *= gains[b]) != 0) in_common[a].at[in_common[a].count++] = b;
      // The products over the filter's samples with the shape's common decay.
      for (size_t i = 0; i < size; ++i)
        for (size_t h = 0; h < in_common[a].count; ++h)
          range_times[a][i] += range[i][in_common[a].at[h]] * common[a][in_common[a].at[h]];
    }
    for (size_t a = 0; a < n; ++a) {
      const Uses& held_a = in_common[a];
      double right = 0;
      for (size_t h = 0; h < held_a.count; ++h) right += common[a][held_a.at[h]] * decay_products[held_a.at[h]];
      in_decay.right[a] = right;
      for (size_t b = a; b < n; ++b) {
        double sum = 0;
        for (size_t h = 0; h < held_a.count; ++h) sum += common[a][held_a.at[h]] * range_times[b][held_a.at[h]];
        in_decay.gram[a][b] = in_decay.gram[b][a] = sum;
      }
    }
  }

  // Weighted by their noise: the pauses' white noise, and the decay's, a mean of the
  // pauses, or what the filter leaves of it where the decay is less smooth than that.
  double among_noise = white_noise, decay_noise = white_noise / static_cast<double>(count);
  HumFit fit;
  for (int round = 0; round < 2; ++round) {
    Matrix gram(n);
    std::vector<double> right(n);
    for (size_t a = 0; a < n; ++a) {
      right[a] = among.right[a] / among_noise + (decay_freedom > 0 ? in_decay.right[a] / decay_noise : 0);
      for (size_t b = 0; b < n; ++b)
        gram[a][b] = among.gram[a][b] / among_noise + (decay_freedom > 0 ? in_decay.gram[a][b] / decay_noise : 0);
    }
    // Scaled to a unit diagonal, so that the shapes' units (a slope's are seconds) do not
    // decide what counts as told.
    std::vector<double> scale(n);
    for (size_t a = 0; a < n; ++a) scale[a] = gram[a][a] > 0 ? 1 / std::sqrt(gram[a][a]) : 0;
    for (size_t a = 0; a < n; ++a)
      for (size_t b = 0; b < n; ++b) gram[a][b] *= scale[a] * scale[b];
    const PseudoInverse inverse = PseudoInverseOf(gram, 1e-10);
    fit.covariance = inverse.inverse;
    fit.coefficients.assign(n, 0.0);
    for (size_t a = 0; a < n; ++a)
      for (size_t b = 0; b < n; ++b) {
        fit.covariance[a][b] *= scale[a] * scale[b];
        fit.coefficients[a] += fit.covariance[a][b] * right[b];
      }
    fit.untold = inverse.left_out.size();
    if (round == 1) break;
    if (among_freedom > 0) among_noise = std::max(among.Left(fit.coefficients) / among_freedom, white_noise * 1e-6);
    if (decay_freedom > 0)
      decay_noise = std::max(in_decay.Left(fit.coefficients) / decay_freedom / filter.NoiseGain(),
                             among_noise / static_cast<double>(count));
  }
  fit.decay_seen = decay_freedom > 0;
  return fit;
}

// How far the frequency of a fit with slopes (ShapesOf) is off: the slopes' coefficients
// are δω times (b, -a) for the fundamental's (a, b). Beyond `limit` Hz the linear picture
// fails, and no correction is made.
double FrequencyCorrection(const std::vector<double>& sloped, double limit) {
  const double a = sloped[0], b = sloped[1], c = sloped[sloped.size() - 2], d = sloped[sloped.size() - 1];
  const double correction = (a * a + b * b) > 0 ? (c * b - d * a) / (a * a + b * b) / TwoPi : 0;
  return std::abs(correction) < limit ? correction : 0;
}

// Subtracts the fitted shapes from the pauses and keeps what their fit leaves uncertain.
void Subtract(Pauses& pauses, const std::vector<Coefficients>& shapes, const HumFit& fit, const PauseBasis& basis,
              std::span<const SampleRange> asked, HumRemoval& result) {
  const size_t n = basis.size, length = static_cast<size_t>(pauses.length);
  Coefficients sum(static_cast<size_t>(pauses.count) * n, 0.0);
  HumUncertainty uncertainty{std::vector<double>(shapes.size() * asked.size(), 0.0), asked.size(), fit.covariance};
  // Each function summed over each range asked for.
  std::vector<double> range_sums(n * asked.size());
  for (size_t b = 0; b < n; ++b)
    for (size_t r = 0; r < asked.size(); ++r)
      range_sums[b * asked.size() + r] =
          Sum(basis.Function(b).subspan(static_cast<size_t>(asked[r].first), static_cast<size_t>(asked[r].Count())));
  const int64_t stacks = pauses.count - 2;
  std::vector<double> stack(n);
  for (size_t m = 0; m < shapes.size(); ++m) {
    for (size_t i = 0; i < sum.size(); ++i) sum[i] += fit.coefficients[m] * shapes[m][i];
    // The shape's mean three-pause stack, what it adds to the stacked decay.
    std::fill(stack.begin(), stack.end(), 0.0);
    for (int64_t s = 0; s < stacks; ++s)
      for (size_t b = 0; b < n; ++b) {
        const double* w = shapes[m].data() + static_cast<size_t>(s) * n + b;
        stack[b] += pauses.Sign(s) * (w[0] - 2 * w[n] + w[2 * n]);
      }
    for (double& value : stack) value /= 4 * static_cast<double>(stacks);
    for (size_t r = 0; r < asked.size(); ++r)
      for (size_t b = 0; b < n; ++b)
        if (stack[b] != 0)
          uncertainty.stacked_sums[m * asked.size() + r] += stack[b] * range_sums[b * asked.size() + r];
  }
  SubtractOfRows(pauses.values.data(), length, static_cast<size_t>(pauses.count), length, sum.data(), basis.table.get(),
                 length, n);
  result.uncertainties.push_back(std::move(uncertainty));
}

// The user's reason for a record without an answer.
std::string HiddenHum(const Pauses& pauses, double hz) {
  char text[160];
  std::snprintf(
      text, sizeof text,
      "hum near %.1f Hz turns by half a cycle from pause to pause: pauses of %.0f ms cannot tell it from the decay", hz,
      1000 * static_cast<double>(pauses.length) / pauses.sample_rate);
  return text;
}

// The hum at hz and its harmonics below the Nyquist frequency, fitted and subtracted,
// with the fundamental's slopes in frequency: they correct hz first, and in the last fit
// carry what the frequency leaves uncertain into the hum's.
void RemoveHumAt(Pauses& pauses, const Screen& screen, const CycleFilter& filter,
                 std::span<const double> filtered_decay, double hz, std::span<const SampleRange> asked,
                 HumRemoval& result) {
  const int highest = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (highest < 1) return;
  std::vector<int> harmonics;
  for (int h = 1; h <= highest; ++h) harmonics.push_back(h);
  // The whole hum with the fundamental's slopes in frequency, which take the first order of
  // the frequency's error for the fundamental. Its harmonics keep theirs: it is negligible
  // where it could leave of them less than a tenth of the decay's noise, or (whatever their
  // size) less than a five hundredth of a cycle of the highest over the record.
  const double record_s = 2.0 * static_cast<double>(pauses.count * pauses.length) / pauses.sample_rate;
  const double decay_noise = screen.noise / static_cast<double>(pauses.count);
  auto negligible = [&](const HumFit& fit, double correction, bool by_size) {
    const double cycles = std::abs(correction) * record_s;
    if (cycles * highest < 2e-3) return true;
    if (!by_size) return false;
    // The largest phase error over the record, half of it either side of the middle; the
    // fundamental's is left to second order.
    const double turn = TwoPi * cycles / 2;
    double left = 0;
    for (size_t m = 0; m < harmonics.size(); ++m) {
      const int h = harmonics[m];
      const double amplitude = std::hypot(fit.coefficients[2 * m], fit.coefficients[2 * m + 1]);
      const double error = h == 1 ? turn * turn / 2 : h * turn;
      left += amplitude * amplitude * error * error / 2;
    }
    return left < 0.01 * decay_noise;
  };
  PauseBasis basis;
  std::vector<Coefficients> shapes;
  HumFit fit;
  // The harmonics heard are chosen before the first fit, and the later ones keep them.
  if (harmonics.size() > 1) harmonics = HeardHarmonics(pauses, screen, harmonics, hz);
  auto fit_all = [&] {
    basis = BasisOf(pauses, hz, harmonics, true);
    const std::vector<double> products = DataProducts(pauses, basis);
    shapes = ShapesOf(pauses, basis, hz, harmonics, true);
    fit = FitHum(pauses, screen, filter, filtered_decay, basis, shapes, products);
    return FrequencyCorrection(fit.coefficients, 0.05);
  };
  // Where the common decay takes part, the first estimate usually needs no more.
  double correction = 0;
  bool settled = false;
  if (Sees(filter)) {
    correction = fit_all();
    settled = negligible(fit, correction, true);
    if (!settled) hz += correction;
  }
  if (!settled) {
    // The fundamental alone with its slopes, until they move the frequency by less than
    // that; a correction leaves an error of the order of its square, so one whose square
    // is well below it needs no fit to confirm it: the whole hum's slopes do, and where
    // they still move the frequency, the whole hum is fitted again there.
    for (int round = 0; round < 3; ++round) {
      const PauseBasis fundamental = BasisOf(pauses, hz, {1}, true);
      const HumFit alone = FitHum(pauses, screen, filter, filtered_decay, fundamental,
                                  ShapesOf(pauses, fundamental, hz, {1}, true), DataProducts(pauses, fundamental));
      const double step = FrequencyCorrection(alone.coefficients, 0.05);
      hz += step;
      if (4 * step * step * record_s * record_s * highest < 2e-3) break;
    }
    correction = fit_all();
    if (!negligible(fit, correction, false)) {
      hz += correction;
      correction = fit_all();
    }
  }
  // What the slopes say of the frequency, beyond the one fitted.
  result.frequency_hz = hz + correction;
  result.amplitude_mv = std::hypot(fit.coefficients[0], fit.coefficients[1]);
  if (!fit.decay_seen) (fit.untold > 0 ? result.unresolved : result.unseen_in_decay) = HiddenHum(pauses, hz);
  Subtract(pauses, shapes, fit, basis, asked, result);
}

// Whether the first look leaves room for hum: something that changes from pause to pause,
// or the common decay through the cycle mean of a frequency searched that the pauses are
// long enough for, from where the decay is smooth enough for it.
bool MayHum(const Pauses& pauses, Screen& screen, std::span<const double> searched) {
  if (screen.residual_holds_more) return true;
  for (double hz : searched) {
    // The whole filter first: only where that holds more does the decay's own fast start
    // need telling from hum.
    if (!Sees(FilterFor(pauses, hz))) continue;
    const DecayThrough& through = ThroughAt(pauses, screen, hz);
    if (!DecayHoldsMore(pauses, screen, through, through.whole)) continue;
    const CycleFilter& smooth = SmoothAt(pauses, screen, hz);
    if (Sees(smooth) && DecayHoldsMore(pauses, screen, ThroughAt(pauses, screen, hz), smooth)) return true;
  }
  return false;
}

}  // namespace

HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz) {
  PauseScreen look = ScreenPauses(pauses);
  return RemoveHum(pauses, mains_hz, look);
}

HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz, PauseScreen& look,
                     std::span<const SampleRange> asked) {
  HumRemoval result;
  std::vector<double> searched;
  for (double hz : mains_hz)
    if (hz > 0 && static_cast<double>(pauses.length) / pauses.sample_rate >= 2 / hz) searched.push_back(hz);
  if (pauses.count < 4 || pauses.length < 3 || searched.empty()) return result;
  Screen screen = ScreenOf(look, pauses);
  if (!MayHum(pauses, screen, searched)) return result;
  // Frequencies whose pauses are too short for the filter: hum near them that turns by
  // half a cycle from pause to pause would pass unseen. They are looked for first, so that
  // their harmonics go with them rather than pass for hum of their own.
  std::vector<double> unseen;
  for (double mains : searched)
    if (!Sees(FilterFor(pauses, mains))) unseen.push_back(mains);
  std::stable_partition(searched.begin(), searched.end(),
                        [&](double hz) { return std::find(unseen.begin(), unseen.end(), hz) != unseen.end(); });
  for (size_t i = 0; i < searched.size(); ++i) {
    const double mains = searched[i];
    const CycleFilter whole = FilterFor(pauses, mains);
    const CycleFilter filter = Sees(whole) ? SmoothAt(pauses, screen, mains) : whole;
    const std::span<const double> filtered_decay =
        Sees(whole) ? ThroughAt(pauses, screen, mains).Of(filter) : std::span<const double>();
    const double hz = HumFrequency(pauses, screen, filter, mains);
    if (!std::isfinite(hz) || std::abs(hz - mains) > SearchedWithin) continue;
    HumRemoval found;
    RemoveHumAt(pauses, screen, filter, filtered_decay, hz, asked, found);
    if (!found.unresolved.empty()) {
      result.unresolved = found.unresolved;
      return result;
    }
    if (!std::isfinite(found.frequency_hz)) continue;
    // Hum found here may be a harmonic of hum near a frequency whose pauses are too short
    // to see it in: what is left in the decay at that fundamental tells.
    for (double lower : unseen)
      for (int h = 2; h <= MaxHarmonics; ++h) {
        const double fundamental = found.frequency_hz / h;
        if (std::abs(fundamental - lower) > SearchedWithin || ChangingShare(pauses, fundamental) >= 0.3) continue;
        // A fundamental a hundredth of its harmonic changes nothing.
        if (DecayHoldsAt(pauses, fundamental, 0.01 * found.amplitude_mv)) {
          result.unresolved = HiddenHum(pauses, fundamental);
          return result;
        }
      }
    if (found.amplitude_mv > result.amplitude_mv || !std::isfinite(result.frequency_hz)) {
      result.frequency_hz = found.frequency_hz;
      result.amplitude_mv = found.amplitude_mv;
    }
    for (HumUncertainty& uncertainty : found.uncertainties) result.uncertainties.push_back(std::move(uncertainty));
    if (result.unseen_in_decay.empty()) result.unseen_in_decay = found.unseen_in_decay;
    // What this hum leaves decides whether there is more to look for near the frequencies
    // not yet searched.
    look = ScreenPauses(pauses);
    screen = ScreenOf(look, pauses);
    if (!MayHum(pauses, screen, std::span(searched).subspan(i + 1))) break;
  }
  return result;
}
