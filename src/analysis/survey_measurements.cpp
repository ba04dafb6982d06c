#include "analysis/survey_measurements.h"

#include "measurement/record_loader.h"

std::vector<MeasuredRecord> MeasureSurvey(Vari& v, const RecordEvaluator& evaluate, const Progress& progress) {
  DataFileSession session(v.DataFile, v.DataFileName);
  PassReadAhead read_ahead(v);
  std::vector<MeasuredRecord> records;
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    const RecordIndexEntry& entry = v.RecordIndex[static_cast<size_t>(k)];
    records.push_back({k, entry.A, entry.B, entry.M, entry.N, v.RecordResult.MeanDU / v.RecordResult.MeanI});
    if (progress) progress(k, v.RecordCount);
  }
  return records;
}
