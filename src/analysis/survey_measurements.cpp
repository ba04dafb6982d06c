#include "analysis/survey_measurements.h"

std::vector<MeasuredRecord> MeasureSurvey(const Survey& survey, const RecordOptions& options,
                                          const Progress& progress) {
  std::vector<MeasuredRecord> records;
  PassOptions pass;
  pass.record = options;
  RecordPass(
      survey, pass,
      [&](const RecordRow& row) {
        const RecordIndexEntry& entry = row.entry;
        records.push_back({row.k, entry.A, entry.B, entry.M, entry.N, row.evaluation.resistivity.r});
      },
      progress);
  return records;
}
