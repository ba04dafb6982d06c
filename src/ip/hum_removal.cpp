#include "ip/hum_removal.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "ip/least_squares.h"

namespace {

using Complex = std::complex<double>;
constexpr double TwoPi = 2 * std::numbers::pi;
constexpr int MaxHarmonics = 7;
// Hum counts as found when the energy at its frequency exceeds ten times what the rest
// of the series, taken as noise, would put there.
constexpr double Detection = 10;

// Whether `energy`, the squares that `fits` sinusoids (two values each) explain in a
// series of `samples` whose squares sum to `squares`, stands out of what is left.
bool StandsOut(double energy, double squares, double samples, double fits) {
  const double noise = std::max(squares - energy, 0.0) / std::max(samples - 2 * fits, 1.0);
  return energy > Detection * 2 * fits * noise;
}

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
  const double squares = Dot(residual.values, residual.values);
  const int64_t quarter = std::max<int64_t>(
      2, std::min(half, static_cast<int64_t>(0.25 * pauses.sample_rate / static_cast<double>(residual.step))));

  // The energy near mains_hz over stretches of at most a quarter of a second: over longer
  // ones hum 1 Hz off would turn against itself.
  const int64_t stretches = residual.per_pause / quarter;
  double energy = 0;
  for (int64_t p = 0; p < pauses.count; ++p)
    for (int64_t k = 0; k < stretches; ++k)
      energy += 2 * std::norm(Projection(pauses, residual, p, k * quarter, (k + 1) * quarter, mains_hz)) /
                static_cast<double>(quarter);
  if (!StandsOut(energy, squares, static_cast<double>(residual.values.size()),
                 static_cast<double>(pauses.count * stretches)))
    return std::numeric_limits<double>::quiet_NaN();

  // The phase gained from one stretch of a pause to the next gives the offset from
  // mains_hz: first over stretches of at most a quarter of a second (unambiguous within
  // ±2 Hz), then over the pause's halves.
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

// The sinusoids of the given harmonics at every pause sample, one after the other:
// cos and sin of each. With slopes, two more: the fundamental's cos and sin times the
// time from the start of the middle pause.
std::vector<std::vector<double>> HumShapes(const Pauses& pauses, double hz, const std::vector<int>& harmonics,
                                           bool slopes) {
  std::vector<std::vector<double>> shapes(2 * harmonics.size() + (slopes ? 2 : 0),
                                          std::vector<double>(pauses.values.size()));
  for (size_t m = 0; m < harmonics.size(); ++m)
    for (int64_t p = 0; p < pauses.count; ++p) {
      const int h = harmonics[m];
      Complex phasor = std::polar(1.0, TwoPi * h * hz * pauses.Time(p, 0));
      const Complex turn = std::polar(1.0, TwoPi * h * hz / pauses.sample_rate);
      double* c = shapes[2 * m].data() + p * pauses.length;
      double* s = shapes[2 * m + 1].data() + p * pauses.length;
      for (int64_t j = 0; j < pauses.length; ++j) {
        c[j] = phasor.real();
        s[j] = phasor.imag();
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

// What the decay and the pauses' offsets and slopes leave of x: the pauses less their
// common signed decay, each then freed of its straight line. The decay and the lines
// with alternating signs are the same directions, and the rest of the lines is
// orthogonal to the decay, so this is the orthogonal projection on what neither explains.
void Project(std::vector<double>& x, int64_t count, int64_t length) {
  Pauses series{length, count, 1, std::move(x)};
  const std::vector<double> decay = SignedMeanDecay(series);
  for (int64_t p = 0; p < count; ++p) {
    std::span<double> pause = series.Pause(p);
    const double sign = series.Sign(p);
    for (int64_t j = 0; j < length; ++j) pause[j] -= sign * decay[j];
    Detrend(pause);
  }
  x = std::move(series.values);
}

// The inverse of a small symmetric matrix, column by column; all zeros when singular.
std::vector<std::vector<double>> Inverse(const std::vector<std::vector<double>>& a) {
  const size_t n = a.size();
  std::vector<std::vector<double>> inverse(n, std::vector<double>(n));
  for (size_t column = 0; column < n; ++column) {
    std::vector<double> unit(n, 0.0);
    unit[column] = 1;
    const std::vector<double> x = Solve(a, unit);
    for (size_t row = 0; row < n; ++row) inverse[row][column] = x[row];
  }
  return inverse;
}

// The least-squares fit of shapes to data: coefficients and their covariance.
struct Fit {
  std::vector<double> coefficients;
  std::vector<std::vector<double>> covariance;
};

// The least-squares solution of the normal equations gram c = right, with the covariance
// of c from the residual left (Σ data² less c · right) over the degrees of freedom.
Fit FitGram(const std::vector<std::vector<double>>& gram, const std::vector<double>& right, double data_squares,
            double freedom) {
  const size_t n = right.size();
  Fit fit{Solve(gram, right), Inverse(gram)};
  double left = data_squares;
  for (size_t a = 0; a < n; ++a) left -= fit.coefficients[a] * right[a];
  const double variance = std::max(left, 0.0) / std::max(freedom - static_cast<double>(n), 1.0);
  for (std::vector<double>& row : fit.covariance)
    for (double& value : row) value *= variance;
  return fit;
}

// The least-squares fit of the given series to data.
Fit FitSeries(const std::vector<std::vector<double>>& series, const std::vector<double>& data, double freedom) {
  const size_t n = series.size();
  std::vector<std::vector<double>> gram(n, std::vector<double>(n, 0.0));
  std::vector<double> right(n, 0.0);
  for (size_t a = 0; a < n; ++a) {
    right[a] = Dot(series[a], data);
    for (size_t b = a; b < n; ++b) gram[a][b] = gram[b][a] = Dot(series[a], series[b]);
  }
  return FitGram(gram, right, Dot(data, data), freedom);
}

// How far the frequency of a fit with slopes (HumShapes) is off: the slopes' coefficients
// are δω times (b, -a) for the fundamental's (a, b). Beyond `limit` Hz the linear picture
// fails, and no correction is made.
double FrequencyCorrection(const std::vector<double>& sloped, double limit) {
  const double a = sloped[0], b = sloped[1], c = sloped[sloped.size() - 2], d = sloped[sloped.size() - 1];
  const double correction = (a * a + b * b) > 0 ? (c * b - d * a) / (a * a + b * b) / TwoPi : 0;
  return std::abs(correction) < limit ? correction : 0;
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

// The frequency of hum borne by the common decay, when its phase turns by half a cycle
// from one pause to the next (f x 2 x pause = k + 1/2): then it has the pauses' own
// signs, the residual holds none of it, and only its oscillation tells it from a decay.
// The decay less its average over one mains cycle keeps the hum and loses the smooth
// decay; the samples of the first cycles, where the decay bends fastest, are left out.
double HumFrequencyInTheDecay(const Pauses& pauses, const std::vector<double>& decay, double mains_hz) {
  constexpr double None = std::numeric_limits<double>::quiet_NaN();
  const int64_t cycle = std::llround(pauses.sample_rate / mains_hz), length = pauses.length;
  const int64_t from = 2 * cycle, to = length - cycle;
  if (cycle < 3 || to - from < 4 * cycle) return None;
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
  const double squares = Dot(wiggle, wiggle);
  const double energy = 2 * (std::norm(first) + std::norm(second)) / static_cast<double>(half);
  if (!StandsOut(energy, squares, static_cast<double>(wiggle.size()), 2)) return None;
  const double hz =
      mains_hz + std::arg(second * std::conj(first)) / (TwoPi * static_cast<double>(half) / pauses.sample_rate);
  // The fundamental with its slopes, fitted to the wiggle on the pause's own clock,
  // corrects it.
  const Pauses one_pause{length, 1, pauses.sample_rate, decay};
  return hz +
         FrequencyCorrection(FitShapes(HumShapes(one_pause, hz, {1}, true), wiggle, static_cast<size_t>(from)), 0.2);
}

// A harmonic is fitted among the pauses when its projection keeps at least this share of
// its energy; below it, it turns by nearly half a cycle from pause to pause and is
// fitted in the common decay instead, where the projection would leave nothing to fit.
constexpr double Identifiable = 0.3;

// Within a pause every hum shape is a sum of a few functions of the sample j: cos and sin
// of each harmonic, j/rate times the fundamental's (the slopes in frequency), 1 and j
// (the pause's line). The fits work on each shape's coefficients of these in every
// pause and on the functions' products, never on the shapes sample by sample.
struct PauseBasis {
  size_t size = 0;
  int64_t length = 0;
  size_t one = 0, line = 0;   // the indices of 1 and j
  std::vector<double> table;  // function b at sample j: [b * length + j]
  std::vector<std::vector<double>> gram;

  std::span<const double> Function(size_t b) const {
    return std::span(table).subspan(b * static_cast<size_t>(length), static_cast<size_t>(length));
  }
};

PauseBasis BasisOf(const Pauses& pauses, double hz, const std::vector<int>& harmonics, bool slopes) {
  PauseBasis basis;
  basis.size = 2 * harmonics.size() + (slopes ? 2 : 0) + 2;
  basis.length = pauses.length;
  basis.one = basis.size - 2;
  basis.line = basis.size - 1;
  const size_t length = static_cast<size_t>(pauses.length);
  basis.table.resize(basis.size * length);
  for (size_t m = 0; m < harmonics.size(); ++m) {
    Complex phasor = 1;
    const Complex turn = std::polar(1.0, TwoPi * harmonics[m] * hz / pauses.sample_rate);
    for (size_t j = 0; j < length; ++j, phasor *= turn) {
      basis.table[2 * m * length + j] = phasor.real();
      basis.table[(2 * m + 1) * length + j] = phasor.imag();
    }
  }
  for (size_t j = 0; j < length; ++j) {
    if (slopes) {
      const double t = static_cast<double>(j) / pauses.sample_rate;
      basis.table[(basis.one - 2) * length + j] = t * basis.table[j];
      basis.table[(basis.one - 1) * length + j] = t * basis.table[length + j];
    }
    basis.table[basis.one * length + j] = 1;
    basis.table[basis.line * length + j] = static_cast<double>(j);
  }
  basis.gram.assign(basis.size, std::vector<double>(basis.size));
  for (size_t a = 0; a < basis.size; ++a)
    for (size_t b = a; b < basis.size; ++b)
      basis.gram[a][b] = basis.gram[b][a] = Dot(basis.Function(a), basis.Function(b));
  return basis;
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

// The coefficients' signed mean over the pauses: the shape's common decay.
std::vector<double> SignedMean(const Coefficients& w, int64_t count, size_t n) {
  std::vector<double> mean(n, 0.0);
  for (int64_t p = 0; p < count; ++p)
    for (size_t b = 0; b < n; ++b) mean[b] += (p % 2 == 0 ? 1 : -1) * w[static_cast<size_t>(p) * n + b];
  for (double& value : mean) value /= static_cast<double>(count);
  return mean;
}

// Project (above) done on coefficients: the common signed decay taken out, then each
// pause's line.
Coefficients ProjectCoefficients(Coefficients w, int64_t count, const PauseBasis& basis) {
  const size_t n = basis.size;
  const std::vector<double> decay = SignedMean(w, count, n);
  const auto& g = basis.gram;
  const double determinant =
      g[basis.one][basis.one] * g[basis.line][basis.line] - g[basis.one][basis.line] * g[basis.one][basis.line];
  for (int64_t p = 0; p < count; ++p) {
    double* c = w.data() + static_cast<size_t>(p) * n;
    for (size_t b = 0; b < n; ++b) c[b] -= (p % 2 == 0 ? 1 : -1) * decay[b];
    double with_one = 0, with_line = 0;
    for (size_t b = 0; b < n; ++b) with_one += c[b] * g[basis.one][b], with_line += c[b] * g[basis.line][b];
    c[basis.one] -= (g[basis.line][basis.line] * with_one - g[basis.one][basis.line] * with_line) / determinant;
    c[basis.line] -= (g[basis.one][basis.one] * with_line - g[basis.one][basis.line] * with_one) / determinant;
  }
  return w;
}

// Σ over the pauses and samples of the product of two shapes.
double Product(const Coefficients& u, const Coefficients& v, int64_t count, const PauseBasis& basis) {
  const size_t n = basis.size;
  double sum = 0;
  for (int64_t p = 0; p < count; ++p) {
    const double* a = u.data() + static_cast<size_t>(p) * n;
    const double* b = v.data() + static_cast<size_t>(p) * n;
    for (size_t i = 0; i < n; ++i)
      if (a[i] != 0)
        for (size_t k = 0; k < n; ++k) sum += a[i] * basis.gram[i][k] * b[k];
  }
  return sum;
}

// Each basis function's product with each pause of the data: [p * size + b].
std::vector<double> DataProducts(const Pauses& pauses, const PauseBasis& basis) {
  std::vector<double> products(static_cast<size_t>(pauses.count) * basis.size);
  for (int64_t p = 0; p < pauses.count; ++p)
    for (size_t b = 0; b < basis.size; ++b)
      products[static_cast<size_t>(p) * basis.size + b] = Dot(basis.Function(b), pauses.Pause(p));
  return products;
}

// Adds factor times the shape with these coefficients in one pause to out.
void AddShape(std::span<double> out, const double* coefficients, const PauseBasis& basis, double factor) {
  for (size_t b = 0; b < basis.size; ++b) {
    const double c = factor * coefficients[b];
    if (c == 0) continue;
    std::span<const double> f = basis.Function(b);
    for (size_t j = 0; j < out.size(); ++j) out[j] += c * f[j];
  }
}

// The hum shapes fitted jointly with the decay and the pauses' lines: the least squares
// of the projected shapes against the data, whose own projection is `residual`.
Fit FitAmongPauses(const std::vector<Coefficients>& projected, const std::vector<double>& products,
                   double residual_squares, int64_t count, const PauseBasis& basis, double freedom) {
  const size_t n = projected.size();
  std::vector<std::vector<double>> gram(n, std::vector<double>(n));
  std::vector<double> right(n);
  for (size_t a = 0; a < n; ++a) {
    right[a] = Dot(projected[a], products);
    for (size_t b = a; b < n; ++b) gram[a][b] = gram[b][a] = Product(projected[a], projected[b], count, basis);
  }
  return FitGram(gram, right, residual_squares, freedom);
}

// Subtracts the fitted shapes from the pauses and keeps what their fit leaves uncertain.
void Subtract(Pauses& pauses, const std::vector<Coefficients>& shapes, const Fit& fit, const PauseBasis& basis,
              HumRemoval& result) {
  const size_t n = basis.size;
  Coefficients sum(static_cast<size_t>(pauses.count) * n, 0.0);
  HumUncertainty uncertainty{{}, fit.covariance};
  for (size_t m = 0; m < shapes.size(); ++m) {
    for (size_t i = 0; i < sum.size(); ++i) sum[i] += fit.coefficients[m] * shapes[m][i];
    // The shape's mean three-pause stack, what it adds to the stacked decay.
    std::vector<double> stack(n, 0.0), values(static_cast<size_t>(pauses.length), 0.0);
    const int64_t stacks = pauses.count - 2;
    for (int64_t s = 0; s < stacks; ++s)
      for (size_t b = 0; b < n; ++b) {
        const double* w = shapes[m].data() + static_cast<size_t>(s) * n + b;
        stack[b] += pauses.Sign(s) * (w[0] - 2 * w[n] + w[2 * n]) / 4 / static_cast<double>(stacks);
      }
    if (stacks > 0) AddShape(values, stack.data(), basis, 1);
    uncertainty.stacked_shapes.push_back(std::move(values));
  }
  for (int64_t p = 0; p < pauses.count; ++p)
    AddShape(pauses.Pause(p), sum.data() + static_cast<size_t>(p) * n, basis, -1);
  result.uncertainties.push_back(std::move(uncertainty));
}

// The harmonics the pauses cannot tell from the decay, fitted to the common decay with
// the decay described as a smooth curve in log time (a polynomial of log t and a line in
// t for the offsets' alternating part), from the second mains cycle on. No coefficients
// when the pause is too short for it.
Fit FitInTheDecay(const Pauses& pauses, const std::vector<Coefficients>& shapes, const PauseBasis& basis, double hz) {
  constexpr size_t Smooth = 7, Line = 1;
  const int64_t from = std::llround(2 * pauses.sample_rate / hz), length = pauses.length;
  const size_t n = Smooth + Line + shapes.size();
  if (length - from < static_cast<int64_t>(3 * n)) return {};
  const double u0 = std::log(static_cast<double>(from) + 0.5), u1 = std::log(static_cast<double>(length) - 0.5);
  std::vector<std::vector<double>> series(n, std::vector<double>(static_cast<size_t>(length - from)));
  for (int64_t j = from; j < length; ++j) {
    const size_t i = static_cast<size_t>(j - from);
    const double u = 2 * (std::log(static_cast<double>(j) + 0.5) - u0) / (u1 - u0) - 1;
    double power = 1;
    for (size_t k = 0; k < Smooth; ++k, power *= u) series[k][i] = power;
    series[Smooth][i] = static_cast<double>(j) / static_cast<double>(length);
  }
  for (size_t m = 0; m < shapes.size(); ++m) {
    std::vector<double> borne(static_cast<size_t>(length), 0.0);
    AddShape(borne, SignedMean(shapes[m], pauses.count, basis.size).data(), basis, 1);
    std::copy(borne.begin() + from, borne.end(), series[Smooth + Line + m].begin());
  }
  const std::vector<double> decay = SignedMeanDecay(pauses);
  // The decay's noise is the pauses' divided among them: the fit's own residual says how large.
  const Fit fit =
      FitSeries(series, std::vector<double>(decay.begin() + from, decay.end()), static_cast<double>(length - from));
  Fit hum{std::vector<double>(fit.coefficients.begin() + Smooth + Line, fit.coefficients.end()), {}};
  for (size_t a = Smooth + Line; a < n; ++a)
    hum.covariance.emplace_back(fit.covariance[a].begin() + Smooth + Line, fit.covariance[a].end());
  return hum;
}

// The fundamental's slopes in frequency, t cos and t sin, tell how far the frequency is
// off: their coefficients are δω times (b, -a) for its own (a, b). A fundamental that
// passes as decay has its (a, b) from the decay, but its slopes still differ from pause
// to pause and are fitted among them, to what (a, b) leave there.
double CorrectedFrequency(const Pauses& pauses, const std::vector<double>& residual, double hz, double freedom) {
  const double residual_squares = Dot(residual, residual);
  for (int round = 0; round < 2; ++round) {
    const PauseBasis basis = BasisOf(pauses, hz, {1}, true);
    const std::vector<Coefficients> shapes = ShapesOf(pauses, basis, hz, {1}, true);
    std::vector<Coefficients> projected;
    for (const Coefficients& shape : shapes) projected.push_back(ProjectCoefficients(shape, pauses.count, basis));
    const std::vector<double> products = DataProducts(pauses, basis);
    const double kept =
        (Product(projected[0], projected[0], pauses.count, basis) +
         Product(projected[1], projected[1], pauses.count, basis)) /
        (Product(shapes[0], shapes[0], pauses.count, basis) + Product(shapes[1], shapes[1], pauses.count, basis));
    std::vector<double> coefficients;
    if (kept >= Identifiable) {
      coefficients = FitAmongPauses(projected, products, residual_squares, pauses.count, basis, freedom).coefficients;
    } else {
      coefficients = FitInTheDecay(pauses, {shapes[0], shapes[1]}, basis, hz).coefficients;
      if (coefficients.empty()) break;
      std::vector<double> slope_products(2);
      std::vector<std::vector<double>> gram(2, std::vector<double>(2));
      for (size_t a = 0; a < 2; ++a) {
        slope_products[a] = Dot(projected[2 + a], products);
        for (size_t k = 0; k < 2; ++k) {
          slope_products[a] -= coefficients[k] * Product(projected[2 + a], projected[k], pauses.count, basis);
          gram[a][k] = Product(projected[2 + a], projected[2 + k], pauses.count, basis);
        }
      }
      for (double value : Solve(gram, slope_products)) coefficients.push_back(value);
    }
    const double correction = FrequencyCorrection(coefficients, 0.05);
    hz += correction;
    if (std::abs(correction) < 1e-6) break;
  }
  return hz;
}

// The hum at hz and its harmonics below the Nyquist frequency, fitted and subtracted.
void RemoveHumAt(Pauses& pauses, double hz, HumRemoval& result) {
  const int highest = std::min(MaxHarmonics, static_cast<int>(0.5 * pauses.sample_rate / hz - 1e-9));
  if (highest < 1) return;
  const double freedom = static_cast<double>(pauses.values.size() - static_cast<size_t>(pauses.length) -
                                             static_cast<size_t>(2 * pauses.count - 2));
  std::vector<double> residual = pauses.values;
  Project(residual, pauses.count, pauses.length);
  hz = CorrectedFrequency(pauses, residual, hz, freedom);
  result.frequency_hz = hz;

  std::vector<int> all;
  for (int h = 1; h <= highest; ++h) all.push_back(h);
  const PauseBasis basis = BasisOf(pauses, hz, all, false);
  const std::vector<Coefficients> shapes = ShapesOf(pauses, basis, hz, all, false);
  // Which harmonics the pauses tell from the decay: the share of their energy that their
  // projection keeps.
  std::vector<Coefficients> fitted, fitted_projected, borne;
  bool fundamental_fitted = false;
  for (size_t m = 0; m < all.size(); ++m) {
    Coefficients c = ProjectCoefficients(shapes[2 * m], pauses.count, basis);
    Coefficients s = ProjectCoefficients(shapes[2 * m + 1], pauses.count, basis);
    const double kept = (Product(c, c, pauses.count, basis) + Product(s, s, pauses.count, basis)) /
                        (Product(shapes[2 * m], shapes[2 * m], pauses.count, basis) +
                         Product(shapes[2 * m + 1], shapes[2 * m + 1], pauses.count, basis));
    if (kept >= Identifiable) {
      fundamental_fitted = fundamental_fitted || m == 0;
      fitted.insert(fitted.end(), {shapes[2 * m], shapes[2 * m + 1]});
      fitted_projected.insert(fitted_projected.end(), {std::move(c), std::move(s)});
    } else {
      borne.insert(borne.end(), {shapes[2 * m], shapes[2 * m + 1]});
    }
  }
  if (!fitted.empty()) {
    const Fit fit = FitAmongPauses(fitted_projected, DataProducts(pauses, basis), Dot(residual, residual), pauses.count,
                                   basis, freedom);
    Subtract(pauses, fitted, fit, basis, result);
    if (fundamental_fitted) result.amplitude_mv = std::hypot(fit.coefficients[0], fit.coefficients[1]);
  }
  if (!borne.empty()) {
    const Fit fit = FitInTheDecay(pauses, borne, basis, hz);
    if (fit.coefficients.empty()) return;
    Subtract(pauses, borne, fit, basis, result);
    if (!fundamental_fitted) result.amplitude_mv = std::hypot(fit.coefficients[0], fit.coefficients[1]);
  }
}

}  // namespace

HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz) {
  HumRemoval result;
  std::vector<double> searched;
  for (double hz : mains_hz)
    if (hz > 0 && static_cast<double>(pauses.length) / pauses.sample_rate >= 2 / hz) searched.push_back(hz);
  if (pauses.count < 2 || pauses.length < 2 || searched.empty()) return result;
  // One sampled residual serves every frequency searched until hum is found: sampled for
  // the highest. Hum near one mains frequency is looked for after the one before is removed.
  const int64_t step = Decimation(pauses.sample_rate, *std::max_element(searched.begin(), searched.end()));
  SampledResidual residual = SampledResidualOf(pauses, step);
  std::vector<double> decay = SignedMeanDecay(pauses);
  for (double mains : searched) {
    double hz = HumFrequency(pauses, residual, mains);
    if (!std::isfinite(hz)) hz = HumFrequencyInTheDecay(pauses, decay, mains);
    if (!std::isfinite(hz)) continue;
    HumRemoval found;
    RemoveHumAt(pauses, hz, found);
    if (!std::isfinite(found.frequency_hz)) continue;
    if (found.amplitude_mv > result.amplitude_mv || !std::isfinite(result.frequency_hz)) {
      result.frequency_hz = found.frequency_hz;
      result.amplitude_mv = found.amplitude_mv;
    }
    for (HumUncertainty& uncertainty : found.uncertainties) result.uncertainties.push_back(std::move(uncertainty));
    residual = SampledResidualOf(pauses, step);
    decay = SignedMeanDecay(pauses);
  }
  return result;
}
