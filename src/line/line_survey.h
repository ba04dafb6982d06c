#pragma once
// Opening the surveys of a line for what needs only their index: each is checked against
// its stamp first, so a survey moved or changed since it was added is refused by name.

#include <string>
#include <vector>

#include "line/line_project.h"

struct IndexedSurvey {
  std::string path;  // as opened: beside the project
  int32_t record_count = 0;
  int32_t half_period = 0;  // samples, as the header gives them
  int32_t sample_rate = 0;
  std::vector<double> positions;  // the electrodes its records use, after the offset
};

// Throws LineFileError naming the survey's file.
IndexedSurvey IndexLineSurvey(const std::string& project_path, const LineSurvey& survey);
std::vector<IndexedSurvey> IndexLineSurveys(const std::string& project_path, const LineProject& project);

// Throws LineFileError naming the survey when the record is not one of its records.
void CheckRecordNumber(const IndexedSurvey& survey, int32_t record);
void CheckRecordNumber(const std::string& name, int32_t record_count, int32_t record);
