#include "formats/survey_row.h"

#include <cmath>

bool SurveyRow::Complete() const {
  for (double value : {result.MeanDU, result.MeanI, spread_pct, resistivity.k, resistivity.r, resistivity.rhoa})
    if (!std::isfinite(value)) return false;
  return true;
}

SurveyRow RowOf(const Vari& v, int k) {
  SurveyRow row;
  row.k = k;
  row.entry = v.RecordIndex[static_cast<size_t>(k)];
  row.result = v.RecordResult;
  row.spread_pct = v.StackingSpreadPct;
  row.positions = QuadrupoleOf(v, row.entry);
  row.resistivity = ResistivityOf(row.positions, row.result);
  return row;
}
