#include "ip/least_squares.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>

#include "ip/wide_vectors.h"

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

namespace {

// Each series' four partial sums, lane k over the samples i ≡ k (mod 4), as Dot keeps
// them; the samples [from, to), to - from a multiple of four, added to sums[t].
template <size_t Together>
void LanesPlain(const double* x, const double* const* f, size_t from, size_t to, double (*sums)[4]) {
  for (size_t i = from; i < to; i += 4)
    for (size_t t = 0; t < Together; ++t)
      for (size_t k = 0; k < 4; ++k) sums[t][k] += f[t][i + k] * x[i + k];
}

#if defined(__SSE2__)
// The four lanes as two pairs.
template <size_t Together>
void LanesNarrow(const double* x, const double* const* f, size_t from, size_t to, double (*sums)[4]) {
  __m128d low[Together], high[Together];
  for (size_t t = 0; t < Together; ++t) low[t] = _mm_loadu_pd(sums[t]), high[t] = _mm_loadu_pd(sums[t] + 2);
  for (size_t i = from; i < to; i += 4) {
    const __m128d x_low = _mm_loadu_pd(x + i), x_high = _mm_loadu_pd(x + i + 2);
    for (size_t t = 0; t < Together; ++t) {
      low[t] = _mm_add_pd(low[t], _mm_mul_pd(_mm_loadu_pd(f[t] + i), x_low));
      high[t] = _mm_add_pd(high[t], _mm_mul_pd(_mm_loadu_pd(f[t] + i + 2), x_high));
    }
  }
  for (size_t t = 0; t < Together; ++t) _mm_storeu_pd(sums[t], low[t]), _mm_storeu_pd(sums[t] + 2, high[t]);
}

// Sixteen samples of [from, to) at a time (to - from a multiple of sixteen), each through
// every series before it is stored.
void SubtractNarrow(double* x, const double* c, const double* const* f, size_t count, size_t from, size_t to) {
  for (size_t j = from; j < to; j += 16) {
    __m128d v[8];
    for (size_t q = 0; q < 8; ++q) v[q] = _mm_loadu_pd(x + j + 2 * q);
    for (size_t k = 0; k < count; ++k) {
      const __m128d scale = _mm_set1_pd(c[k]);
      for (size_t q = 0; q < 8; ++q) v[q] = _mm_sub_pd(v[q], _mm_mul_pd(scale, _mm_loadu_pd(f[k] + j + 2 * q)));
    }
    for (size_t q = 0; q < 8; ++q) _mm_storeu_pd(x + j + 2 * q, v[q]);
  }
}
#endif

#if defined(VOSTREL_WIDE_VECTORS)
// The same with the four lanes in one register.
template <size_t Together>
[[gnu::target("avx2")]] void LanesWide(const double* x, const double* const* f, size_t from, size_t to,
                                       double (*sums)[4]) {
  __m256d lanes[Together];
  for (size_t t = 0; t < Together; ++t) lanes[t] = _mm256_loadu_pd(sums[t]);
  for (size_t i = from; i < to; i += 4) {
    const __m256d v = _mm256_loadu_pd(x + i);
    for (size_t t = 0; t < Together; ++t)
      lanes[t] = _mm256_add_pd(lanes[t], _mm256_mul_pd(_mm256_loadu_pd(f[t] + i), v));
  }
  for (size_t t = 0; t < Together; ++t) _mm256_storeu_pd(sums[t], lanes[t]);
}

[[gnu::target("avx2")]] void SubtractWide(double* x, const double* c, const double* const* f, size_t count, size_t from,
                                          size_t to) {
  for (size_t j = from; j < to; j += 16) {
    __m256d v[4];
    for (size_t q = 0; q < 4; ++q) v[q] = _mm256_loadu_pd(x + j + 4 * q);
    for (size_t k = 0; k < count; ++k) {
      const __m256d scale = _mm256_set1_pd(c[k]);
      for (size_t q = 0; q < 4; ++q)
        v[q] = _mm256_sub_pd(v[q], _mm256_mul_pd(scale, _mm256_loadu_pd(f[k] + j + 4 * q)));
    }
    for (size_t q = 0; q < 4; ++q) _mm256_storeu_pd(x + j + 4 * q, v[q]);
  }
}
#endif

// Lane sums of the series f[0..count) over [from, to): as many at a time as the registers hold.
void Lanes(const double* x, const double* const* f, size_t count, size_t from, size_t to, double (*sums)[4]) {
  size_t t = 0;
#if defined(VOSTREL_WIDE_VECTORS)
  if (HasWideVectors()) {
    for (; t + 8 <= count; t += 8) LanesWide<8>(x, f + t, from, to, sums + t);
    for (; t + 4 <= count; t += 4) LanesWide<4>(x, f + t, from, to, sums + t);
    for (; t + 2 <= count; t += 2) LanesWide<2>(x, f + t, from, to, sums + t);
    for (; t < count; ++t) LanesWide<1>(x, f + t, from, to, sums + t);
    return;
  }
#endif
#if defined(__SSE2__)
  for (; t + 4 <= count; t += 4) LanesNarrow<4>(x, f + t, from, to, sums + t);
  for (; t + 2 <= count; t += 2) LanesNarrow<2>(x, f + t, from, to, sums + t);
  for (; t < count; ++t) LanesNarrow<1>(x, f + t, from, to, sums + t);
#endif
  for (; t < count; ++t) LanesPlain<1>(x, f + t, from, to, sums + t);
}

// Samples at a time through every row, so that the series' stretch stays in the fastest
// cache from one row to the next.
constexpr size_t Stretch = 128;

}  // namespace

void Dots(std::span<const double> x, const double* table, size_t stride, size_t count, double* out) {
  DotsOfRows(x.data(), x.size(), 1, x.size(), table, stride, count, out);
}

void DotsOfRows(const double* x, size_t row_stride, size_t rows, size_t n, const double* table, size_t stride,
                size_t count, double* out) {
  const size_t whole = n / 4 * 4;
  // On the stack for the few series of a short stretch, the common call.
  constexpr size_t Held = 64;
  double held_sums[Held][4];
  const double* held_series[Held];
  std::vector<double> more_sums;
  std::vector<const double*> more_series;
  double(*sums)[4] = held_sums;
  const double** f = held_series;
  if (rows * count > Held || count > Held) {
    more_sums.resize(4 * rows * count), more_series.resize(count);
    sums = reinterpret_cast<double(*)[4]>(more_sums.data()), f = more_series.data();
  }
  for (size_t i = 0; i < rows * count; ++i) sums[i][0] = sums[i][1] = sums[i][2] = sums[i][3] = 0;
  for (size_t k = 0; k < count; ++k) f[k] = table + k * stride;
  for (size_t from = 0; from < whole; from += Stretch)
    for (size_t r = 0; r < rows; ++r)
      Lanes(x + r * row_stride, f, count, from, std::min(whole, from + Stretch), sums + r * count);
  for (size_t r = 0; r < rows; ++r)
    for (size_t k = 0; k < count; ++k) {
      double* lanes = sums[r * count + k];
      for (size_t j = whole; j < n; ++j) lanes[0] += f[k][j] * x[r * row_stride + j];
      out[r * count + k] = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    }
}

void SubtractOfRows(double* x, size_t row_stride, size_t rows, size_t n, const double* c, const double* table,
                    size_t stride, size_t count) {
  // Each row's series with a coefficient, in order.
  std::vector<size_t> first(rows + 1, 0);
  std::vector<double> scales;
  std::vector<const double*> series;
  for (size_t r = 0; r < rows; ++r) {
    for (size_t k = 0; k < count; ++k)
      if (c[r * count + k] != 0) scales.push_back(c[r * count + k]), series.push_back(table + k * stride);
    first[r + 1] = scales.size();
  }
  const size_t whole = n / 16 * 16;
  for (size_t from = 0; from < whole; from += Stretch)
    for (size_t r = 0; r < rows; ++r) {
      const size_t to = std::min(whole, from + Stretch), held = first[r + 1] - first[r];
      double* row = x + r * row_stride;
#if defined(VOSTREL_WIDE_VECTORS)
      if (HasWideVectors()) {
        SubtractWide(row, scales.data() + first[r], series.data() + first[r], held, from, to);
        continue;
      }
#endif
#if defined(__SSE2__)
      SubtractNarrow(row, scales.data() + first[r], series.data() + first[r], held, from, to);
#else
      for (size_t j = from; j < to; ++j)
        for (size_t k = first[r]; k < first[r + 1]; ++k) row[j] -= scales[k] * series[k][j];
#endif
    }
  for (size_t r = 0; r < rows; ++r)
    for (size_t j = whole; j < n; ++j) {
      double value = x[r * row_stride + j];
      for (size_t k = first[r]; k < first[r + 1]; ++k) value -= scales[k] * series[k][j];
      x[r * row_stride + j] = value;
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
