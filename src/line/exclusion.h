#pragma once
// Which records of a line are left out, and why: the rules the user set and the records
// excluded by hand, evaluated on one plain row per record that the record pass fills.

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

// A record of the line: the survey's place in the project (from 0) and its number (from 1).
struct RecordRef {
  int file = 0;
  int32_t record = 0;
  auto operator<=>(const RecordRef&) const = default;
};

// What the rules look at in one record. Positions are along the line, after the
// survey's offset; a remote electrode has none.
struct LineRecord {
  RecordRef ref;
  std::optional<double> a, b, m, n;
  double k = 0;                     // geometric factor, m
  double r = 0;                     // resistance, Ω
  double rhoa = 0;                  // apparent resistivity, Ω·m
  double stacking_error_pct = 0;    // the stacking error of the exchange formats
  double reciprocal_error_pct = 0;  // NaN: no reciprocal measured
  double chargeability_mv_v = 0;    // NaN: not computed
  double decay_misfit = NAN;        // the decay fit's χ² per gate; NaN: no fit
  bool decay_not_monotone = false;  // the decay fit flagged a gate rising over the one before
};

struct ExclusionRules {
  std::optional<double> max_error_pct;       // stacking error above
  std::optional<double> max_reciprocal_pct;  // reciprocal error above
  bool negative_rhoa = false;
  std::optional<double> max_abs_k;                        // |K| above, m
  std::optional<std::pair<double, double>> m_range_mv_v;  // M outside [low, high]
  std::vector<double> electrodes;                         // every record using one of these positions
  std::optional<double> max_decay_misfit;                 // the decay fit's χ² per gate above
  bool decay_not_monotone = false;                        // a decay the fit flags as not monotone
  bool operator==(const ExclusionRules&) const = default;
  // Whether a rule looks at the decay's fit (and so at M, which it comes with).
  bool LookAtDecayFit() const { return max_decay_misfit.has_value() || decay_not_monotone; }
  bool LookAtM() const { return m_range_mv_v.has_value() || LookAtDecayFit(); }
};

// A record is left out for the first cause that holds, in this order: what the user
// decided on the record or the electrode before what the numbers say.
enum class ExclusionCause {
  None,
  ByHand,
  Electrode,
  GeometricFactor,
  NegativeRhoa,
  StackingError,
  ReciprocalError,
  Chargeability,
  DecayMisfit,
  DecayNotMonotone,
};
constexpr int ExclusionCauseCount = 10;

// "by hand", "electrode", "|K|", "negative ρa", "stacking error", "reciprocal error",
// "chargeability", "decay misfit", "decay not monotone"; "" for None.
const char* CauseName(ExclusionCause cause);

// Electrodes at most a millimetre apart are one electrode. The hundredth of a millimetre
// beyond takes in the rounding of coordinates kept in single precision: a spread rolled
// along by 5.001 m puts its electrodes a millimetre from the first spread's, and on them.
constexpr double SamePositionM = 0.001 + 1e-5;

// A NaN reciprocal error, M or misfit is never outside its limit: a record without a
// reciprocal, a chargeability or a decay fit is not left out for it.
ExclusionCause CauseOf(const LineRecord& record, const ExclusionRules& rules, const std::set<RecordRef>& by_hand);

struct ExclusionCounts {
  std::array<int, ExclusionCauseCount> by_cause{};  // indexed by ExclusionCause; [None]: records kept
  int Excluded() const;
  bool operator==(const ExclusionCounts&) const = default;
};

// The cause of each record, in order, and their counts.
struct Exclusions {
  std::vector<ExclusionCause> causes;
  ExclusionCounts counts;
};
Exclusions Evaluate(const std::vector<LineRecord>& records, const ExclusionRules& rules,
                    const std::set<RecordRef>& by_hand);
