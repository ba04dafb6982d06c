#pragma once

#include "geometry/quadrupole.h"

// The signed geometric factor of a four-electrode arrangement on the surface of a
// half-space, in metres: K = 2π / (1/AM - 1/BM - 1/AN + 1/BN), current +I into A and
// out of B, potential M minus N. Every term with a remote electrode is dropped, which
// gives 2π / (1/AM - 1/AN) for pole-dipole and 2π·AM for pole-pole.
//
// NaN when K is undefined: a current and a potential electrode at one place, a sum of
// 0 (A at B, M at N), or every term dropped.
double GeometricFactor(const Quadrupole& q);
