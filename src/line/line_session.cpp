#include "line/line_session.h"

#include "line/line_survey.h"

LineSession::LineSession(std::string path, LineProject project)
    : path_(std::move(path)), project_(project), saved_(project), history_(project.excluded_by_hand) {}

LineProject LineSession::Project() const {
  LineProject project = project_;
  project.excluded_by_hand = history_.Current();
  return project;
}

std::vector<std::string> LineSession::Save() {
  LineProject project = Project();
  std::vector<std::string> notes = WriteLineProject(path_, project);
  project_.surveys = project.surveys;  // stamped anew when an older version wrote them
  saved_ = project;
  return notes;
}

std::vector<std::string> LineSession::SaveAs(const std::string& path) {
  LineProject project = Project();
  for (LineSurvey& survey : project.surveys) survey.file = ProjectRelativeName(path, SurveyPath(path_, survey));
  std::vector<std::string> notes = WriteLineProject(path, project);
  path_ = path;
  project_.surveys = project.surveys;
  saved_ = project;
  return notes;
}

void LineSession::SetData(std::shared_ptr<const LineData> data, const LineProject& evaluated_for, bool with_m) {
  data_ = std::move(data);
  evaluated_for_ = evaluated_for;
  evaluated_with_m_ = with_m;
}

bool LineSession::NeedsEvaluation() const {
  if (!data_) return true;
  const LineProject& then = evaluated_for_;
  if (then.surveys != project_.surveys || then.topography != project_.topography ||
      then.processing != project_.processing)
    return true;
  // The rules look at M: it must have been computed.
  return WantsM() && !evaluated_with_m_;
}

void LineSession::AddSurvey(const std::string& file, double offset_m) {
  AddLineSurvey(path_, project_, file, offset_m);
}

void LineSession::SetOffset(int survey, double offset_m) {
  project_.surveys.at(static_cast<size_t>(survey)).offset_m = offset_m;
}

void LineSession::RemoveSurvey(int survey) {
  const size_t at = static_cast<size_t>(survey);
  if (at >= project_.surveys.size()) return;
  project_.surveys.erase(project_.surveys.begin() + survey);
  std::set<RecordRef> kept;
  for (RecordRef ref : history_.Current()) {
    if (ref.file == survey) continue;
    if (ref.file > survey) --ref.file;
    kept.insert(ref);
  }
  project_.excluded_by_hand = kept;
  history_ = ExclusionHistory(std::move(kept));
}

void LineSession::SetTopography(const Topography& topography, const std::string& name) {
  SetLineTopography(path_, project_, topography, name);
}

Exclusions LineSession::Current() const {
  if (!data_) return {};
  return Evaluate(data_->records, project_.rules, history_.Current());
}

int LineSession::SurveyOf(const std::string& file) const { return SurveyOfFile(path_, project_, file); }

LineSession NewLineSession(const std::string& path, const std::vector<std::string>& files) {
  // Nothing is on disc yet: the surveys are added to an empty project, unsaved.
  LineSession made(path, LineProject{});
  for (const std::string& file : files)
    if (made.SurveyOf(file) < 0) made.AddSurvey(file, 0);
  return made;
}
