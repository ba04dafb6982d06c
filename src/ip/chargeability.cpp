#include "ip/chargeability.h"

#include <cmath>
#include <limits>

#include "ip/hum_removal.h"
#include "ip/least_squares.h"
#include "ip/pauses.h"
#include "ip/spike_removal.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

double Square(double x) { return x * x; }

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

// The standard error of the mean of the stacks' values. Neighbouring stacks share two
// of their three pauses, so independent noise in the pauses makes them correlated (2/3
// one apart, 1/6 two apart): their spread alone understates the error of the mean by a
// factor of about 1.8. The factor below undoes that for independent pauses.
double StackStandardError(const std::vector<double>& values) {
  const size_t count = values.size();
  if (count < 2) return NaN;
  const double k = static_cast<double>(count), one_apart = 2.0 / 3, two_apart = 1.0 / 6;
  const double pairs = 2 * (k - 1) * one_apart + (count > 2 ? 2 * (k - 2) * two_apart : 0);
  const double mean_correlation = pairs / (k * (k - 1));
  const double mean = Mean(values);
  double squares = 0;
  for (double value : values) squares += (value - mean) * (value - mean);
  const double spread = squares / (k - 1);  // expected: (1 - mean correlation) x variance of one stack
  return std::sqrt(spread / (1 - mean_correlation) * (k + pairs) / (k * k));
}

// Two-sided 95 % quantiles of Student's t for 1..30 degrees of freedom.
double Student95(size_t freedom) {
  static constexpr double quantiles[] = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306, 2.262, 2.228,
                                         2.201,  2.179, 2.160, 2.145, 2.131, 2.120, 2.110, 2.101, 2.093, 2.086,
                                         2.080,  2.074, 2.069, 2.064, 2.060, 2.056, 2.052, 2.048, 2.045, 2.042};
  if (freedom == 0) return NaN;
  return freedom <= 30 ? quantiles[freedom - 1] : 1.96;
}

}  // namespace

Chargeability NoChargeability(double vp, const std::vector<Gate>& gates, const std::string& reason) {
  Chargeability result;
  result.vp = vp;
  result.no_answer = reason;
  result.m = result.m_error = result.m_interval = result.mt_ms = NaN;
  for (const Gate& gate : gates) result.gates.push_back({gate, NaN, NaN, NaN});
  return result;
}

namespace {

bool AllFinite(const std::vector<double>& values) {
  for (double value : values)
    if (!std::isfinite(value)) return false;
  return true;
}

// The three-pause stacks one after the other: x_s at sample j at [s * length + j],
// s = 0..count-3.
std::vector<double> ThreePauseStacks(const Pauses& pauses) {
  const size_t length = static_cast<size_t>(pauses.length);
  std::vector<double> stacks(static_cast<size_t>(pauses.count - 2) * length);
  for (int64_t s = 0; s + 2 < pauses.count; ++s) {
    std::span<const double> d0 = pauses.Pause(s), d1 = pauses.Pause(s + 1), d2 = pauses.Pause(s + 2);
    double* stack = stacks.data() + static_cast<size_t>(s) * length;
    const double sign = pauses.Sign(s);
    for (size_t j = 0; j < length; ++j) stack[j] = sign * (d0[j] - 2 * d1[j] + d2[j]) / 4;
  }
  return stacks;
}

// The variance that the hum fits' uncertain coefficients add to a value that is linear
// in the stacked decay: weights[j] times its sample j, summed.
double HumVariance(const std::vector<HumUncertainty>& uncertainties, const std::vector<double>& weights) {
  double variance = 0;
  for (const HumUncertainty& fit : uncertainties) {
    std::vector<double> effect;
    for (const std::vector<double>& shape : fit.stacked_shapes) effect.push_back(Dot(shape, weights));
    for (size_t a = 0; a < effect.size() && a < fit.covariance.size(); ++a)
      for (size_t b = 0; b < effect.size() && b < fit.covariance[a].size(); ++b)
        variance += effect[a] * fit.covariance[a][b] * effect[b];
  }
  return std::max(variance, 0.0);
}

}  // namespace

Chargeability ComputeChargeability(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count,
                                   int32_t sample_rate, double vp, const std::vector<Gate>& gates,
                                   const PauseCleaning& cleaning, bool decay_curve, double vp_error) {
  if (gates.empty()) return NoChargeability(vp, gates, "no gate");
  if (!std::isfinite(vp) || vp == 0) return NoChargeability(vp, gates, "no Vp");
  if (period_count < 2) return NoChargeability(vp, gates, "fewer than three pauses");
  Pauses pauses = PausesOf(voltage_mv, half_period, period_count, sample_rate);
  if (pauses.count < 3) return NoChargeability(vp, gates, "the curve is shorter than its half-periods");
  if (!AllFinite(pauses.values)) return NoChargeability(vp, gates, "a sample in a pause is not a number");

  Chargeability result;
  result.vp = vp;
  // Spikes first, so that they do not pull the hum's fit; then once more, since hum
  // hides the smaller ones.
  if (cleaning.remove_spikes) result.spikes_removed = RemoveSpikes(pauses);
  const HumRemoval hum = RemoveHum(pauses, cleaning.mains_hz);
  if (std::isfinite(hum.frequency_hz)) {
    result.hum_hz = hum.frequency_hz;
    result.hum_mv = hum.amplitude_mv;
    // Counted with those found before: the spikes the hum uncovered.
    if (cleaning.remove_spikes) result.spikes_removed += RemoveSpikes(pauses);
  }

  const std::vector<double> stacks = ThreePauseStacks(pauses);
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count - 2);
  std::vector<double> column(count);
  for (size_t j = 0; j < length && decay_curve; ++j) {
    for (size_t s = 0; s < count; ++s) column[s] = stacks[s * length + j];
    result.time_ms.push_back(SampleTimeMs(static_cast<int64_t>(j), sample_rate));
    result.decay_mv.push_back(Mean(column));
    result.decay_error_mv.push_back(StackStandardError(column));
  }

  // Every stack gives its own M; their spread is the uncertainty of the mean. The pauses
  // leave (pauses - 3) = (stacks - 1) degrees of freedom to it (less decay, offset and drift).
  // The error of the hum's fit is common to every stack, so their spread does not show it,
  // nor Vp's: both are added to the stacks' own.
  const double t95 = Student95(count - 1), vp_share = vp_error / vp;
  std::vector<double> stack_m(count, 0.0), m_weights(length, 0.0);
  double widths = 0;
  for (const Gate& gate : gates) widths += gate.Width();
  for (const Gate& gate : gates) {
    const SampleRange samples = GateSamples(gate, half_period, sample_rate);
    std::vector<double> weights(length, 0.0);
    for (int64_t j = samples.first; j < samples.last; ++j) {
      weights[static_cast<size_t>(j)] = 1000 / static_cast<double>(samples.Count()) / vp;
      m_weights[static_cast<size_t>(j)] += weights[static_cast<size_t>(j)] * gate.Width() / widths;
    }
    std::vector<double> stack_gate(count, 0.0);
    for (size_t s = 0; s < count; ++s) {
      double sum = 0;
      for (int64_t j = samples.first; j < samples.last; ++j) sum += stacks[s * length + static_cast<size_t>(j)];
      stack_gate[s] = samples.Count() > 0 ? 1000 * sum / static_cast<double>(samples.Count()) / vp : NaN;
    }
    const double m = Mean(stack_gate);
    const double error = std::sqrt(Square(StackStandardError(stack_gate)) + HumVariance(hum.uncertainties, weights) +
                                   Square(m * vp_share));
    result.gates.push_back({gate, m, error, t95 * error});
    for (size_t s = 0; s < count; ++s) stack_m[s] += stack_gate[s] * gate.Width();
    result.mt_ms += m * gate.Width() / 1000;
  }
  for (double& m : stack_m) m /= widths;
  result.m = Mean(stack_m);
  result.m_error = std::sqrt(Square(StackStandardError(stack_m)) + HumVariance(hum.uncertainties, m_weights) +
                             Square(result.m * vp_share));
  result.m_interval = t95 * result.m_error;
  return result;
}
