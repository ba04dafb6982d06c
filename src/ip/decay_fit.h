#pragma once
// Each record's decay judged: its gates fitted with the Cole-Cole model of DecayModel by
// non-linear least squares weighted by the gates' standard errors, the misfit, and the
// flags of a decay that should not be trusted (ip/decay_flags.h).

#include <string>
#include <vector>

#include "ip/chargeability.h"
#include "ip/decay_flags.h"
#include "ip/decay_model.h"

struct DecayFit {
  // The Cole-Cole model's chargeability (mV/V), time constant (ms) and exponent, each with
  // its standard error and the half-width of its 95 % interval (τ's from that of ln τ).
  double m = 0, m_error = 0, m_interval = 0;
  double tau_ms = 0, tau_error_ms = 0, tau_interval_ms = 0;
  double c = 0, c_error = 0, c_interval = 0;
  double chi2 = 0;            // χ² per gate: Σ ((M_i - model_i) / error_i)² / gates
  double rms_pct = 0;         // the RMS of the residuals normalised by |M|, in percent
  double data_error = 0;      // the RMS of the residuals, mV/V: the data error of M from the misfit
  std::vector<double> model;  // the fitted M_i
  // The fitted decay for drawing, when asked for: instants (ms) and values (mV/V).
  std::vector<double> curve_ms{}, curve{};
  std::vector<DecayFlagged> flags;
  std::string no_fit;  // why the values are NaN; empty when they are numbers

  bool Flagged(DecayFlag flag) const;
};

// The no-fit reason of a decay whose fit does not tell m from 0 (ground without
// polarisation).
inline constexpr const char* TooWeakToFit = "the decay is too weak to fit";

// Fits the gates (those of the model, with their standard errors) and flags the decay.
// Fewer than four gates (three parameters and a misfit) or a gate that is no number give
// no fit: every value NaN and no_fit says why; so do gates none of which stands beyond
// DecayFlagSigmas errors from 0 with a fit whose m's ± is larger than m (TooWeakToFit),
// and a fit whose m's ± is no number, with the gates' flags and τ unresolved.
DecayFit FitDecay(const DecayModel& model, const std::vector<GateChargeability>& gates);
