#include "synthetic/field_disturbance.h"

#include <cmath>
#include <numbers>

namespace {

// splitmix64: the same numbers with every library, so a seed always gives the same file.
uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Uniform(uint64_t& state) { return static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53; }

}  // namespace

void AddFieldDisturbance(std::vector<double>& curve_mv, double sample_rate, const FieldDisturbance& d) {
  if (sample_rate <= 0) return;
  const double omega = 2 * std::numbers::pi * d.hum_hz;
  for (size_t i = 0; i < curve_mv.size(); ++i) {
    const double t = static_cast<double>(i) / sample_rate;
    double value = d.sp_mv + (d.drift_mv_per_s + d.bend_mv_per_s2 * t) * t;
    if (d.creep_mv != 0) value += d.creep_mv * std::exp(-t / d.creep_s);
    if (d.hum_mv != 0) {
      const double phase = omega * t + d.hum_phase;
      value += d.hum_mv * (std::sin(phase) + d.hum_third * std::sin(3 * phase) + d.hum_fifth * std::sin(5 * phase) +
                           d.hum_seventh * std::sin(7 * phase));
    }
    curve_mv[i] += value;
  }
  if (d.spikes_per_s <= 0 || curve_mv.empty()) return;
  uint64_t state = d.spike_seed;
  const auto count =
      static_cast<size_t>(std::llround(d.spikes_per_s * static_cast<double>(curve_mv.size()) / sample_rate));
  for (size_t k = 0; k < count; ++k) {
    const auto i = static_cast<size_t>(Uniform(state) * static_cast<double>(curve_mv.size()));
    const double sign = Uniform(state) < 0.5 ? -1 : 1;
    curve_mv[std::min(i, curve_mv.size() - 1)] += sign * d.spike_mv * (0.5 + Uniform(state));
  }
}
