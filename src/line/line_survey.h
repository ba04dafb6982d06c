#pragma once
// Opening the surveys of a line for what needs only their index: each is checked against
// its stamp first, so a survey moved or changed since it was added is refused by name.
// And the changes to a project's surveys, each keeping the topography, the rules and the
// records excluded by hand.

#include <string>
#include <vector>

#include "line/line_project.h"

struct IndexedSurvey {
  std::string path;  // as opened: beside the project
  int32_t record_count = 0;
  int32_t half_period = 0;  // samples, as the header gives them
  int32_t sample_rate = 0;
  std::vector<double> positions;      // the electrodes its records use, after the offset
  std::vector<std::string> warnings;  // the index's, in English, "FILE: text"
};

// Throws LineFileError naming the survey's file.
IndexedSurvey IndexLineSurvey(const std::string& project_path, const LineSurvey& survey);
// Every survey of the project, and the project checked against each (below).
std::vector<IndexedSurvey> IndexLineSurveys(const std::string& project_path, const LineProject& project);

// What only the survey at `survey` shows of the project: a record excluded by hand beyond
// its last, or the project's gates outside its pause. Throws LineFileError naming the
// project's line that gives them ("LINE.vln:N: text"), or the survey for a project not
// read from a file.
void CheckProjectAgainst(const std::string& project_path, const LineProject& project, size_t survey,
                         int32_t record_count, int32_t half_period, int32_t sample_rate);

// Throws LineFileError naming the survey when the record is not one of its records.
void CheckRecordNumber(const IndexedSurvey& survey, int32_t record);
void CheckRecordNumber(const std::string& name, int32_t record_count, int32_t record);

// Adds a survey to the project, stamped as it is now, at the end of the line. Throws
// LineFileError naming the file when it cannot be read or indexed, when the project's
// gates do not fit its records, when it holds no complete record, or when the topography
// does not reach its electrodes. Returns what its index warns of ("FILE: text").
std::vector<std::string> AddLineSurvey(const std::string& project_path, LineProject& project, const std::string& file,
                                       double offset_m);

// Takes the survey at `survey` out of the line with its records excluded by hand; the
// later surveys' exclusions follow their places. Throws std::invalid_argument for the
// line's only survey: a line holds one at least.
void RemoveLineSurvey(LineProject& project, int survey);

// Moves the survey at `survey` along the line. Throws LineFileError naming the project
// when the topography does not reach its electrodes there, and leaves it as it was.
void SetLineOffset(const std::string& project_path, LineProject& project, int survey, double offset_m);

// Sets the line's topography once it is known to reach every electrode of the line's
// surveys; throws LineFileError naming `name` (where the points came from) when it does
// not, and leaves the project as it was.
void SetLineTopography(const std::string& project_path, LineProject& project, const Topography& topography,
                       const std::string& name);

// Leaves out every record on the line's electrode at `position` (within SamePositionM of
// it, whichever spread's coordinate merged into it); given again, the rule stays one.
// Throws LineFileError naming the project when no electrode of the line stands there.
void ExcludeElectrode(const std::string& project_path, LineProject& project, const std::vector<IndexedSurvey>& surveys,
                      double position);

// Takes records excluded by hand back in; a note for each that was not excluded by hand
// ("s1.qmr:5 was not excluded by hand"), which stays as it was.
std::vector<std::string> IncludeByHand(LineProject& project, const std::vector<RecordRef>& records);
