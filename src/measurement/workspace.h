#pragma once
// What a pass over records changes while it reads a survey: the open file, the curves of
// the record loaded last, the processing tables and what is known of them. One per
// thread; a Survey is read beside it and never changed.

#include <cstdint>
#include <vector>

#include "measurement/current_curve_cache.h"
#include "measurement/data_file.h"

class BlockReadAhead;

struct Workspace {
  ::DataFile DataFile;  // open for one pass or one record at a time

  // Sized and filled by the record loader; mA and mV once loaded.
  std::vector<float> CurrentSamples;
  std::vector<float> VoltageSamples;

  // The record processor's working tables (indexed from 1), sized by the record
  // processed, never beyond what its curve holds.
  int32_t WindowCount = 0;
  std::vector<double> AvgI, AvgV, AvgX;  // per half-period
  std::vector<double> DU, EP, DI;        // per difference window

  // Which current curve CurrentSamples holds and whether AvgI holds its means, so that
  // the channels of one block read and average their shared current curve once.
  CurrentCurveCache CurrentCache;
  // The blocks of the pass under way read ahead on a second thread, or null.
  BlockReadAhead* ReadAhead = nullptr;
};
