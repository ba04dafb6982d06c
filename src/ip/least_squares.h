#pragma once
// The small least-squares tools the cleaning of the pauses needs: a straight line through
// a series, a dot product, and a small linear system.

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

// The solution of the small system a x = b; all zeros when a is singular.
std::vector<double> Solve(std::vector<std::vector<double>> a, std::vector<double> b);

// The pseudo-inverse of a small symmetric positive semi-definite matrix, from its
// eigenvalues: directions whose eigenvalue lies below `relative` of the largest are left
// out (the data say nothing of them) and listed, each a unit vector.
struct PseudoInverse {
  std::vector<std::vector<double>> inverse;
  std::vector<std::vector<double>> left_out;
};
PseudoInverse PseudoInverseOf(const std::vector<std::vector<double>>& a, double relative);
