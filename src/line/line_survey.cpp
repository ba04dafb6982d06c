#include "line/line_survey.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "ip/gates.h"
#include "line/line_electrodes.h"
#include "line/line_error.h"
#include "line/number_text.h"
#include "measurement/index_file.h"

namespace {

std::vector<double> AllPositions(const std::vector<IndexedSurvey>& surveys) {
  std::vector<double> positions;
  for (const IndexedSurvey& survey : surveys)
    positions.insert(positions.end(), survey.positions.begin(), survey.positions.end());
  return positions;
}

// Throws LineFileError naming `name` when the topography does not reach an electrode.
void CheckReach(const std::vector<double>& positions, const Topography& topography, const std::string& name) {
  try {
    LineElectrodes(positions, topography);
  } catch (const std::invalid_argument& error) {
    throw LineFileError(name, error.what());
  }
}

// The survey's index, its stamp taken as checked.
IndexedSurvey IndexStamped(const std::string& project_path, const LineSurvey& survey) {
  IndexedSurvey indexed;
  indexed.path = SurveyPath(project_path, survey);
  auto v = std::make_unique<Survey>();
  v->DataFileName = indexed.path;
  try {
    DataFile file;
    for (const std::string& warning : IndexFile(*v, file).warnings)
      indexed.warnings.push_back(indexed.path + ": " + IndexWarningInEnglish(warning));
  } catch (const std::exception& error) {
    throw LineFileError(indexed.path, error.what());
  }
  indexed.record_count = v->RecordCount;
  indexed.half_period = v->HalfPeriod;
  indexed.sample_rate = v->SampleRate;
  indexed.positions = UsedPositions(*v, survey.offset_m);
  return indexed;
}

}  // namespace

IndexedSurvey IndexLineSurvey(const std::string& project_path, const LineSurvey& survey) {
  const std::string path = SurveyPath(project_path, survey);
  CheckStamp(path, path, survey.stamp);
  return IndexStamped(project_path, survey);
}

std::vector<IndexedSurvey> IndexLineSurveys(const std::string& project_path, const LineProject& project) {
  std::vector<IndexedSurvey> surveys;
  for (const LineSurvey& survey : project.surveys) {
    surveys.push_back(IndexLineSurvey(project_path, survey));
    const IndexedSurvey& indexed = surveys.back();
    CheckProjectAgainst(project_path, project, surveys.size() - 1, indexed.record_count, indexed.half_period,
                        indexed.sample_rate);
  }
  return surveys;
}

void CheckProjectAgainst(const std::string& project_path, const LineProject& project, size_t survey,
                         int32_t record_count, int32_t half_period, int32_t sample_rate) {
  const LineSurvey& named = project.surveys.at(survey);
  const std::string path = SurveyPath(project_path, named);
  for (auto ref = project.excluded_by_hand.lower_bound({static_cast<int>(survey), INT32_MIN});
       ref != project.excluded_by_hand.end() && ref->file == static_cast<int>(survey); ++ref) {
    if (ref->record >= 1 && ref->record <= record_count) continue;
    const auto line = project.lines.records.find(*ref);
    if (line == project.lines.records.end()) CheckRecordNumber(path, record_count, ref->record);
    throw LineFileError(project_path, line->second,
                        "record " + std::to_string(ref->record) + " of " + named.file + " is not in 1.." +
                            std::to_string(record_count));
  }
  if (project.processing.gates.empty()) return;
  try {
    ParseGates(project.processing.gates, half_period, sample_rate);
  } catch (const std::invalid_argument& error) {
    if (!project.lines.gates) throw LineFileError(path, error.what());
    throw LineFileError(project_path, project.lines.gates,
                        "gates " + project.processing.gates + " do not fit " + named.file + ": " + error.what());
  }
}

void CheckRecordNumber(const std::string& name, int32_t record_count, int32_t record) {
  if (record < 1 || record > record_count)
    throw LineFileError(name, "record " + std::to_string(record) + " is not in 1.." + std::to_string(record_count));
}

void CheckRecordNumber(const IndexedSurvey& survey, int32_t record) {
  CheckRecordNumber(survey.path, survey.record_count, record);
}

std::vector<std::string> AddLineSurvey(const std::string& project_path, LineProject& project, const std::string& file,
                                       double offset_m) {
  LineSurvey survey{ProjectRelativeName(project_path, file), offset_m, {}};
  try {
    survey.stamp = StampOf(file);
  } catch (const std::exception& error) {
    throw LineFileError(file, error.what());
  }
  // The surveys already in the line were checked when they came; the new one is read once.
  const IndexedSurvey indexed = IndexStamped(project_path, survey);
  if (indexed.record_count < 1) throw LineFileError(file, "no complete record: a line takes surveys with records");
  if (!project.processing.gates.empty()) {
    try {
      ParseGates(project.processing.gates, indexed.half_period, indexed.sample_rate);
    } catch (const std::invalid_argument& error) {
      throw LineFileError(file, error.what());
    }
  }
  CheckReach(indexed.positions, project.topography, file);
  project.surveys.push_back(survey);
  return indexed.warnings;
}

void RemoveLineSurvey(LineProject& project, int survey) {
  if (survey < 0 || static_cast<size_t>(survey) >= project.surveys.size())
    throw std::invalid_argument("no survey " + std::to_string(survey) + " in the line");
  if (project.surveys.size() == 1)
    throw std::invalid_argument(project.surveys.front().file + " is the line's only survey");
  project.surveys.erase(project.surveys.begin() + survey);
  std::set<RecordRef> kept;
  for (RecordRef ref : project.excluded_by_hand) {
    if (ref.file == survey) continue;
    if (ref.file > survey) --ref.file;
    kept.insert(ref);
  }
  project.excluded_by_hand = std::move(kept);
  project.lines.records.clear();  // they named the places the surveys had
}

void SetLineOffset(const std::string& project_path, LineProject& project, int survey, double offset_m) {
  LineSurvey& moved = project.surveys.at(static_cast<size_t>(survey));
  LineSurvey there = moved;
  there.offset_m = offset_m;
  CheckReach(IndexLineSurvey(project_path, there).positions, project.topography, project_path);
  moved = there;
}

void SetLineTopography(const std::string& project_path, LineProject& project, const Topography& topography,
                       const std::string& name) {
  CheckReach(AllPositions(IndexLineSurveys(project_path, project)), topography, name);
  project.topography = topography;
}

void ExcludeElectrode(const std::string& project_path, LineProject& project, const std::vector<IndexedSurvey>& surveys,
                      double position) {
  auto near = [&](double x) { return std::abs(x - position) <= SamePositionM; };
  const std::vector<double> electrodes = MergePositions(AllPositions(surveys));
  if (std::none_of(electrodes.begin(), electrodes.end(), near))
    throw LineFileError(project_path, "no electrode of the line stands at " + ShortestText(position) + " m");
  std::vector<double>& rules = project.rules.electrodes;
  if (std::none_of(rules.begin(), rules.end(), near)) rules.push_back(position);
}

std::vector<std::string> IncludeByHand(LineProject& project, const std::vector<RecordRef>& records) {
  std::vector<std::string> notes;
  for (const RecordRef& record : records)
    if (!project.excluded_by_hand.erase(record))
      notes.push_back(project.surveys.at(static_cast<size_t>(record.file)).file + ":" + std::to_string(record.record) +
                      " was not excluded by hand");
  return notes;
}
