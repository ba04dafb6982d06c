#pragma once
// Induced polarisation of the ground as the synthetic surveys model it: a Cole-Cole
// relaxation written as a sum of Debye terms, each a polarisation that follows the
// current with its own time constant. Driven sample by sample by the actual current
// waveform, it gives the charging during on-times and the decay in the pauses, the
// build-up over the first periods included, by superposition of the current's steps.

#include <cstdint>
#include <span>
#include <vector>

struct PolarisationModel {
  double chargeability = 0;  // m, as a fraction (mV/V / 1000)
  double tau_s = 0.1;        // the time constant of the relaxation
  double c = 1;              // Cole-Cole exponent, 0 < c <= 1; 1 is a single Debye term
};

// The voltage per unit of the model's DC voltage for each sample of `current`, the
// current divided by its nominal amplitude: v = J - m Σ w_k (J - P_k), where P_k relaxes
// towards J with the time constant τ_k. Sample i holds its current over [i, i + 1) / rate
// and gives v at (i + 1/2) / rate. After a long on-time of J = 1 the pause then carries
// m Σ w_k e^{-t/τ_k}, and an on-time switched on from rest starts at 1 - m.
std::vector<double> PolarisedResponse(std::span<const double> current, double sample_rate,
                                      const PolarisationModel& model);
