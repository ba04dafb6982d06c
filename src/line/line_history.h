#pragma once
// The changes made to a line while it is open, each a step that can be undone, and redone
// until a new step is taken, back to the project as it was opened: its surveys with their
// offsets, the topography, the exclusion rules and the records excluded by hand. The
// processing options follow the window's check boxes and stay out of it.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "line/exclusion.h"
#include "line/line_project.h"

// What of a line the history keeps besides the records excluded by hand.
struct LineSetup {
  std::vector<LineSurvey> surveys;
  Topography topography;
  ExclusionRules rules;
  bool operator==(const LineSetup&) const = default;
};

class LineHistory {
 public:
  explicit LineHistory(LineSetup setup = {}, std::set<RecordRef> excluded_by_hand = {})
      : setup_(std::move(setup)), excluded_(std::move(excluded_by_hand)) {}

  const LineSetup& Setup() const { return setup_; }
  const std::set<RecordRef>& ExcludedByHand() const { return excluded_; }

  // One step: every record given changes side (a Ctrl click or a Ctrl rectangle).
  void Toggle(const std::vector<RecordRef>& records);
  // One step: the records given are excluded (Delete); none already excluded changes.
  void Exclude(const std::vector<RecordRef>& records);
  // One step: the setup becomes this, and the records excluded by hand these (a survey
  // taken out takes its own along and renumbers the later ones). Nothing changed, no step.
  void Change(LineSetup setup, const std::set<RecordRef>& excluded_by_hand);
  void Change(LineSetup setup) { Change(std::move(setup), excluded_); }

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  // Whether the step that Undo or Redo would take changes the setup: the line's records
  // must then be evaluated again.
  bool UndoChangesSetup() const { return CanUndo() && steps_[done_ - 1].setup.has_value(); }
  bool RedoChangesSetup() const { return CanRedo() && steps_[done_].setup.has_value(); }
  void Undo();
  void Redo();

  // Renames the surveys' files in every state kept: the project saved in another folder
  // names them from there.
  void RenameSurveys(const std::function<std::string(const std::string&)>& rename);
  // Changes every survey of every step alike (their stamps, written anew).
  void UpdateSurveys(const std::function<void(LineSurvey&)>& update);

 private:
  struct Step {
    std::vector<RecordRef> flipped;                          // each once
    std::optional<std::pair<LineSetup, LineSetup>> setup{};  // before and after
  };
  void Flip(const std::vector<RecordRef>& records);
  void Take(Step step);

  LineSetup setup_;
  std::set<RecordRef> excluded_;
  // The first done_ steps are in effect.
  std::vector<Step> steps_;
  size_t done_ = 0;
};
