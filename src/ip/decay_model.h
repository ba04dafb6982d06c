#pragma once
// The gates a Cole-Cole ground gives, as this program measures them: the ground driven by
// the instrument's waveform (on +, pause, on -, pause, over n periods, from rest), the
// pauses stacked three at a time and averaged over the gates' samples, and divided by the
// Vp of the record's difference windows, which the polarisation lowers too. No infinite
// charging is assumed: with a time constant near the half-period the earlier pauses and
// on-times still decay under the later ones, and the stack sees them.
//
// The ground's response to a current step is 1 - m φ(t), φ(t) = E_c(-(t/τ)^c) (the
// Mittag-Leffler function), written as the Cole-Cole distribution of Debye time constants
// over u = ln(τ'/τ), g(u) = sin(cπ) / (2π (cosh(cu) + cos(cπ))). A Debye term's gates
// have a closed form; the model convolves them with g on a grid in ln τ' once for the
// survey, and a fit then interpolates in (ln τ, c).

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "ip/gates.h"

// What a record's pauses and Vp see of the instrument: half-periods of half_period samples
// at sample_rate, period_count periods, Vp from the last window_len samples of each. The
// current takes switch_on_delay samples to rise: what it lacks of a step, as charge.
struct DecayWaveform {
  int32_t half_period = 0;
  int32_t period_count = 0;
  int32_t sample_rate = 0;
  int32_t window_len = 0;
  double switch_on_delay = 0;
};

// The delay of the current's switch-ons in a current curve (mA or A): over every on-time,
// Σ (1 - I_j / I) with I the mean of its last window_len samples; the mean over the
// on-times. 0 for a curve shorter than its half-periods or without current.
double SwitchOnDelay(std::span<const float> current, int32_t half_period, int32_t period_count, int32_t window_len);

// Parameters of the model: the chargeability m (mV/V), ln τ (τ in ms) and the exponent c.
struct ColeCole {
  double m = 0;
  double log_tau_ms = 0;
  double c = 1;
};

class DecayModel {
 public:
  // Throws std::invalid_argument for a waveform without three pauses or Vp windows, or a
  // gate without samples.
  DecayModel(const DecayWaveform& waveform, const std::vector<Gate>& gates);

  const std::vector<Gate>& Gates() const { return gates_; }
  // The range of ln τ (τ in ms) and c the model covers; a fit stays inside it.
  double LogTauLow() const { return s_low_; }
  double LogTauHigh() const { return s_low_ + step_ * static_cast<double>(s_nodes_ - 1); }
  static constexpr double CLow = 0.05;
  // The chargeability stays below 1 (1000 mV/V) either way, where Vp would vanish.
  static constexpr double MLimit = 1000;

  // M_i of every gate (mV/V) and, when slopes is not empty, dM_i / d(m, ln τ, c).
  void Predict(const ColeCole& p, std::span<double> m, std::span<std::array<double, 3>> slopes = {}) const;

  // The stacked decay the model gives at instants after the switch-off (ms), in mV/V as
  // the decay view draws a record's: 1000 x the mean stack over Vp. For drawing a fit:
  // the Cole-Cole distribution taken at 200 of its quantiles.
  std::vector<double> Curve(const ColeCole& p, const std::vector<double>& times_ms) const;

  // The gate functionals of a single Debye term of time constant tau_ms, per unit of
  // chargeability: X_i (the stacked decay's gate means, relative to the DC voltage) and
  // Y (how much of the DC voltage Vp lacks); M_i = 1000 m X_i / (1 - m Y).
  std::vector<double> DebyeTerm(double tau_ms) const;

  // A start for a fit: the table's node (ln τ, c) on a coarse grid whose m, by weighted
  // least squares, fits the gates best; with ln τ in [low, high] when they are given.
  ColeCole CoarseStart(std::span<const double> gates, std::span<const double> weights, double low = -HUGE_VAL,
                       double high = HUGE_VAL) const;

 private:
  // Where the functionals of a padded row and node start in the table.
  size_t Index(size_t row, size_t node) const { return (row * (s_nodes_ + 2) + node) * functionals_; }
  void Interpolate(double s, double c, std::span<double> values, std::span<double> by_s, std::span<double> by_c) const;

  std::vector<Gate> gates_;
  size_t functionals_ = 0;  // the gates' X_i, then Y
  double step_ = 0;         // of the grid in ln τ
  double s_low_ = 0;
  size_t s_nodes_ = 0;
  double c_step_ = 0;
  size_t c_rows_ = 0;
  std::vector<double> table_;  // [c row][ln τ node][functional], padded by a node on every side
  // Debye terms' closed form: the current's steps as the stack and Vp see them.
  std::shared_ptr<const struct DecayLags> stack_lags_, window_lags_;
  std::vector<SampleRange> gate_samples_;
  int64_t half_period_ = 0, window_len_ = 0;
  double sample_ms_ = 0, switch_on_delay_ = 0;
};
