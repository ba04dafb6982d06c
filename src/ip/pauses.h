#pragma once
// The pauses of a record: the samples after every switch-off, where the induced
// polarisation decays. Pause p (0-based) is half-period 2(p + 1) and carries the sign of
// the on-time before it: + for even p, - for odd p.

#include <cstdint>
#include <span>
#include <vector>

struct Pauses {
  int64_t length = 0;  // samples per pause, the half-period
  int64_t count = 0;   // 2 x PeriodCount
  double sample_rate = 0;
  std::vector<double> values;  // pause p sample j at [p * length + j], in mV

  double Sign(int64_t p) const { return p % 2 == 0 ? 1 : -1; }
  // Seconds from the first sample of the curve: pause p starts at sample (2p + 1) x length.
  double Time(int64_t p, int64_t j) const { return static_cast<double>((2 * p + 1) * length + j) / sample_rate; }
  std::span<double> Pause(int64_t p) {
    return std::span(values).subspan(static_cast<size_t>(p * length), static_cast<size_t>(length));
  }
  std::span<const double> Pause(int64_t p) const {
    return std::span(values).subspan(static_cast<size_t>(p * length), static_cast<size_t>(length));
  }
};

// The pauses of a curve; empty (count 0) when the header gives none or the curve is
// shorter than its 4n half-periods.
Pauses PausesOf(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count, int32_t sample_rate);

// The decay common to all pauses, sample by sample: the mean of sign x value. An offset
// cancels in it because the signs alternate over an even count.
std::vector<double> SignedMeanDecay(const Pauses& pauses);

// What the common decay leaves of every pause: value - sign x decay.
std::vector<double> DecayResidual(const Pauses& pauses);

// The first look at the pauses that the spike test and the hum search share, in one
// pass: what the common decay leaves of every pause, r = value - sign x decay, and its
// jumps (second differences), which neither the decay, nor an offset, nor a linear drift
// moves. For white noise of variance σ², a sample of r carries (1 - 1/count) σ² and its
// jump 1.5 times that.
struct PauseScreen {
  std::vector<double> decay;    // the common signed decay
  double jump_squares = 0;      // Σ of the inner samples' squared jumps
  double jump_count = 0;        // how many
  double largest_jump = 0;      // the largest |jump|, an end's (from the line through its
                                // two neighbours, noise twice an inner one's) halved
  double residual_squares = 0;  // Σ r², each pause freed of its own line
  double largest_value = 0;     // the largest |value| of an inner sample
  double pauses = 0;            // how many

  // The variance of a sample's white noise, with a floor at the rounding of float32
  // samples so that a noise-free curve has some.
  double WhiteNoise() const;
};
PauseScreen ScreenPauses(const Pauses& pauses);
