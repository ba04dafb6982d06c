#include "ip/least_squares.h"

#include <algorithm>
#include <cmath>

Line LineThrough(std::span<const double> x) {
  const size_t n = x.size();
  if (n == 0) return {};
  if (n == 1) return {x[0], 0};
  // Σ (j - middle)² in closed form; Σ x and Σ (j - middle) x in one pass.
  const double count = static_cast<double>(n), middle = (count - 1) / 2;
  const double spread = count * (count * count - 1) / 12;
  double sum = 0, moment = 0;
  for (size_t j = 0; j < n; ++j) {
    sum += x[j];
    moment += (static_cast<double>(j) - middle) * x[j];
  }
  const double slope = moment / spread;
  return {sum / count - slope * middle, slope};
}

void Detrend(std::span<double> x) {
  const Line line = LineThrough(x);
  for (size_t j = 0; j < x.size(); ++j) x[j] -= line.At(static_cast<double>(j));
}

// Four partial sums let the processor overlap the additions.
double Dot(std::span<const double> a, std::span<const double> b) {
  const size_t n = std::min(a.size(), b.size());
  double sums[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (size_t k = 0; k < 4; ++k) sums[k] += a[i + k] * b[i + k];
  for (; i < n; ++i) sums[0] += a[i] * b[i];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// Gaussian elimination with partial pivoting: the systems here have at most eight unknowns.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b) {
  const size_t n = b.size();
  for (size_t column = 0; column < n; ++column) {
    size_t pivot = column;
    for (size_t row = column + 1; row < n; ++row)
      if (std::abs(a[row][column]) > std::abs(a[pivot][column])) pivot = row;
    std::swap(a[column], a[pivot]);
    std::swap(b[column], b[pivot]);
    if (a[column][column] == 0) return std::vector<double>(n, 0.0);
    for (size_t row = column + 1; row < n; ++row) {
      const double factor = a[row][column] / a[column][column];
      for (size_t k = column; k < n; ++k) a[row][k] -= factor * a[column][k];
      b[row] -= factor * b[column];
    }
  }
  std::vector<double> x(n);
  for (size_t row = n; row-- > 0;) {
    double sum = b[row];
    for (size_t k = row + 1; k < n; ++k) sum -= a[row][k] * x[k];
    x[row] = sum / a[row][row];
  }
  return x;
}
