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

double Sum(std::span<const double> x) {
  double sums[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 4 <= x.size(); i += 4)
    for (size_t k = 0; k < 4; ++k) sums[k] += x[i + k];
  for (; i < x.size(); ++i) sums[0] += x[i];
  return (sums[0] + sums[1]) + (sums[2] + sums[3]);
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

namespace {

// The inverse of a symmetric positive definite matrix from its Cholesky factor; empty when
// a pivot is not positive.
std::vector<std::vector<double>> CholeskyInverse(const std::vector<std::vector<double>>& a) {
  const size_t n = a.size();
  std::vector<std::vector<double>> l(n, std::vector<double>(n, 0.0));
  for (size_t j = 0; j < n; ++j) {
    double pivot = a[j][j];
    for (size_t k = 0; k < j; ++k) pivot -= l[j][k] * l[j][k];
    if (!(pivot > 0)) return {};
    l[j][j] = std::sqrt(pivot);
    for (size_t i = j + 1; i < n; ++i) {
      double value = a[i][j];
      for (size_t k = 0; k < j; ++k) value -= l[i][k] * l[j][k];
      l[i][j] = value / l[j][j];
    }
  }
  // L^-1 column by column, then (L^-1)' L^-1.
  std::vector<std::vector<double>> m(n, std::vector<double>(n, 0.0));
  for (size_t j = 0; j < n; ++j) {
    m[j][j] = 1 / l[j][j];
    for (size_t i = j + 1; i < n; ++i) {
      double value = 0;
      for (size_t k = j; k < i; ++k) value -= l[i][k] * m[k][j];
      m[i][j] = value / l[i][i];
    }
  }
  std::vector<std::vector<double>> inverse(n, std::vector<double>(n, 0.0));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j <= i; ++j) {
      double value = 0;
      for (size_t k = i; k < n; ++k) value += m[k][i] * m[k][j];
      inverse[i][j] = inverse[j][i] = value;
    }
  return inverse;
}

}  // namespace

PseudoInverse PseudoInverseOf(const std::vector<std::vector<double>>& matrix, double relative) {
  // Where the plain inverse shows every eigenvalue well above the limit (the smallest is at
  // least 1 / its trace, the largest at most the matrix's trace), it is the answer.
  double trace = 0;
  for (size_t i = 0; i < matrix.size(); ++i) trace += matrix[i][i];
  std::vector<std::vector<double>> inverse = CholeskyInverse(matrix);
  if (!inverse.empty()) {
    double inverse_trace = 0;
    for (size_t i = 0; i < inverse.size(); ++i) inverse_trace += inverse[i][i];
    if (inverse_trace * trace * relative < 1e-2) return {std::move(inverse), {}};
  }
  // Cyclic Jacobi rotations: a becomes diagonal, v gathers the eigenvectors as columns.
  const size_t n = matrix.size();
  std::vector<std::vector<double>> a = matrix, v(n, std::vector<double>(n, 0.0));
  for (size_t i = 0; i < n; ++i) v[i][i] = 1;
  for (int sweep = 0; sweep < 50; ++sweep) {
    double off = 0, diagonal = 0;
    for (size_t i = 0; i < n; ++i) {
      diagonal += a[i][i] * a[i][i];
      for (size_t k = i + 1; k < n; ++k) off += a[i][k] * a[i][k];
    }
    if (off <= 1e-30 * diagonal) break;
    for (size_t p = 0; p + 1 < n; ++p)
      for (size_t q = p + 1; q < n; ++q) {
        if (a[p][q] == 0) continue;
        const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        const double t = (theta >= 0 ? 1 : -1) / (std::abs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (size_t k = 0; k < n; ++k) {
          const double kp = a[k][p], kq = a[k][q];
          a[k][p] = c * kp - s * kq, a[k][q] = s * kp + c * kq;
        }
        for (size_t k = 0; k < n; ++k) {
          const double pk = a[p][k], qk = a[q][k];
          a[p][k] = c * pk - s * qk, a[q][k] = s * pk + c * qk;
        }
        for (size_t k = 0; k < n; ++k) {
          const double kp = v[k][p], kq = v[k][q];
          v[k][p] = c * kp - s * kq, v[k][q] = s * kp + c * kq;
        }
      }
  }
  double largest = 0;
  for (size_t i = 0; i < n; ++i) largest = std::max(largest, a[i][i]);
  PseudoInverse result{std::vector<std::vector<double>>(n, std::vector<double>(n, 0.0)), {}};
  for (size_t e = 0; e < n; ++e) {
    std::vector<double> direction(n);
    for (size_t i = 0; i < n; ++i) direction[i] = v[i][e];
    if (!(a[e][e] > relative * largest)) {
      result.left_out.push_back(std::move(direction));
      continue;
    }
    for (size_t i = 0; i < n; ++i)
      for (size_t k = 0; k < n; ++k) result.inverse[i][k] += direction[i] * direction[k] / a[e][e];
  }
  return result;
}
