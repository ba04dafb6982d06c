#pragma once
// The electrodes of a line: the positions the surveys' records use after their offsets,
// one electrode for all that stand within a millimetre of each other, each with where it
// stands on the ground. Records are never merged: a quadrupole measured in two spreads
// stays twice, and is found as a repeat.

#include <vector>

#include "line/exclusion.h"
#include "line/topography.h"
#include "measurement/survey.h"

struct LineElectrode {
  double position = 0;  // along the line, after the offset, m
  double x = 0;         // horizontal, m
  double z = 0;         // elevation, m
};

// Sorted, each the first of those within SamePositionM of it, without the positions that
// are no number. Never chains: positions a millimetre apart one after another stay apart
// once past a millimetre from the first.
std::vector<double> MergePositions(std::vector<double> positions);

// The merged positions placed on the ground; throws std::invalid_argument naming an
// electrode the topography does not reach.
std::vector<LineElectrode> LineElectrodes(const std::vector<double>& positions, const Topography& topography);

// The position of every electrode an indexed survey's records use, plus the offset, each
// once; a remote electrode has none. Reads only the index.
std::vector<double> UsedPositions(const Survey& v, double offset_m);

// Records that measured the same electrodes of the line as A, B, M and N, in groups of two
// or more: each group in the records' order, the groups in the order of their first record.
std::vector<std::vector<RecordRef>> Repeats(const std::vector<LineRecord>& records);
