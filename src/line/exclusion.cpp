#include "line/exclusion.h"

#include <cmath>

namespace {

bool UsesElectrode(const LineRecord& record, double position) {
  for (const std::optional<double>& x : {record.a, record.b, record.m, record.n})
    if (x && std::abs(*x - position) <= SamePositionM) return true;
  return false;
}

bool UsesAnyElectrode(const LineRecord& record, const std::vector<double>& positions) {
  for (double position : positions)
    if (UsesElectrode(record, position)) return true;
  return false;
}

}  // namespace

const char* CauseName(ExclusionCause cause) {
  switch (cause) {
    case ExclusionCause::None: return "";
    case ExclusionCause::ByHand: return "by hand";
    case ExclusionCause::Electrode: return "electrode";
    case ExclusionCause::GeometricFactor: return "|K|";
    case ExclusionCause::NegativeRhoa: return "negative ρa";
    case ExclusionCause::StackingError: return "stacking error";
    case ExclusionCause::ReciprocalError: return "reciprocal error";
    case ExclusionCause::Chargeability: return "chargeability";
    case ExclusionCause::DecayMisfit: return "decay misfit";
    case ExclusionCause::DecayNotMonotone: return "decay not monotone";
  }
  return "";
}

ExclusionCause CauseOf(const LineRecord& record, const ExclusionRules& rules, const std::set<RecordRef>& by_hand) {
  if (by_hand.contains(record.ref)) return ExclusionCause::ByHand;
  if (UsesAnyElectrode(record, rules.electrodes)) return ExclusionCause::Electrode;
  if (rules.max_abs_k && std::abs(record.k) > *rules.max_abs_k) return ExclusionCause::GeometricFactor;
  if (rules.negative_rhoa && record.rhoa < 0) return ExclusionCause::NegativeRhoa;
  if (rules.max_error_pct && record.stacking_error_pct > *rules.max_error_pct) return ExclusionCause::StackingError;
  if (rules.max_reciprocal_pct && record.reciprocal_error_pct > *rules.max_reciprocal_pct)
    return ExclusionCause::ReciprocalError;
  if (rules.m_range_mv_v &&
      (record.chargeability_mv_v < rules.m_range_mv_v->first || record.chargeability_mv_v > rules.m_range_mv_v->second))
    return ExclusionCause::Chargeability;
  if (rules.max_decay_misfit && record.decay_misfit > *rules.max_decay_misfit) return ExclusionCause::DecayMisfit;
  if (rules.decay_not_monotone && record.decay_not_monotone) return ExclusionCause::DecayNotMonotone;
  return ExclusionCause::None;
}

int ExclusionCounts::Excluded() const {
  int excluded = 0;
  for (int cause = 1; cause < ExclusionCauseCount; ++cause) excluded += by_cause[static_cast<size_t>(cause)];
  return excluded;
}

Exclusions Evaluate(const std::vector<LineRecord>& records, const ExclusionRules& rules,
                    const std::set<RecordRef>& by_hand) {
  Exclusions result;
  result.causes.reserve(records.size());
  for (const LineRecord& record : records) {
    const ExclusionCause cause = CauseOf(record, rules, by_hand);
    result.causes.push_back(cause);
    ++result.counts.by_cause[static_cast<size_t>(cause)];
  }
  return result;
}
