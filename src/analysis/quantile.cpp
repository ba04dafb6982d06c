#include "analysis/quantile.h"

#include <algorithm>
#include <cmath>

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const double h = q * double(values.size() - 1);
  const size_t below = static_cast<size_t>(h);
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (h - double(below)) * (values[below + 1] - values[below]);
}
