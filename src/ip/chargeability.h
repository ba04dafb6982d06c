#pragma once
// Induced polarisation from the pauses of a record: after every switch-off the voltage
// decays. Half-periods k = 1..4n of a samples alternate current on (odd k) and pause;
// pause s = 1..2n is half-period 2s, its sample j = 1..a lies at t = (j - 1/2) / rate
// after the switch-off, and it carries the sign of the on-time before it (+ for odd s).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ip/gates.h"

struct DecayFit;

// What is removed from the pauses before they are stacked.
struct PauseCleaning {
  bool remove_spikes = true;
  // Hum is looked for within 1 Hz of each in turn, and removed where found; none leaves
  // hum alone. 16.7 Hz: electric railways.
  std::vector<double> mains_hz{50, 60, 16.7};
};

struct GateChargeability {
  Gate gate;
  double m = 0;         // mV/V
  double error = 0;     // standard error, mV/V
  double interval = 0;  // half-width of the 95 % confidence interval, mV/V: the "±" shown
};

struct Chargeability {
  double vp = 0;          // mV, the record's mean dU
  double m = 0;           // Σ M_i Δt_i / Σ Δt_i, mV/V
  double m_error = 0;     // standard error of m, mV/V: the stacks', the hum fit's and Vp's
  double m_interval = 0;  // half-width of its 95 % confidence interval, mV/V
  double mt_ms = 0;       // Σ M_i Δt_i / 1000, ms
  std::vector<GateChargeability> gates;
  std::vector<double> time_ms;         // the stacked decay: its sample times,
  std::vector<double> decay_mv;        // its values and
  std::vector<double> decay_error_mv;  // their standard errors
  int spikes_removed = 0;
  double hum_hz = 0;  // the hum removed, 0 when none was found
  double hum_mv = 0;
  std::string no_answer;                // why m is NaN; empty when it is a number
  std::shared_ptr<const DecayFit> fit;  // the gates' Cole-Cole fit when asked for (ip/decay_fit.h)
};

// Every value NaN, for the reason given.
Chargeability NoChargeability(double vp, const std::vector<Gate>& gates, const std::string& reason);

// Spikes and hum are removed from the pauses first (see PauseCleaning); then the
// pauses are stacked three at a time, x_s(t) = σ_s · (d_s - 2 d_{s+1} + d_{s+2}) / 4 for
// s = 1..2n-2, which cancels a self-potential offset and a linear drift exactly; the
// decay is their mean and their spread its uncertainty. Gates average the decay;
// M_i = 1000 · gate mean / vp; vp_error (mV), the standard error of vp, counts in their
// errors. With fewer than three pauses, pauses beyond the curve, a sample that is not a
// number in them, no gate or no vp, every value is NaN and no_answer says why. Without
// decay_curve the sample-by-sample decay is left empty: the exports need only the gates.
Chargeability ComputeChargeability(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count,
                                   int32_t sample_rate, double vp, const std::vector<Gate>& gates,
                                   const PauseCleaning& cleaning = {}, bool decay_curve = true, double vp_error = 0);
