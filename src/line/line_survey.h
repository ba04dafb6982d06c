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

// Adds a survey to the project, stamped as it is now, at the end of the line. Throws
// LineFileError naming the file when it cannot be read or indexed, or when the project's
// gates do not fit its records.
void AddLineSurvey(const std::string& project_path, LineProject& project, const std::string& file, double offset_m);

// Sets the line's topography once it is known to reach every electrode of the line's
// surveys; throws LineFileError naming `name` (where the points came from) when it does
// not, and leaves the project as it was.
void SetLineTopography(const std::string& project_path, LineProject& project, const Topography& topography,
                       const std::string& name);
