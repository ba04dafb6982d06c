#pragma once
// The small least-squares tools the cleaning of the pauses needs: a straight line through
// a series, a dot product, and a small linear system.

#include <cstddef>
#include <span>
#include <vector>

// The least-squares line through x over j = 0..n-1: x ≈ at_zero + slope · j.
struct Line {
  double at_zero = 0;
  double slope = 0;
  double At(double j) const { return at_zero + slope * j; }
};
Line LineThrough(std::span<const double> x);

// Removes the least-squares line from x (in place); a single value becomes 0.
void Detrend(std::span<double> x);

// Σ x_i.
double Sum(std::span<const double> x);

// Σ a_i b_i over the shorter of the two.
double Dot(std::span<const double> a, std::span<const double> b);

// Dot(f_k, x) for `count` series f_k of x's length, f_k at table + k stride, into out[k]:
// the same sums, several series at a time so that they do not wait on one another.
void Dots(std::span<const double> x, const double* table, size_t stride, size_t count, double* out);
// The same for `rows` series x_r of n samples, x_r at x + r row_stride: into out[r count + k].
void DotsOfRows(const double* x, size_t row_stride, size_t rows, size_t n, const double* table, size_t stride,
                size_t count, double* out);

// x_r(j) -= Σ_k c[r count + k] f_k(j) for `rows` series x_r of n samples (x_r at x + r
// row_stride) and `count` series f_k (at table + k stride), the f_k subtracted in turn
// (k = 0 first) and those whose coefficient is 0 passed, as in-place subtractions one
// series at a time would do.
void SubtractOfRows(double* x, size_t row_stride, size_t rows, size_t n, const double* c, const double* table,
                    size_t stride, size_t count);

// The solution of the small system a x = b; all zeros when a is singular.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b);

// A small square matrix, its rows one after the other in one block: m[row][column].
class SquareMatrix {
 public:
  explicit SquareMatrix(size_t n = 0) : n_(n), values_(n * n, 0.0) {}
  size_t size() const { return n_; }
  double* operator[](size_t row) { return values_.data() + row * n_; }
  const double* operator[](size_t row) const { return values_.data() + row * n_; }

 private:
  size_t n_;
  std::vector<double> values_;
};

// The pseudo-inverse of a small symmetric positive semi-definite matrix, from its
// eigenvalues: directions whose eigenvalue lies below `relative` of the largest are left
// out (the data say nothing of them) and listed, each a unit vector.
struct PseudoInverse {
  SquareMatrix inverse;
  std::vector<std::vector<double>> left_out;
};
PseudoInverse PseudoInverseOf(const SquareMatrix& a, double relative);
