#pragma once
// Hum: the mains field induces a sinusoid and its harmonics in long cables. Its
// frequency wanders a little around the nominal 50 or 60 Hz and is not locked to the
// instrument's sampling, so the stacks do not cancel it.

#include <limits>
#include <span>

#include "ip/pauses.h"

struct HumRemoval {
  double frequency_hz = std::numeric_limits<double>::quiet_NaN();  // NaN: no hum found
  double amplitude_mv = 0;                                         // of the fundamental
};

// Looks for hum within 1 Hz of each of mains_hz in turn in what the common decay leaves of the pauses
// (each pause freed of its own offset and slope), estimates its frequency from the
// phase it gains from one stretch of a pause to the next and from pause to pause, fits
// its fundamental and harmonics below the Nyquist frequency by least squares jointly
// with the decay (once more with the fundamental's slopes in frequency, which correct
// the estimate), and subtracts them. Hum that turns by half a cycle from pause to pause
// has the pauses' own signs and hides in the common decay: it is looked for there, by
// its oscillation. Nothing is changed when no hum stands out of the noise or when a
// pause is shorter than two cycles.
HumRemoval RemoveHum(Pauses& pauses, std::span<const double> mains_hz);
