#include "formats/survey_row.h"

#include <algorithm>
#include <cmath>

#include "ip/decay_fit.h"

bool RowChargeability::DecayComplete() const {
  if (!fit || gates.size() != gate_intervals.size()) return false;
  for (const std::vector<double>* values : {&gates, &gate_intervals})
    for (double value : *values)
      if (!std::isfinite(value)) return false;
  for (double value : {fit->tau_ms, fit->c, fit->chi2})
    if (!std::isfinite(value)) return false;
  return true;
}

bool SurveyRow::Complete() const {
  for (double value : {result.MeanDU, result.MeanI, spread_pct, resistivity.k, resistivity.r, resistivity.rhoa})
    if (!std::isfinite(value)) return false;
  return !ip || (std::isfinite(ip->m) && std::isfinite(ip->m_interval) && (!ip->fit || ip->DecayComplete()));
}

std::vector<const SurveyRow*> CarriedRows(const std::vector<SurveyRow>& rows, int& left_out, bool decay) {
  std::vector<const SurveyRow*> carried;
  for (const SurveyRow& row : rows) {
    if (row.Complete() && (!decay || (row.ip && row.ip->DecayComplete())))
      carried.push_back(&row);
    else
      ++left_out;
  }
  return carried;
}

std::vector<double> PlacedPositions(const std::vector<const SurveyRow*>& rows) {
  std::vector<double> positions;
  for (const SurveyRow* row : rows)
    for (const auto& x : {row->positions.a, row->positions.b, row->positions.m, row->positions.n})
      if (x) positions.push_back(*x);
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  return positions;
}

double ElevationAt(const std::vector<ElectrodeElevation>& elevations, double x) {
  auto at = std::lower_bound(elevations.begin(), elevations.end(), x,
                             [](const ElectrodeElevation& e, double value) { return e.x < value; });
  return at != elevations.end() && at->x == x ? at->z : 0.0;
}

SurveyRow RowOf(const Survey& v, int k, const RecordEvaluation& evaluation) {
  SurveyRow row;
  row.k = k;
  row.entry = v.RecordIndex[static_cast<size_t>(k)];
  row.result = evaluation.result;
  // The exchange formats carry the measured dU, whose ratio to I is the R they invert.
  row.result.MeanDU = evaluation.signed_mean_du;
  row.spread_pct = evaluation.spread_pct;
  row.positions = QuadrupoleOf(v.ElectrodeTable, row.entry);
  row.resistivity = evaluation.resistivity;
  return row;
}
