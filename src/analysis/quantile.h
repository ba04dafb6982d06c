#pragma once

#include <vector>

// The q-quantile of the values sorted x_0..x_{n-1}: at h = q·(n − 1), between x_⌊h⌋ and
// the next value in proportion, so that the median of an even count is the mean of the
// middle two. NaN for no value.
double Quantile(std::vector<double> values, double q);
