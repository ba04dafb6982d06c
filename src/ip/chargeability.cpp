#include "ip/chargeability.h"

#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

// The standard error of the mean of values.
double StandardError(const std::vector<double>& values) {
  if (values.size() < 2) return NaN;
  const double mean = Mean(values);
  double squares = 0;
  for (double value : values) squares += (value - mean) * (value - mean);
  return std::sqrt(squares / static_cast<double>(values.size() - 1) / static_cast<double>(values.size()));
}

Chargeability NoAnswer(double vp, const std::vector<Gate>& gates) {
  Chargeability result{vp, NaN, NaN, NaN, {}, {}, {}, {}};
  for (const Gate& gate : gates) result.gates.push_back({gate, NaN, NaN});
  return result;
}

}  // namespace

Chargeability ComputeChargeability(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count,
                                   int32_t sample_rate, double vp, const std::vector<Gate>& gates) {
  const int64_t a = half_period, pauses = 2 * int64_t{period_count}, stacks = pauses - 2;
  if (a <= 0 || sample_rate <= 0 || stacks < 1 ||
      4 * int64_t{period_count} * a > static_cast<int64_t>(voltage_mv.size()))
    return NoAnswer(vp, gates);

  // stack[s][j]: x_s at sample j of the pause.
  auto raw = [&](int64_t s, int64_t j) { return double(voltage_mv[static_cast<size_t>((2 * s - 1) * a + j - 1)]); };
  std::vector<std::vector<double>> stack(static_cast<size_t>(stacks), std::vector<double>(static_cast<size_t>(a)));
  for (int64_t s = 1; s <= stacks; ++s) {
    const double sign = s % 2 == 1 ? 1 : -1;
    for (int64_t j = 1; j <= a; ++j)
      stack[static_cast<size_t>(s - 1)][static_cast<size_t>(j - 1)] =
          sign * (raw(s, j) - 2 * raw(s + 1, j) + raw(s + 2, j)) / 4;
  }

  Chargeability result{vp, 0, 0, 0, {}, {}, {}, {}};
  std::vector<double> column(static_cast<size_t>(stacks));
  for (int64_t j = 1; j <= a; ++j) {
    for (int64_t s = 0; s < stacks; ++s)
      column[static_cast<size_t>(s)] = stack[static_cast<size_t>(s)][static_cast<size_t>(j - 1)];
    result.time_ms.push_back(1000.0 * (j - 0.5) / sample_rate);
    result.decay_mv.push_back(Mean(column));
    result.decay_error_mv.push_back(StandardError(column));
  }

  // Every stack gives its own M; their spread is the uncertainty of the mean.
  std::vector<double> stack_m(static_cast<size_t>(stacks), 0.0);
  double widths = 0;
  for (const Gate& gate : gates) {
    std::vector<double> stack_gate(static_cast<size_t>(stacks), 0.0);
    int count = 0;
    for (int64_t j = 1; j <= a; ++j) {
      const double t = result.time_ms[static_cast<size_t>(j - 1)];
      if (t < gate.t1_ms || t >= gate.t2_ms) continue;
      ++count;
      for (int64_t s = 0; s < stacks; ++s)
        stack_gate[static_cast<size_t>(s)] += stack[static_cast<size_t>(s)][static_cast<size_t>(j - 1)];
    }
    for (double& sum : stack_gate) sum = count > 0 ? 1000 * sum / count / vp : NaN;
    result.gates.push_back({gate, Mean(stack_gate), StandardError(stack_gate)});
    for (int64_t s = 0; s < stacks; ++s)
      stack_m[static_cast<size_t>(s)] += stack_gate[static_cast<size_t>(s)] * gate.Width();
    result.mt_ms += result.gates.back().m * gate.Width() / 1000;
    widths += gate.Width();
  }
  for (double& m : stack_m) m /= widths;
  result.m = Mean(stack_m);
  result.m_error = StandardError(stack_m);
  return result;
}
