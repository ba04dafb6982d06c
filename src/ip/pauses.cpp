#include "ip/pauses.h"

Pauses PausesOf(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count, int32_t sample_rate) {
  const int64_t a = half_period, n = period_count;
  Pauses pauses;
  if (a <= 0 || n <= 0 || sample_rate <= 0 || 4 * n * a > static_cast<int64_t>(voltage_mv.size())) return pauses;
  pauses.length = a;
  pauses.count = 2 * n;
  pauses.sample_rate = sample_rate;
  pauses.values.resize(static_cast<size_t>(pauses.count * a));
  for (int64_t p = 0; p < pauses.count; ++p)
    for (int64_t j = 0; j < a; ++j)
      pauses.values[static_cast<size_t>(p * a + j)] = voltage_mv[static_cast<size_t>((2 * p + 1) * a + j)];
  return pauses;
}

std::vector<double> SignedMeanDecay(const Pauses& pauses) {
  std::vector<double> decay(static_cast<size_t>(pauses.length), 0.0);
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double sign = pauses.Sign(p);
    std::span<const double> pause = pauses.Pause(p);
    for (size_t j = 0; j < decay.size(); ++j) decay[j] += sign * pause[j];
  }
  for (double& value : decay) value /= static_cast<double>(pauses.count);
  return decay;
}

std::vector<double> DecayResidual(const Pauses& pauses) {
  const std::vector<double> decay = SignedMeanDecay(pauses);
  std::vector<double> residual(pauses.values.size());
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double sign = pauses.Sign(p);
    for (int64_t j = 0; j < pauses.length; ++j) {
      const size_t i = static_cast<size_t>(p * pauses.length + j);
      residual[i] = pauses.values[i] - sign * decay[static_cast<size_t>(j)];
    }
  }
  return residual;
}
