#include "line/line_survey.h"

#include <memory>

#include "line/line_electrodes.h"
#include "line/line_error.h"
#include "measurement/index_file.h"

IndexedSurvey IndexLineSurvey(const std::string& project_path, const LineSurvey& survey) {
  IndexedSurvey indexed;
  indexed.path = SurveyPath(project_path, survey);
  CheckStamp(indexed.path, indexed.path, survey.stamp);
  auto v = std::make_unique<Survey>();
  v->DataFileName = indexed.path;
  try {
    DataFile file;
    IndexFile(*v, file);
  } catch (const std::exception& error) {
    throw LineFileError(indexed.path, error.what());
  }
  indexed.record_count = v->RecordCount;
  indexed.half_period = v->HalfPeriod;
  indexed.sample_rate = v->SampleRate;
  indexed.positions = UsedPositions(*v, survey.offset_m);
  return indexed;
}

std::vector<IndexedSurvey> IndexLineSurveys(const std::string& project_path, const LineProject& project) {
  std::vector<IndexedSurvey> surveys;
  for (const LineSurvey& survey : project.surveys) surveys.push_back(IndexLineSurvey(project_path, survey));
  return surveys;
}

void CheckRecordNumber(const std::string& name, int32_t record_count, int32_t record) {
  if (record < 1 || record > record_count)
    throw LineFileError(name, "record " + std::to_string(record) + " is not in 1.." + std::to_string(record_count));
}

void CheckRecordNumber(const IndexedSurvey& survey, int32_t record) {
  CheckRecordNumber(survey.path, survey.record_count, record);
}
