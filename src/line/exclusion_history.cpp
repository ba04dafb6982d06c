#include "line/exclusion_history.h"

#include <algorithm>

void ExclusionHistory::Flip(const std::vector<RecordRef>& records) {
  for (const RecordRef& record : records)
    if (!current_.erase(record)) current_.insert(record);
}

void ExclusionHistory::Take(std::vector<RecordRef> flipped) {
  // A record named twice in one gesture flips once: flipping it twice would undo itself
  // in the step but not in what the user saw.
  std::sort(flipped.begin(), flipped.end());
  flipped.erase(std::unique(flipped.begin(), flipped.end()), flipped.end());
  if (flipped.empty()) return;
  steps_.resize(done_);
  Flip(flipped);
  steps_.push_back(std::move(flipped));
  done_ = steps_.size();
}

void ExclusionHistory::Toggle(const std::vector<RecordRef>& records) { Take(records); }

void ExclusionHistory::Exclude(const std::vector<RecordRef>& records) {
  std::vector<RecordRef> included;
  for (const RecordRef& record : records)
    if (!current_.contains(record)) included.push_back(record);
  Take(std::move(included));
}

void ExclusionHistory::Undo() {
  if (!CanUndo()) return;
  Flip(steps_[--done_]);
}

void ExclusionHistory::Redo() {
  if (!CanRedo()) return;
  Flip(steps_[done_++]);
}
