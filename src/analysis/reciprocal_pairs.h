#pragma once
// Normal/reciprocal pairs and the data error they show (LaBrecque et al. 1996): a
// record measured again with the current and potential dipoles exchanged gives the
// same transfer resistance on any earth, so their difference is the data's error.

#include <string>
#include <vector>

struct MeasuredRecord {
  int k = 0;
  int a = 0, b = 0, m = 0, n = 0;  // electrode numbers, 0 remote
  double r = 0;                    // transfer resistance, Ω
};

struct ReciprocalPair {
  int normal = 0, reciprocal = 0;  // record numbers; the normal one comes first in the survey
  double r_normal = 0;
  double r_reciprocal = 0;  // with the sign a swap within a dipole turned back
  double error = 0;         // (R_r - R_n) / mean(|R_n|, |R_r|)
};

// Records whose quadrupole is another's with the dipoles exchanged (A,B,M,N and M,N,A,B,
// or with either dipole's electrodes swapped, which turns the sign of R). Each record
// is in one pair at most; the earliest reciprocal is taken.
std::vector<ReciprocalPair> FindReciprocalPairs(const std::vector<MeasuredRecord>& records);

// The least relative error the model gives a resistance, 0.01 %: an inversion weights a
// record by the inverse of its error, and pairs that happen to agree exactly must not
// give a record an error of 0.
constexpr double ErrorModelFloor = 1e-4;

// |ΔR| = a + b·|R| with a ≥ 0 and b ≥ 0, fitted by least squares to the RMS difference of
// the pairs in bins of |R| holding equal numbers of pairs: a line that falls with |R|
// would give the largest resistances an error of 0 or less.
struct ErrorModel {
  double a = 0;  // Ω
  double b = 0;  // relative
  int bins = 0;
  // The modelled |ΔR| of a resistance, Ω: a + b·|R|, and never below the floor.
  double ErrorOf(double r) const;
};
ErrorModel FitErrorModel(const std::vector<ReciprocalPair>& pairs);

// "|ΔR| = a + b·|R| Ω", both numbers as the model holds them.
std::string ErrorModelText(const ErrorModel& model);
