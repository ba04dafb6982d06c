#include "ip/hum_removal.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "ip/least_squares.h"

namespace {

using Complex = std::complex<double>;
constexpr double TwoPi = 2 * std::numbers::pi;
constexpr int MaxHarmonics = 3;
// Hum counts as found when the energy at its frequency exceeds ten times what noise of
// the same variance would put there.
constexpr double Detection = 10;
// The search for hum uses every Decimation-th sample: enough to see 50-60 Hz at any
// usual rate, and it is all most records without hum ever cost.
int64_t Decimation(double sample_rate, double mains_hz) {
  return std::max<int64_t>(1, static_cast<int64_t>(sample_rate / (3 * (mains_hz + 1))));
}

// What the common decay leaves of every step-th sample of the pauses, each pause's
// series freed of its offset and slope: enough to find hum, at a fraction of the cost.
struct SampledResidual {
  int64_t step = 1;
  int64_t per_pause = 0;       // samples kept per pause: j = 0, step, 2 step, ...
  std::vector<double> values;  // pause p, kept sample i at [p * per_pause + i]
};

SampledResidual SampledResidualOf(const Pauses& pauses, int64_t step) {
  SampledResidual sampled{step, (pauses.length + step - 1) / step, {}};
  sampled.values.resize(static_cast<size_t>(pauses.count * sampled.per_pause));
  for (int64_t i = 0; i < sampled.per_pause; ++i) {
    double decay = 0;
    for (int64_t p = 0; p < pauses.count; ++p)
      decay += pauses.Sign(p) * pauses.values[static_cast<size_t>(p * pauses.length + i * step)];
    decay /= static_cast<double>(pauses.count);
    for (int64_t p = 0; p < pauses.count; ++p)
      sampled.values[static_cast<size_t>(p * sampled.per_pause + i)] =
          pauses.values[static_cast<size_t>(p * pauses.length + i * step)] - pauses.Sign(p) * decay;
  }
  for (int64_t p = 0; p < pauses.count; ++p)
    Detrend(std::span(sampled.values)
                .subspan(static_cast<size_t>(p * sampled.per_pause), static_cast<size_t>(sampled.per_pause)));
  return sampled;
}

// Σ r e^{-iωt} over the kept samples [from, to) of pause p, on the curve's own clock.
Complex Projection(const Pauses& pauses, const SampledResidual& r, int64_t p, int64_t from, int64_t to, double hz) {
  Complex phasor = std::polar(1.0, -TwoPi * hz * pauses.Time(p, from * r.step));
  const Complex turn = std::polar(1.0, -TwoPi * hz * static_cast<double>(r.step) / pauses.sample_rate);
  Complex sum = 0;
  const double* x = r.values.data() + p * r.per_pause;
  for (int64_t i = from; i < to; ++i) {
    sum += x[i] * phasor;
    phasor *= turn;
  }
  return sum;
}

// The frequency of the hum in the pauses, or NaN when none stands out of the noise.
double HumFrequency(const Pauses& pauses, const SampledResidual& residual, double mains_hz) {
  const int64_t half = residual.per_pause / 2;
  if (half < 2) return std::numeric_limits<double>::quiet_NaN();
  double variance = 0;
  for (double value : residual.values) variance += value * value;
  variance /= static_cast<double>(residual.values.size());

  double energy = 0;
  for (int64_t p = 0; p < pauses.count; ++p) {
    const Complex first = Projection(pauses, residual, p, 0, half, mains_hz);
    const Complex second = Projection(pauses, residual, p, half, 2 * half, mains_hz);
    energy += 2 * (std::norm(first) + std::norm(second)) / static_cast<double>(half);
  }
  if (!(energy > Detection * 2 * variance * 2 * static_cast<double>(pauses.count)))
    return std::numeric_limits<double>::quiet_NaN();

  // The phase gained from one stretch of a pause to the next gives the offset from
  // mains_hz: first over stretches of at most a quarter of a second (unambiguous within
  // ±2 Hz), then over the pause's halves.
  const int64_t quarter = std::max<int64_t>(
      2, std::min(half, static_cast<int64_t>(0.25 * pauses.sample_rate / static_cast<double>(residual.step))));
  double hz = mains_hz;
  for (int64_t stretch : {quarter, half}) {
    Complex turned = 0;
    for (int64_t p = 0; p < pauses.count; ++p)
      turned += Projection(pauses, residual, p, stretch, 2 * stretch, hz) *
                std::conj(Projection(pauses, residual, p, 0, stretch, hz));
    hz += std::arg(turned) / (TwoPi * static_cast<double>(stretch * residual.step) / pauses.sample_rate);
  }

  // The phase gained from pause to pause, a whole period of the current apart, refines it.
  const double spacing = 2.0 * static_cast<double>(pauses.length) / pauses.sample_rate;
  for (int round = 0; round < 2; ++round) {
    Complex steps = 0, previous = 0;
    for (int64_t p = 0; p < pauses.count; ++p) {
      const Complex whole = Projection(pauses, residual, p, 0, residual.per_pause, hz);
      if (p > 0) steps += whole * std::conj(previous);
      previous = whole;
    }
    hz += std::arg(steps) / (TwoPi * spacing);
  }
  return hz;
}

// The sinusoids of the hum at every pause sample: cos and sin of each harmonic.
// With slopes, two more: the fundamental's cos and sin times the time from the start of
// the middle pause.
std::vector<std::vector<double>> HumShapes(const Pauses& pauses, double hz, int harmonics, bool slopes) {
  std::vector<std::vector<double>> shapes(static_cast<size_t>(2 * harmonics + (slopes ? 2 : 0)),
                                          std::vector<double>(pauses.values.size()));
  for (int h = 1; h <= harmonics; ++h)
    for (int64_t p = 0; p < pauses.count; ++p) {
      Complex phasor = std::polar(1.0, TwoPi * h * hz * pauses.Time(p, 0));
      const Complex turn = std::polar(1.0, TwoPi * h * hz / pauses.sample_rate);
      for (int64_t j = 0; j < pauses.length; ++j) {
        const size_t i = static_cast<size_t>(p * pauses.length + j);
        shapes[static_cast<size_t>(2 * h - 2)][i] = phasor.real();
        shapes[static_cast<size_t>(2 * h - 1)][i] = phasor.imag();
        phasor *= turn;
      }
    }
  if (slopes) {
    const double middle = pauses.Time(pauses.count / 2, 0);
    for (int64_t p = 0; p < pauses.count; ++p)
      for (int64_t j = 0; j < pauses.length; ++j) {
        const size_t i = static_cast<size_t>(p * pauses.length + j);
        const double t = pauses.Time(p, j) - middle;
        shapes[shapes.size() - 2][i] = t * shapes[0][i];
        shapes[shapes.size() - 1][i] = t * shapes[1][i];
      }
  }
  return shapes;
}

// The least-squares coefficients of shapes for data, which stands at their samples
// [from, from + data.size()).
std::vector<double> FitShapes(const std::vector<std::vector<double>>& shapes, const std::vector<double>& data,
                              size_t from) {
  const size_t n = shapes.size();
  auto part = [&](size_t m) { return std::span<const double>(shapes[m]).subspan(from, data.size()); };
  std::vector<std::vector<double>> gram(n, std::vector<double>(n, 0.0));
  std::vector<double> right(n, 0.0);
  for (size_t a = 0; a < n; ++a) {
    right[a] = Dot(part(a), data);
    for (size_t b = a; b < n; ++b) gram[a][b] = gram[b][a] = Dot(part(a), part(b));
  }
  return Solve(gram, right);
}

// How far the frequency of a fit with slopes (HumShapes) is off: the slopes' coefficients
// are δω times (b, -a) for the fundamental's (a, b). Beyond `limit` Hz the linear picture
// fails, and no correction is made.
double FrequencyCorrection(const std::vector<double>& sloped, double limit) {
  const double a = sloped[0], b = sloped[1], c = sloped[sloped.size() - 2], d = sloped[sloped.size() - 1];
  const double correction = (a * a + b * b) > 0 ? (c * b - d * a) / (a * a + b * b) / TwoPi : 0;
  return std::abs(correction) < limit ? correction : 0;
}

// The hum borne by the common decay, when its phase turns by half a cycle from one pause
// to the next (f x 2 x pause = k + 1/2): then it has the pauses' own signs, the residual
// holds none of it, and only its oscillation tells it from a decay. The decay less its
// average over one mains cycle keeps the hum and loses the smooth decay; the samples of
// the first cycles, where the decay bends fastest, are left out of the fit.
struct DecayHum {
  double hz = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> shape;  // the hum in pause-local time, to subtract with each pause's sign
  double amplitude = 0;
};

DecayHum HumInTheDecay(const Pauses& pauses, const std::vector<double>& decay, double mains_hz) {
  DecayHum found;
  const int64_t cycle = std::llround(pauses.sample_rate / mains_hz), length = pauses.length;
  const int64_t from = 2 * cycle, to = length - cycle;
  if (cycle < 3 || to - from < 4 * cycle) return found;
  std::vector<double> prefix(static_cast<size_t>(length + 1), 0.0);
  for (int64_t j = 0; j < length; ++j) prefix[static_cast<size_t>(j + 1)] = prefix[static_cast<size_t>(j)] + decay[j];
  std::vector<double> wiggle(static_cast<size_t>(to - from));
  for (int64_t j = from; j < to; ++j) {
    const int64_t a = j - cycle / 2, b = a + cycle;
    wiggle[static_cast<size_t>(j - from)] =
        decay[static_cast<size_t>(j)] - (prefix[static_cast<size_t>(b)] - prefix[static_cast<size_t>(a)]) / cycle;
  }
  // One series, the pause's own clock from sample `from`: the halves' phases give the
  // frequency, as in the pauses' residual.
  Pauses series{static_cast<int64_t>(wiggle.size()), 1, pauses.sample_rate, wiggle};
  SampledResidual sampled{1, series.length, wiggle};
  const int64_t half = series.length / 2;
  auto projection = [&](int64_t a, int64_t b, double hz) { return Projection(series, sampled, 0, a, b, hz); };
  // Projection counts time from the first pause's start, which is a pause length in: the
  // same offset for both halves, so the phase between them is unchanged.
  const Complex first = projection(0, half, mains_hz), second = projection(half, 2 * half, mains_hz);
  double variance = 0;
  for (double value : wiggle) variance += value * value;
  variance /= static_cast<double>(wiggle.size());
  const double energy = 2 * (std::norm(first) + std::norm(second)) / static_cast<double>(half);
  if (!(energy > Detection * 2 * variance * 2)) return found;
  double hz = mains_hz + std::arg(second * std::conj(first)) / (TwoPi * static_cast<double>(half) / pauses.sample_rate);
  const int harmonics = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (harmonics < 1) return found;
  // The fundamental and harmonics fitted to the wiggle, once with the slopes that
  // correct hz, on the pause's own clock.
  const Pauses one_pause{length, 1, pauses.sample_rate, decay};
  hz +=
      FrequencyCorrection(FitShapes(HumShapes(one_pause, hz, harmonics, true), wiggle, static_cast<size_t>(from)), 0.2);
  const std::vector<std::vector<double>> sinusoids = HumShapes(one_pause, hz, harmonics, false);
  std::vector<double> coefficients = FitShapes(sinusoids, wiggle, static_cast<size_t>(from));
  const size_t n = sinusoids.size();
  for (int h = 1; h <= harmonics; ++h) {
    // The average over `cycle` samples passes sin(π f c / rate) / (c sin(π f / rate)) of a sinusoid at f.
    const double x = std::numbers::pi * h * hz / pauses.sample_rate;
    const double kept = 1 - std::sin(x * static_cast<double>(cycle)) / (static_cast<double>(cycle) * std::sin(x));
    coefficients[static_cast<size_t>(2 * h - 2)] /= kept;
    coefficients[static_cast<size_t>(2 * h - 1)] /= kept;
  }
  found.hz = hz;
  found.amplitude = std::hypot(coefficients[0], coefficients[1]);
  found.shape.assign(static_cast<size_t>(length), 0.0);
  for (size_t m = 0; m < n; ++m)
    for (int64_t j = 0; j < length; ++j) found.shape[static_cast<size_t>(j)] += coefficients[m] * sinusoids[m][j];
  return found;
}

// The least-squares fit of the hum jointly with the common decay: the shapes are fitted
// the way the residual is made, each pause freed of its offset and slope so that drift
// does not leak into the hum. With the decay D = mean(sign x (data - hum)), the normal
// equations G c = Σ fitted·(data - sign·D) are linear in c: (G - Q) c = A - s below.
std::vector<double> FitHum(const Pauses& pauses, const std::vector<std::vector<double>>& shapes) {
  std::vector<std::vector<double>> fitted = shapes;
  for (std::vector<double>& shape : fitted)
    for (int64_t p = 0; p < pauses.count; ++p)
      Detrend(std::span(shape).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length)));
  const size_t n = shapes.size(), length = static_cast<size_t>(pauses.length);
  const std::vector<double> decay = SignedMeanDecay(pauses);
  std::vector<std::vector<double>> shape_decays;  // each shape's own common decay
  std::vector<std::vector<double>> signed_sums;   // Σ_p sign_p fitted(p, j)
  for (size_t m = 0; m < n; ++m) {
    Pauses shape{pauses.length, pauses.count, pauses.sample_rate, shapes[m]};
    shape_decays.push_back(SignedMeanDecay(shape));
    std::vector<double> sum(length, 0.0);
    for (int64_t p = 0; p < pauses.count; ++p)
      for (size_t j = 0; j < length; ++j) sum[j] += pauses.Sign(p) * fitted[m][static_cast<size_t>(p) * length + j];
    signed_sums.push_back(std::move(sum));
  }
  std::vector<std::vector<double>> system(n, std::vector<double>(n, 0.0));
  std::vector<double> right(n, 0.0);
  for (size_t a = 0; a < n; ++a) {
    right[a] = Dot(fitted[a], pauses.values) - Dot(signed_sums[a], decay);
    for (size_t b = a; b < n; ++b) {
      const double gram = Dot(fitted[a], fitted[b]);
      system[a][b] += gram;
      if (b != a) system[b][a] += gram;
    }
    for (size_t b = 0; b < n; ++b) system[a][b] -= Dot(signed_sums[a], shape_decays[b]);
  }
  return Solve(system, right);
}

}  // namespace

HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz) {
  HumRemoval result;
  std::vector<double> searched;
  for (double hz : mains_hz)
    if (hz > 0 && static_cast<double>(pauses.length) / pauses.sample_rate >= 2 / hz) searched.push_back(hz);
  if (pauses.count < 2 || pauses.length < 2 || searched.empty()) return result;
  // One sampled residual serves every frequency searched: sampled for the highest.
  const SampledResidual residual =
      SampledResidualOf(pauses, Decimation(pauses.sample_rate, *std::max_element(searched.begin(), searched.end())));
  double hz = std::numeric_limits<double>::quiet_NaN();
  for (size_t i = 0; i < searched.size() && !std::isfinite(hz); ++i) hz = HumFrequency(pauses, residual, searched[i]);
  if (!std::isfinite(hz)) {
    const std::vector<double> decay = SignedMeanDecay(pauses);
    for (double mains : searched) {
      const DecayHum in_decay = HumInTheDecay(pauses, decay, mains);
      if (!std::isfinite(in_decay.hz)) continue;
      for (int64_t p = 0; p < pauses.count; ++p) {
        std::span<double> pause = pauses.Pause(p);
        for (size_t j = 0; j < pause.size(); ++j) pause[j] -= pauses.Sign(p) * in_decay.shape[j];
      }
      return {in_decay.hz, in_decay.amplitude};
    }
    return result;
  }
  const int harmonics = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (harmonics < 1) return result;

  // A fit with the fundamental's slopes in frequency, t cos and t sin, tells how far the
  // frequency is off: their coefficients are δω times (b, -a). The hum is then fitted at
  // the corrected frequency and subtracted.
  const double corrected = hz + FrequencyCorrection(FitHum(pauses, HumShapes(pauses, hz, harmonics, true)), 0.05);
  const std::vector<std::vector<double>> shapes = HumShapes(pauses, corrected, harmonics, false);
  const std::vector<double> coefficients = FitHum(pauses, shapes);
  for (size_t m = 0; m < shapes.size(); ++m)
    for (size_t i = 0; i < pauses.values.size(); ++i) pauses.values[i] -= coefficients[m] * shapes[m][i];
  result.frequency_hz = corrected;
  result.amplitude_mv = std::hypot(coefficients[0], coefficients[1]);
  return result;
}
