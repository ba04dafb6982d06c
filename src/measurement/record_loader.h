#pragma once

#include <memory>
#include <vector>

#include "measurement/block_read_ahead.h"
#include "measurement/survey.h"
#include "measurement/workspace.h"

// Reads record k's current and voltage curves through the workspace's open DataFile
// into its CurrentSamples and VoltageSamples, in mA and mV, the voltage multiplied by -1
// when flip_sign is set. Throws "Read beyond end of file" when the file has become
// shorter than its index. k must lie in 1..RecordCount.
void LoadRecordSamples(const Survey& survey, Workspace& work, int k, bool flip_sign);

// What a pass over records 1..RecordCount reads, in the order it reads it: each block's
// current curve and the voltage curves of its records in one range, from where the
// block before it ended when only the block's few header bytes lie between them.
std::vector<BlockReadAhead::Range> PassBlocks(const Survey& survey);

// Which of a pass's blocks one workspace goes through: those whose place among them
// (from 0) leaves `part` when divided by `parts`.
struct PassShare {
  size_t part = 0;
  size_t parts = 1;
};

// Reads the blocks of a pass ahead while it lives, when they are small enough: every
// block on two threads, or the share of one of several workspaces on one.
class PassReadAhead {
 public:
  PassReadAhead(const Survey& survey, Workspace& work, BlockReadAhead::Observer observer = {}, PassShare share = {});
  ~PassReadAhead();
  PassReadAhead(const PassReadAhead&) = delete;
  PassReadAhead& operator=(const PassReadAhead&) = delete;

 private:
  Workspace& work_;
  std::unique_ptr<BlockReadAhead> read_ahead_;
};

// The two halves of a load, for a caller that draws the current before it reads the voltage.
void LoadCurrentSamples(const Survey& survey, Workspace& work, int k);
void LoadVoltageSamples(const Survey& survey, Workspace& work, int k, bool flip_sign);
