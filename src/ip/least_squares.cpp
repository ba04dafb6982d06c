#include "ip/least_squares.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

void Dots(std::span<const double> x, const double* table, size_t stride, size_t count, double* out) {
  size_t k = 0;
#if defined(__SSE2__)
  // Four series at a time, each with Dot's four partial sums as two pairs.
  const size_t n = x.size(), whole = n / 4 * 4;
  for (; k + 4 <= count; k += 4) {
    __m128d low[4], high[4];
    const double* f[4];
    for (size_t t = 0; t < 4; ++t) low[t] = high[t] = _mm_setzero_pd(), f[t] = table + (k + t) * stride;
    for (size_t i = 0; i < whole; i += 4) {
      const __m128d x_low = _mm_loadu_pd(x.data() + i), x_high = _mm_loadu_pd(x.data() + i + 2);
      for (size_t t = 0; t < 4; ++t) {
        low[t] = _mm_add_pd(low[t], _mm_mul_pd(_mm_loadu_pd(f[t] + i), x_low));
        high[t] = _mm_add_pd(high[t], _mm_mul_pd(_mm_loadu_pd(f[t] + i + 2), x_high));
      }
    }
    for (size_t t = 0; t < 4; ++t) {
      double sums[4];
      _mm_storeu_pd(sums, low[t]);
      _mm_storeu_pd(sums + 2, high[t]);
      for (size_t j = whole; j < n; ++j) sums[0] += f[t][j] * x[j];
      out[k + t] = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    }
  }
#endif
  for (; k < count; ++k) out[k] = Dot(std::span(table + k * stride, x.size()), x);
}

void SubtractEach(std::span<double> x, const double* c, const double* const* f, size_t count) {
  const size_t n = x.size();
  size_t j = 0;
#if defined(__SSE2__)
  // Eight samples at a time, each through every series before it is stored.
  for (; j + 8 <= n; j += 8) {
    __m128d v[4];
    for (size_t q = 0; q < 4; ++q) v[q] = _mm_loadu_pd(x.data() + j + 2 * q);
    for (size_t k = 0; k < count; ++k) {
      const __m128d scale = _mm_set1_pd(c[k]);
      for (size_t q = 0; q < 4; ++q) v[q] = _mm_sub_pd(v[q], _mm_mul_pd(scale, _mm_loadu_pd(f[k] + j + 2 * q)));
    }
    for (size_t q = 0; q < 4; ++q) _mm_storeu_pd(x.data() + j + 2 * q, v[q]);
  }
#endif
  for (; j < n; ++j) {
    double value = x[j];
    for (size_t k = 0; k < count; ++k) value -= c[k] * f[k][j];
    x[j] = value;
  }
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
SquareMatrix CholeskyInverse(const SquareMatrix& a) {
  const size_t n = a.size();
  SquareMatrix l(n);
  for (size_t j = 0; j < n; ++j) {
    double pivot = a[j][j];
    for (size_t k = 0; k < j; ++k) pivot -= l[j][k] * l[j][k];
    if (!(pivot > 0)) return SquareMatrix();
    l[j][j] = std::sqrt(pivot);
    for (size_t i = j + 1; i < n; ++i) {
      double value = a[i][j];
      for (size_t k = 0; k < j; ++k) value -= l[i][k] * l[j][k];
      l[i][j] = value / l[j][j];
    }
  }
  // L^-1 column by column, then (L^-1)' L^-1.
  SquareMatrix m(n);
  for (size_t j = 0; j < n; ++j) {
    m[j][j] = 1 / l[j][j];
    for (size_t i = j + 1; i < n; ++i) {
      double value = 0;
      for (size_t k = j; k < i; ++k) value -= l[i][k] * m[k][j];
      m[i][j] = value / l[i][i];
    }
  }
  SquareMatrix inverse(n);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j <= i; ++j) {
      double value = 0;
      for (size_t k = i; k < n; ++k) value += m[k][i] * m[k][j];
      inverse[i][j] = inverse[j][i] = value;
    }
  return inverse;
}

}  // namespace

PseudoInverse PseudoInverseOf(const SquareMatrix& matrix, double relative) {
  // Where the plain inverse shows every eigenvalue well above the limit (the smallest is at
  // least 1 / its trace, the largest at most the matrix's trace), it is the answer.
  double trace = 0;
  for (size_t i = 0; i < matrix.size(); ++i) trace += matrix[i][i];
  SquareMatrix inverse = CholeskyInverse(matrix);
  if (inverse.size() > 0) {
    double inverse_trace = 0;
    for (size_t i = 0; i < inverse.size(); ++i) inverse_trace += inverse[i][i];
    if (inverse_trace * trace * relative < 1e-2) return {std::move(inverse), {}};
  }
  // Cyclic Jacobi rotations: a becomes diagonal, v gathers the eigenvectors as columns.
  const size_t n = matrix.size();
  SquareMatrix a = matrix, v(n);
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
  PseudoInverse result{SquareMatrix(n), {}};
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
