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

std::vector<double> DetrendedResidual(const Pauses& pauses) {
  std::vector<double> residual = DecayResidual(pauses);
  for (int64_t p = 0; p < pauses.count; ++p)
    Detrend(std::span(residual).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length)));
  return residual;
}

// Σ x e^{-iωt} over samples [from, to) of pause p, every step-th, on the curve's own clock.
Complex Projection(const Pauses& pauses, const std::vector<double>& x, int64_t p, int64_t from, int64_t to,
                   double hz, int64_t step) {
  Complex phasor = std::polar(1.0, -TwoPi * hz * pauses.Time(p, from));
  const Complex turn = std::polar(1.0, -TwoPi * hz * static_cast<double>(step) / pauses.sample_rate);
  Complex sum = 0;
  for (int64_t j = from; j < to; j += step) {
    sum += x[static_cast<size_t>(p * pauses.length + j)] * phasor;
    phasor *= turn;
  }
  return sum;
}

// The frequency of the hum in the residual, or NaN when none stands out of the noise.
double HumFrequency(const Pauses& pauses, const std::vector<double>& residual, double mains_hz) {
  const int64_t step = Decimation(pauses.sample_rate, mains_hz), half = pauses.length / 2;
  const double taken = static_cast<double>((half + step - 1) / step);
  double variance = 0;
  for (size_t i = 0; i < residual.size(); i += static_cast<size_t>(step)) variance += residual[i] * residual[i];
  variance /= std::ceil(static_cast<double>(residual.size()) / static_cast<double>(step));

  // The phase gained from the first half of each pause to its second gives the offset
  // from mains_hz within ±1 Hz.
  Complex halves = 0;
  double energy = 0;
  for (int64_t p = 0; p < pauses.count; ++p) {
    const Complex first = Projection(pauses, residual, p, 0, half, mains_hz, step);
    const Complex second = Projection(pauses, residual, p, half, 2 * half, mains_hz, step);
    halves += second * std::conj(first);
    energy += 2 * (std::norm(first) + std::norm(second)) / taken;
  }
  if (!(energy > Detection * 2 * variance * 2 * static_cast<double>(pauses.count))) return std::numeric_limits<double>::quiet_NaN();
  double hz = mains_hz + std::arg(halves) / (TwoPi * static_cast<double>(half) / pauses.sample_rate);

  // The phase gained from pause to pause, a whole period of the current apart, refines it.
  const double spacing = 2.0 * static_cast<double>(pauses.length) / pauses.sample_rate;
  for (int round = 0; round < 2; ++round) {
    Complex steps = 0, previous = 0;
    for (int64_t p = 0; p < pauses.count; ++p) {
      const Complex whole = Projection(pauses, residual, p, 0, pauses.length, hz, step);
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
  const double hz = HumFrequency(pauses, DetrendedResidual(pauses), mains_hz);
  if (!std::isfinite(hz)) return result;
  const int harmonics = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (harmonics < 1) return result;

  // The shapes are fitted the way the residual was made: each pause freed of its offset
  // and slope, so that drift does not leak into the hum.
  const std::vector<std::vector<double>> shapes = HumShapes(pauses, hz, harmonics);
  std::vector<std::vector<double>> fitted = shapes;
  for (std::vector<double>& shape : fitted)
    for (int64_t p = 0; p < pauses.count; ++p)
      Detrend(std::span(shape).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length)));
  const size_t n = shapes.size();
  std::vector<std::vector<double>> gram(n, std::vector<double>(n, 0.0));
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a; b < n; ++b) {
      double sum = 0;
      for (size_t i = 0; i < fitted[a].size(); ++i) sum += fitted[a][i] * fitted[b][i];
      gram[a][b] = gram[b][a] = sum;
    }

  // The common decay also took up a little of the hum; fitting again to what the decay
  // of the cleaned pauses leaves of the original ones converges to the joint fit.
  const std::vector<double> original = pauses.values;
  std::vector<double> coefficients(n, 0.0);
  for (int round = 0; round < 3; ++round) {
    pauses.values = original;
    for (size_t m = 0; m < n; ++m)
      for (size_t i = 0; i < original.size(); ++i) pauses.values[i] -= coefficients[m] * shapes[m][i];
    const std::vector<double> decay = SignedMeanDecay(pauses);
    std::vector<double> residual(original.size());
    for (int64_t p = 0; p < pauses.count; ++p)
      for (int64_t j = 0; j < pauses.length; ++j) {
        const size_t i = static_cast<size_t>(p * pauses.length + j);
        residual[i] = original[i] - pauses.Sign(p) * decay[static_cast<size_t>(j)];
      }
    for (int64_t p = 0; p < pauses.count; ++p)
      Detrend(std::span(residual).subspan(static_cast<size_t>(p * pauses.length), static_cast<size_t>(pauses.length)));
    std::vector<double> projections(n, 0.0);
    for (size_t m = 0; m < n; ++m)
      for (size_t i = 0; i < residual.size(); ++i) projections[m] += fitted[m][i] * residual[i];
    coefficients = Solve(gram, projections);
  }
  pauses.values = original;
  for (size_t m = 0; m < n; ++m)
    for (size_t i = 0; i < original.size(); ++i) pauses.values[i] -= coefficients[m] * shapes[m][i];
  result.frequency_hz = hz;
  result.amplitude_mv = std::hypot(coefficients[0], coefficients[1]);
  return result;
}
