#pragma once
// The records excluded by hand while a line is open, with the steps that led there: each
// step can be undone, and redone until a new step is taken, back to the set the project
// opened with.

#include <set>
#include <vector>

#include "line/exclusion.h"

class ExclusionHistory {
 public:
  explicit ExclusionHistory(std::set<RecordRef> opening = {}) : current_(std::move(opening)) {}

  const std::set<RecordRef>& Current() const { return current_; }

  // One step: every record given changes side (a Ctrl click or a Ctrl rectangle).
  void Toggle(const std::vector<RecordRef>& records);
  // One step: the records given are excluded (Delete); none already excluded changes.
  void Exclude(const std::vector<RecordRef>& records);

  bool CanUndo() const { return done_ > 0; }
  bool CanRedo() const { return done_ < steps_.size(); }
  void Undo();
  void Redo();

 private:
  void Flip(const std::vector<RecordRef>& records);
  void Take(std::vector<RecordRef> flipped);

  std::set<RecordRef> current_;
  // Each step as the records it flipped, each once; the first done_ are in effect.
  std::vector<std::vector<RecordRef>> steps_;
  size_t done_ = 0;
};
