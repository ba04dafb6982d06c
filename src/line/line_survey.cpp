#include "line/line_survey.h"

#include <memory>

#include "ip/gates.h"
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

void AddLineSurvey(const std::string& project_path, LineProject& project, const std::string& file, double offset_m) {
  LineSurvey survey{ProjectRelativeName(project_path, file), offset_m, {}};
  try {
    survey.stamp = StampOf(file);
  } catch (const std::exception& error) {
    throw LineFileError(file, error.what());
  }
  const IndexedSurvey indexed = IndexLineSurvey(project_path, survey);
  if (!project.processing.gates.empty()) {
    try {
      ParseGates(project.processing.gates, indexed.half_period, indexed.sample_rate);
    } catch (const std::invalid_argument& error) {
      throw LineFileError(file, error.what());
    }
  }
  project.surveys.push_back(survey);
}

void SetLineTopography(const std::string& project_path, LineProject& project, const Topography& topography,
                       const std::string& name) {
  std::vector<double> positions;
  for (const IndexedSurvey& survey : IndexLineSurveys(project_path, project))
    positions.insert(positions.end(), survey.positions.begin(), survey.positions.end());
  try {
    LineElectrodes(positions, topography);
  } catch (const std::invalid_argument& error) {
    throw LineFileError(name, error.what());
  }
  project.topography = topography;
}
