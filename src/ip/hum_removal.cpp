#include "ip/hum_removal.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace {

using Complex = std::complex<double>;
constexpr double TwoPi = 2 * std::numbers::pi;
constexpr int MaxHarmonics = 3;
// Hum counts as found when the energy at its frequency exceeds ten times what noise of
// the same variance would put there.
constexpr double Detection = 10;
// The search above uses every Decimation-th sample: enough to see 50-60 Hz at any
// usual rate, and it is all most records without hum ever cost.
int64_t Decimation(double sample_rate, double mains_hz) {
  return std::max<int64_t>(1, static_cast<int64_t>(sample_rate / (3 * (mains_hz + 1))));
}

// Σ a_i b_i with four partial sums, which lets the processor overlap the additions.
double Dot(const std::vector<double>& a, const std::vector<double>& b) {
  const size_t n = std::min(a.size(), b.size());
  double sums[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (size_t k = 0; k < 4; ++k) sums[k] += a[i + k] * b[i + k];
  for (; i < n; ++i) sums[0] += a[i] * b[i];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// Removes the least-squares line from x (in place).
void Detrend(std::span<double> x) {
  const size_t n = x.size();
  if (n < 2) {
    for (double& value : x) value = 0;
    return;
  }
  const double middle = (static_cast<double>(n) - 1) / 2;
  double mean = 0, moment = 0, spread = 0;
  for (size_t j = 0; j < n; ++j) mean += x[j];
  mean /= static_cast<double>(n);
  for (size_t j = 0; j < n; ++j) {
    const double u = static_cast<double>(j) - middle;
    moment += u * (x[j] - mean);
    spread += u * u;
  }
  const double slope = moment / spread;
  for (size_t j = 0; j < n; ++j) x[j] -= mean + slope * (static_cast<double>(j) - middle);
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
double HumFrequency(const Pauses& pauses, double mains_hz) {
  const SampledResidual residual = SampledResidualOf(pauses, Decimation(pauses.sample_rate, mains_hz));
  const int64_t half = residual.per_pause / 2;
  if (half < 2) return std::numeric_limits<double>::quiet_NaN();
  double variance = 0;
  for (double value : residual.values) variance += value * value;
  variance /= static_cast<double>(residual.values.size());

  // The phase gained from the first half of each pause to its second gives the offset
  // from mains_hz within ±1 Hz.
  Complex halves = 0;
  double energy = 0;
  for (int64_t p = 0; p < pauses.count; ++p) {
    const Complex first = Projection(pauses, residual, p, 0, half, mains_hz);
    const Complex second = Projection(pauses, residual, p, half, 2 * half, mains_hz);
    halves += second * std::conj(first);
    energy += 2 * (std::norm(first) + std::norm(second)) / static_cast<double>(half);
  }
  if (!(energy > Detection * 2 * variance * 2 * static_cast<double>(pauses.count)))
    return std::numeric_limits<double>::quiet_NaN();
  const double half_seconds = static_cast<double>(half * residual.step) / pauses.sample_rate;
  double hz = mains_hz + std::arg(halves) / (TwoPi * half_seconds);

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
std::vector<std::vector<double>> HumShapes(const Pauses& pauses, double hz, int harmonics) {
  std::vector<std::vector<double>> shapes(static_cast<size_t>(2 * harmonics), std::vector<double>(pauses.values.size()));
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
  return shapes;
}

// Solves the small symmetric system a x = b by Gaussian elimination with pivoting.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b) {
  const size_t n = b.size();
  for (size_t column = 0; column < n; ++column) {
    size_t pivot = column;
    for (size_t row = column + 1; row < n; ++row)
      if (std::abs(a[row][column]) > std::abs(a[pivot][column])) pivot = row;
    std::swap(a[column], a[pivot]);
    std::swap(b[column], b[pivot]);
    if (a[column][column] == 0) return std::vector<double>(n, 0.0);
    for (size_t row = column + 1; row < n; ++row) {
      const double factor = a[row][column] / a[column][column];
      for (size_t k = column; k < n; ++k) a[row][k] -= factor * a[column][k];
      b[row] -= factor * b[column];
    }
  }
  std::vector<double> x(n);
  for (size_t row = n; row-- > 0;) {
    double sum = b[row];
    for (size_t k = row + 1; k < n; ++k) sum -= a[row][k] * x[k];
    x[row] = sum / a[row][row];
  }
  return x;
}

}  // namespace

HumRemoval RemoveHum(Pauses& pauses, double mains_hz) {
  HumRemoval result;
  if (pauses.count < 2 || !(mains_hz > 0) || pauses.length < 2 ||
      static_cast<double>(pauses.length) / pauses.sample_rate < 2 / mains_hz)
    return result;
  const double hz = HumFrequency(pauses, mains_hz);
  if (!std::isfinite(hz)) return result;
  const int harmonics = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (harmonics < 1) return result;

  // The least-squares fit of the hum jointly with the common decay: the shapes are fitted
  // the way the residual is made, each pause freed of its offset and slope so that drift
  // does not leak into the hum. With the decay D = mean(sign x (data - hum)), the normal
  // equations G c = Σ fitted·(data - sign·D) are linear in c: (G - Q) c = A - s below.
  const std::vector<std::vector<double>> shapes = HumShapes(pauses, hz, harmonics);
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
  const std::vector<double> coefficients = Solve(system, right);
  for (size_t m = 0; m < n; ++m)
    for (size_t i = 0; i < pauses.values.size(); ++i) pauses.values[i] -= coefficients[m] * shapes[m][i];
  result.frequency_hz = hz;
  result.amplitude_mv = std::hypot(coefficients[0], coefficients[1]);
  return result;
}
