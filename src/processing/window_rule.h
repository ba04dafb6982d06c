#pragma once

#include <cstdint>

// The averaging window for a half-period of a samples: a third of it, reduced to a
// multiple of 20, and 20 when that gives 0.
int32_t WindowLenFor(int32_t half_period);
