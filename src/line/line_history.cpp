#include "line/line_history.h"

#include <algorithm>
#include <iterator>

void LineHistory::Flip(const std::vector<RecordRef>& records) {
  for (const RecordRef& record : records)
    if (!excluded_.erase(record)) excluded_.insert(record);
}

void LineHistory::Take(Step step) {
  // A record named twice in one gesture flips once: flipping it twice would undo itself
  // in the step but not in what the user saw.
  std::sort(step.flipped.begin(), step.flipped.end());
  step.flipped.erase(std::unique(step.flipped.begin(), step.flipped.end()), step.flipped.end());
  if (step.flipped.empty() && !step.setup) return;
  steps_.resize(done_);
  Flip(step.flipped);
  if (step.setup) setup_ = step.setup->second;
  steps_.push_back(std::move(step));
  done_ = steps_.size();
}

void LineHistory::Toggle(const std::vector<RecordRef>& records) { Take({records}); }

void LineHistory::Exclude(const std::vector<RecordRef>& records) {
  std::vector<RecordRef> included;
  for (const RecordRef& record : records)
    if (!excluded_.contains(record)) included.push_back(record);
  Take({std::move(included)});
}

void LineHistory::Change(LineSetup setup, const std::set<RecordRef>& excluded_by_hand) {
  // The records that change side, whichever way: flipping them again goes back.
  Step step;
  std::set_symmetric_difference(excluded_.begin(), excluded_.end(), excluded_by_hand.begin(), excluded_by_hand.end(),
                                std::back_inserter(step.flipped));
  if (!(setup == setup_)) step.setup = std::pair{setup_, std::move(setup)};
  Take(std::move(step));
}

void LineHistory::Undo() {
  if (!CanUndo()) return;
  const Step& step = steps_[--done_];
  Flip(step.flipped);
  if (step.setup) setup_ = step.setup->first;
}

void LineHistory::Redo() {
  if (!CanRedo()) return;
  const Step& step = steps_[done_++];
  Flip(step.flipped);
  if (step.setup) setup_ = step.setup->second;
}

void LineHistory::RenameSurveys(const std::function<std::string(const std::string&)>& rename) {
  UpdateSurveys([&](LineSurvey& survey) { survey.file = rename(survey.file); });
}

void LineHistory::UpdateSurveys(const std::function<void(LineSurvey&)>& update) {
  auto renamed = [&](LineSetup& setup) {
    for (LineSurvey& survey : setup.surveys) update(survey);
  };
  renamed(setup_);
  for (Step& step : steps_)
    if (step.setup) {
      renamed(step.setup->first);
      renamed(step.setup->second);
    }
}
