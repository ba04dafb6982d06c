#include "line/line_session.h"

#include "line/line_survey.h"

namespace {

LineSetup SetupOf(const LineProject& project) { return {project.surveys, project.topography, project.rules}; }

}  // namespace

LineSession::LineSession(std::string path, LineProject project)
    : path_(std::move(path)),
      project_(project),
      saved_(project),
      history_(SetupOf(project), project.excluded_by_hand) {}

LineProject LineSession::Project() const {
  LineProject project = project_;
  project.surveys = history_.Setup().surveys;
  project.topography = history_.Setup().topography;
  project.rules = history_.Setup().rules;
  project.excluded_by_hand = history_.ExcludedByHand();
  return project;
}

std::vector<std::string> LineSession::Save() {
  LineProject project = Project();
  std::vector<std::string> notes = WriteLineProject(path_, project);
  Restamp(project.surveys);
  saved_ = project;
  return notes;
}

std::vector<std::string> LineSession::SaveAs(const std::string& path) {
  LineProject project = Project();
  auto from_there = [&](const std::string& file) {
    return ProjectRelativeName(path, SurveyPath(path_, {file, 0, {}}));
  };
  for (LineSurvey& survey : project.surveys) survey.file = from_there(survey.file);
  std::vector<std::string> notes = WriteLineProject(path, project);
  history_.RenameSurveys(from_there);
  for (LineSurvey& survey : evaluated_for_.surveys) survey.file = from_there(survey.file);
  Restamp(project.surveys);
  path_ = path;
  saved_ = project;
  return notes;
}

void LineSession::Restamp(const std::vector<LineSurvey>& stamped) {
  auto restamp = [&](LineSurvey& survey) {
    for (const LineSurvey& written : stamped)
      if (written.file == survey.file) survey.stamp = written.stamp;
  };
  history_.UpdateSurveys(restamp);
  for (LineSurvey& survey : evaluated_for_.surveys) restamp(survey);
}

void LineSession::SetData(std::shared_ptr<const LineData> data, const LineProject& evaluated_for, bool with_m,
                          bool with_fit) {
  data_ = std::move(data);
  evaluated_for_ = evaluated_for;
  evaluated_with_m_ = with_m || with_fit;
  evaluated_with_fit_ = with_fit;
}

bool LineSession::NeedsEvaluation() const {
  if (!data_) return true;
  const LineProject& then = evaluated_for_;
  const LineSetup& now = history_.Setup();
  if (then.surveys != now.surveys || then.topography != now.topography || then.processing != project_.processing)
    return true;
  // The rules look at M or the decay's fit: it must have been computed.
  return (WantsM() && !evaluated_with_m_) || (WantsDecayFit() && !evaluated_with_fit_);
}

void LineSession::AddSurvey(const std::string& file, double offset_m) {
  LineProject project = Project();
  AddLineSurvey(path_, project, file, offset_m);
  history_.Change(SetupOf(project));
}

void LineSession::SetOffset(int survey, double offset_m) {
  LineSetup setup = history_.Setup();
  setup.surveys.at(static_cast<size_t>(survey)).offset_m = offset_m;
  history_.Change(std::move(setup));
}

void LineSession::RemoveSurvey(int survey) {
  LineSetup setup = history_.Setup();
  const size_t at = static_cast<size_t>(survey);
  if (at >= setup.surveys.size()) return;
  setup.surveys.erase(setup.surveys.begin() + survey);
  std::set<RecordRef> kept;
  for (RecordRef ref : history_.ExcludedByHand()) {
    if (ref.file == survey) continue;
    if (ref.file > survey) --ref.file;
    kept.insert(ref);
  }
  history_.Change(std::move(setup), kept);
}

void LineSession::SetTopography(const Topography& topography, const std::string& name) {
  LineProject project = Project();
  SetLineTopography(path_, project, topography, name);
  history_.Change(SetupOf(project));
}

void LineSession::SetRules(const ExclusionRules& rules) {
  LineSetup setup = history_.Setup();
  setup.rules = rules;
  history_.Change(std::move(setup));
}

Exclusions LineSession::Current() const {
  if (!data_) return {};
  return Evaluate(data_->records, Rules(), history_.ExcludedByHand());
}

int LineSession::SurveyOf(const std::string& file) const {
  LineProject surveys;
  surveys.surveys = history_.Setup().surveys;
  return SurveyOfFile(path_, surveys, file);
}

LineSession NewLineSession(const std::string& path, const std::vector<std::string>& files) {
  // Nothing is on disc yet: the surveys are added to an empty project, unsaved.
  LineSession made(path, LineProject{});
  for (const std::string& file : files)
    if (made.SurveyOf(file) < 0) made.AddSurvey(file, 0);
  return made;
}
