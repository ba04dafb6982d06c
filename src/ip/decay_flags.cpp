#include "ip/decay_flags.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Three significant digits: enough to tell the user how far beyond the limit.
std::string Number(double value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 3).ptr;
  return std::string(buffer, end);
}

std::string GateName(const std::vector<GateChargeability>& gates, size_t i) {
  return "gate " + std::to_string(i + 1) + " (" + GateText(gates[i].gate) + " ms)";
}

// The gates' errors, each at most DecayNoiseCap times what the record's noise gives a gate
// of its width: the median over the gates of error x sqrt(width). A disturbance left in
// a few pauses (a burst the spike test cannot take for a spike) makes the stacks disagree
// in its gate, whose ± then covers it; against the record's noise it stands out.
std::vector<double> NoiseCappedErrors(const std::vector<GateChargeability>& gates) {
  std::vector<double> noise;
  for (const GateChargeability& gate : gates) noise.push_back(gate.error * std::sqrt(gate.gate.Width()));
  std::nth_element(noise.begin(), noise.begin() + static_cast<ptrdiff_t>(noise.size() / 2), noise.end());
  const double typical = noise[noise.size() / 2];
  std::vector<double> errors;
  for (const GateChargeability& gate : gates)
    errors.push_back(std::min(gate.error, DecayNoiseCap * typical / std::sqrt(gate.gate.Width())));
  return errors;
}

}  // namespace

std::vector<DecayFlagged> DecayFlags(const std::vector<GateChargeability>& gates, double chi2, double tau_ms) {
  std::vector<DecayFlagged> flags;
  if (gates.empty()) return flags;
  // The decay's sign is that of its largest gate.
  size_t largest = 0;
  for (size_t i = 1; i < gates.size(); ++i)
    if (std::abs(gates[i].m) > std::abs(gates[largest].m)) largest = i;
  const double sign = gates[largest].m < 0 ? -1 : 1;
  const std::vector<double> errors = NoiseCappedErrors(gates);

  for (size_t i = 1; i < gates.size(); ++i) {
    const double rise = sign * (gates[i].m - gates[i - 1].m);
    const double error = std::hypot(errors[i], errors[i - 1]);
    if (rise > DecayFlagSigmas * error) {
      flags.push_back({DecayFlag::NotMonotone, GateName(gates, i) + " rises over gate " + std::to_string(i) + " by " +
                                                   Number(rise) + " mV/V, " + Number(rise / error) +
                                                   " times the error of the difference"});
      break;
    }
  }
  for (size_t i = 0; i < gates.size(); ++i) {
    if (-sign * gates[i].m > DecayFlagSigmas * errors[i]) {
      flags.push_back({DecayFlag::ChangesSign, GateName(gates, i) + " is " + Number(gates[i].m) +
                                                   " mV/V, against the decay's sign by " +
                                                   Number(std::abs(gates[i].m) / errors[i]) + " times its error"});
      break;
    }
  }
  if (chi2 > DecayMisfitLimit)
    flags.push_back({DecayFlag::Misfit, "χ² per gate " + Number(chi2) + " above " + Number(DecayMisfitLimit)});
  const Gate span{gates.front().gate.t1_ms, gates.back().gate.t2_ms};
  if (!(tau_ms >= span.t1_ms && tau_ms <= span.t2_ms))
    flags.push_back(
        {DecayFlag::TauUnresolved, std::isfinite(tau_ms)
                                       ? "τ = " + Number(tau_ms) + " ms outside the gates' " + GateText(span) + " ms"
                                       : "no time constant found"});
  return flags;
}

const char* DecayFlagName(DecayFlag flag) {
  switch (flag) {
    case DecayFlag::NotMonotone: return "not monotone";
    case DecayFlag::ChangesSign: return "changes sign";
    case DecayFlag::Misfit: return "misfit";
    case DecayFlag::TauUnresolved: return "tau unresolved";
  }
  return "";
}
