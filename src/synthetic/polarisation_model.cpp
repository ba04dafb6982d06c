#include "synthetic/polarisation_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct DebyeTerm {
  double weight;
  double tau_s;
};

// The Cole-Cole distribution of relaxation times over u = ln(τ'/τ),
// g(u) = sin((1-c)π) / (2π (cosh(c u) - cos((1-c)π))), sampled on a grid wide enough
// that the tails left out weigh little, and normalised to a total weight of 1. The grid's
// step stays within half a unit of ln τ', where a Debye term's decay changes, and near
// c = 1, where g is a peak of half-width (1-c)π/c, well inside the peak (up to 4001
// terms: from c = 0.995 on the sum stands a little further from the distribution).
std::vector<DebyeTerm> DebyeTerms(const PolarisationModel& model) {
  if (model.c >= 1) return {{1.0, model.tau_s}};
  const double c = std::fmax(model.c, 0.05), angle = (1 - c) * std::numbers::pi;
  const double reach = 14 / c, finest = std::fmin(0.5, 0.45 * angle / c);
  const int count = std::clamp(static_cast<int>(std::ceil(2 * reach / finest)) + 1, 121, 4001);
  const double step = 2 * reach / (count - 1);
  std::vector<DebyeTerm> terms;
  double total = 0;
  for (int i = 0; i < count; ++i) {
    const double u = -reach + i * step;
    const double weight = std::sin(angle) / (2 * std::numbers::pi * (std::cosh(c * u) - std::cos(angle))) * step;
    terms.push_back({weight, model.tau_s * std::exp(u)});
    total += weight;
  }
  for (DebyeTerm& term : terms) term.weight /= total;
  return terms;
}

}  // namespace

std::vector<double> PolarisedResponse(std::span<const double> current, double sample_rate,
                                      const PolarisationModel& model) {
  std::vector<double> response(current.begin(), current.end());
  if (model.chargeability == 0 || sample_rate <= 0) return response;
  for (const DebyeTerm& term : DebyeTerms(model)) {
    // Each sample holds its current for 1 / rate: over it the polarisation relaxes
    // exactly. The sample is the voltage in the middle of its interval, where the
    // chargeability's gates date it: a pause's sample j at (j + 1/2) / rate after the switch-off.
    const double keep = std::exp(-1 / (sample_rate * term.tau_s)), half = std::exp(-0.5 / (sample_rate * term.tau_s));
    double polarisation = 0;
    for (size_t i = 0; i < current.size(); ++i) {
      const double middle = current[i] + (polarisation - current[i]) * half;
      response[i] -= model.chargeability * term.weight * (current[i] - middle);
      polarisation = current[i] + (polarisation - current[i]) * keep;
    }
  }
  return response;
}
