#pragma once
// Induced polarisation from the pauses of a record: after every switch-off the voltage
// decays. Half-periods k = 1..4n of a samples alternate current on (odd k) and pause;
// pause s = 1..2n is half-period 2s, its sample j = 1..a lies at t = (j - 1/2) / rate
// after the switch-off, and it carries the sign of the on-time before it (+ for odd s).

#include <cstdint>
#include <span>
#include <vector>

#include "ip/gates.h"

struct GateChargeability {
  Gate gate;
  double m = 0;      // mV/V
  double error = 0;  // standard error, mV/V
};

struct Chargeability {
  double vp = 0;       // mV, the record's mean dU
  double m = 0;        // Σ M_i Δt_i / Σ Δt_i, mV/V
  double m_error = 0;  // standard error of m, mV/V
  double mt_ms = 0;    // Σ M_i Δt_i / 1000, ms
  std::vector<GateChargeability> gates;
  std::vector<double> time_ms;         // the stacked decay: its sample times,
  std::vector<double> decay_mv;        // its values and
  std::vector<double> decay_error_mv;  // their standard errors
};

// The pauses stacked three at a time, x_s(t) = σ_s · (d_s - 2 d_{s+1} + d_{s+2}) / 4 for
// s = 1..2n-2, which cancels a self-potential offset and a linear drift exactly; the
// decay is their mean and their spread its uncertainty. Gates average the decay;
// M_i = 1000 · gate mean / vp. With fewer than three pauses, or pauses beyond the
// curve, every value is NaN.
Chargeability ComputeChargeability(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count,
                                   int32_t sample_rate, double vp, const std::vector<Gate>& gates);
