#pragma once
// Hum: the mains field induces a sinusoid and its harmonics in long cables, and electric
// railways one of their own near 16.7 Hz. Its frequency wanders a little around the
// nominal one and is not locked to the instrument's sampling, so the stacks do not
// cancel it.

#include <limits>
#include <span>
#include <string>
#include <vector>

#include "ip/gates.h"
#include "ip/least_squares.h"
#include "ip/pauses.h"

// What a fit of hum leaves uncertain: the covariance of its coefficients and what each
// fitted shape adds to the stacked decay (its mean three-pause stack), summed over each of
// the ranges of samples asked for.
struct HumUncertainty {
  std::vector<double> stacked_sums;  // shape s over range r at [s * ranges + r]
  size_t ranges = 0;
  SquareMatrix covariance;

  size_t Shapes() const { return covariance.size(); }
  // What shape s adds to the stacked decay's samples of range r, summed.
  double StackedOver(size_t s, size_t r) const { return stacked_sums[s * ranges + r]; }
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
// and from pause to pause. The fundamental and the harmonics below the Nyquist frequency
// (up to the 7th) that stand out of the noise or that only the common decay can tell of,
// with the fundamental's slopes in frequency that correct the estimate, are fitted by
// least squares to two independent views of the hum: how it changes from
// pause to pause (with the decay and the pauses' offsets and slopes free) and what it
// adds to the common decay through the cycle mean, where hum that turns by half a cycle
// from pause to pause (and so passes the stacks as decay) shows. Nothing is changed when
// no hum stands out of the noise or when a pause is shorter than two cycles; hum that the
// pauses cannot tell from the decay is said in `unresolved`.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz);
// The same with the first look at the pauses already taken; where hum is taken out, it is
// left as the look at what remains. What the fits leave uncertain is given for the
// stacked decay's sums over `asked`.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz, PauseScreen& look,
                     std::span<const SampleRange> asked = {});
