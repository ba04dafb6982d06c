#pragma once
// What makes a record's decay untrustworthy, each found with its reason.

#include <string>
#include <vector>

#include "ip/chargeability.h"

enum class DecayFlag {
  NotMonotone,    // a gate rises over the one before beyond the error of their difference
  ChangesSign,    // a gate has the sign opposite to the decay's beyond its error
  Misfit,         // χ² per gate of the Cole-Cole fit above DecayMisfitLimit
  TauUnresolved,  // the fit's τ outside the span of the gates, or none found
};

// The limits the flags state: a rise or an opposite sign beyond this many standard errors,
// each gate's error taken at most DecayNoiseCap times what the record's noise gives a gate
// of its width, and a χ² per gate above DecayMisfitLimit (clean synthetic decays stay
// within them).
constexpr double DecayFlagSigmas = 3.5;
constexpr double DecayNoiseCap = 3;
constexpr double DecayMisfitLimit = 4;

struct DecayFlagged {
  DecayFlag flag;
  std::string reason;  // what was found, with the numbers
};

// The flags of the gates (M_i with their standard errors) and of a fit of them with its
// χ² per gate and time constant (NaN when there is none).
std::vector<DecayFlagged> DecayFlags(const std::vector<GateChargeability>& gates, double chi2, double tau_ms);

// The flag's short name: "not monotone", "changes sign", "misfit", "tau unresolved".
const char* DecayFlagName(DecayFlag flag);
