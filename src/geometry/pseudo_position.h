#pragma once

#include "geometry/quadrupole.h"

// Where a pseudosection draws a record.
struct PseudoPosition {
  double x;      // mean position of the electrodes that are not remote, m (NaN without any)
  double depth;  // median depth of investigation, m (NaN when undefined)
};

// The median depth of investigation of a four-electrode arrangement on a homogeneous
// half-space (Edwards 1977): the depth above which half of the measured signal arises.
//
// For one current and one potential electrode L apart on the surface, the signal
// arising from the layer at depth z is proportional to 2z / (4z² + L²)^(3/2) (the
// plane integral of ∇(1/r_C)·∇(1/r_P)), so that from the layers above z it is
// F_L(z) = (1/L - 1/sqrt(4z² + L²)) / 2. The arrangement's is the signed sum over its
// pairs, + AM - BM - AN + BN, pairs with a remote electrode dropped, and the median
// depth is where that sum reaches half of its value at infinity. Pole-pole gives
// (√3/2)·L; Wenner 0.519a; dipole-dipole 0.416a for n = 1.
PseudoPosition PseudoPositionOf(const Quadrupole& q);
