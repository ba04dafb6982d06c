#pragma once
// Hum: the mains field induces a sinusoid and its harmonics in long cables, and electric
// railways one of their own near 16.7 Hz. Its frequency wanders a little around the
// nominal one and is not locked to the instrument's sampling, so the stacks do not
// cancel it.

#include <limits>
#include <span>
#include <vector>

#include "ip/pauses.h"

// What a fit of hum leaves uncertain: the covariance of its coefficients and what each
// fitted sinusoid adds to the stacked decay (its mean three-pause stack, sample by sample).
struct HumUncertainty {
  std::vector<std::vector<double>> stacked_shapes;
  std::vector<std::vector<double>> covariance;
};

struct HumRemoval {
  double frequency_hz = std::numeric_limits<double>::quiet_NaN();  // the strongest hum; NaN: none found
  double amplitude_mv = 0;                                         // of its fundamental
  std::vector<HumUncertainty> uncertainties;                       // one per fit
};

// Looks for hum within 1 Hz of each of mains_hz in turn in what the common decay leaves
// of the pauses (each pause freed of its own offset and slope), estimates its frequency
// from the phase it gains from one stretch of a pause to the next and from pause to
// pause, and fits its fundamental and harmonics below the Nyquist frequency (up to the
// 7th) by least squares jointly with the decay and the pauses' offsets and slopes, the
// fundamental's slopes in frequency correcting the estimate. A harmonic that turns by
// nearly half a cycle from pause to pause has the pauses' own signs and cannot be told
// from the decay there: it is fitted to the common decay instead, the decay described
// as a smooth curve in log time. Hum whose fundamental does so is found by its
// oscillation in the common decay. Nothing is changed when no hum stands out of the
// noise or when a pause is shorter than two cycles.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz);
