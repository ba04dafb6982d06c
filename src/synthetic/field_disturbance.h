#pragma once
// What the field adds to a voltage curve besides the ground's response: a self-potential
// that drifts (linearly, quadratically and as a slow exponential creep of the electrodes), mains hum
// with its odd harmonics, and spikes. Noise is the synthetic survey's own.

#include <cstdint>
#include <vector>

struct FieldDisturbance {
  double sp_mv = 0;           // the offset at the start of the curve
  double drift_mv_per_s = 0;  // linear drift
  double bend_mv_per_s2 = 0;  // a drift that speeds up: bend x t²
  double creep_mv = 0;        // creep_mv x e^{-t / creep_s}
  double creep_s = 60;
  double hum_mv = 0;  // amplitude of the fundamental
  double hum_hz = 50;
  double hum_third = 1.0 / 3, hum_fifth = 0, hum_seventh = 0;  // harmonics, as fractions of it
  double hum_phase = 0;                                        // radians at the start of the curve
  double spikes_per_s = 0;
  double spike_mv = 0;  // spikes are ±0.5..1.5 times this
  uint64_t spike_seed = 1;
};

// Adds the disturbance to curve_mv, sample i at i / sample_rate seconds.
void AddFieldDisturbance(std::vector<double>& curve_mv, double sample_rate, const FieldDisturbance& disturbance);
