#pragma once
// Hum: the mains field induces a sinusoid and its harmonics in long cables, and electric
// railways one of their own near 16.7 Hz. Its frequency wanders a little around the
// nominal one and is not locked to the instrument's sampling, so the stacks do not
// cancel it.

#include <limits>
#include <span>
#include <string>
#include <vector>

#include "ip/pauses.h"

// What a fit of hum leaves uncertain: the covariance of its coefficients and what each
// fitted shape adds to the stacked decay (its mean three-pause stack), as coefficients of
// a few functions of the pause's sample, given summed from the pause's start ([b][j]
// holds function b over samples 0..j-1, so that a gate's share is a difference).
struct HumUncertainty {
  std::vector<std::vector<double>> function_sums;
  std::vector<std::vector<double>> stacked;  // [shape][function]
  std::vector<std::vector<double>> covariance;

  // What shape s adds to the stacked decay's samples [first, last), summed.
  double StackedOver(size_t s, int64_t first, int64_t last) const {
    double sum = 0;
    for (size_t b = 0; b < function_sums.size(); ++b)
      if (stacked[s][b] != 0)
        sum += stacked[s][b] *
               (function_sums[b][static_cast<size_t>(last)] - function_sums[b][static_cast<size_t>(first)]);
    return sum;
  }
};

struct HumRemoval {
  double frequency_hz = std::numeric_limits<double>::quiet_NaN();  // the strongest hum; NaN: none found
  double amplitude_mv = 0;                                         // of its fundamental
  std::vector<HumUncertainty> uncertainties;                       // one per fit
  // Hum that the pauses cannot tell from the decay, said for the user; empty when none.
  std::string unresolved;
  // Hum fitted without a look at the common decay (pauses too short for it), said the
  // same way: where what its fit leaves uncertain outweighs the noise, it is unresolved too.
  std::string unseen_in_decay;
};

// Looks for hum within 2 Hz of each of mains_hz in turn (those the pauses are too short
// to see in the decay first), until nothing is left for more. A first look at what the
// common decay leaves of the pauses, and at the common decay through a mean over one
// mains cycle, against the pauses' white noise, passes most records without hum at
// little cost. Where something is left, every pause through that mean (which
// keeps the hum whole and loses a smooth decay) gives the frequency from the phase its
// hum gains from one short segment to the next, from one half of the pause to the other
// and from pause to pause. The fundamental and every harmonic below the Nyquist frequency
// (up to the 7th), with the fundamental's slopes in frequency that correct the estimate,
// are fitted by least squares to two independent views of the hum: how it changes from
// pause to pause (with the decay and the pauses' offsets and slopes free) and what it
// adds to the common decay through the cycle mean, where hum that turns by half a cycle
// from pause to pause (and so passes the stacks as decay) shows. Nothing is changed when
// no hum stands out of the noise or when a pause is shorter than two cycles; hum that the
// pauses cannot tell from the decay is said in `unresolved`.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz);
// The same with the first look at the pauses already taken; where hum is taken out, it is
// left as the look at what remains.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz, PauseScreen& look);
