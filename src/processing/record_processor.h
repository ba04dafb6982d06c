#pragma once

#include <vector>

#include "measurement/record_result.h"
#include "measurement/survey.h"
#include "measurement/workspace.h"

struct ChartPoint {
  double x;
  double y;
};

// What the window draws for the record processed last with display on.
struct RecordDrawing {
  std::vector<ChartPoint> averaged_current;  // (AvgX, AvgI), one point per half-period
  std::vector<ChartPoint> averaged_voltage;  // (AvgX, AvgV)
  std::vector<ChartPoint> square_wave;       // 6 points per difference window, in drawing order
  std::vector<double> du_values;             // DU of every window, sign-corrected
  std::vector<double> di_values;             // DI of every window
};

// What the record processor knows of a record beyond its result.
struct RecordValues {
  RecordResultValues result;
  // The stacking error whatever the sign of the mean dU (ErrorPct holds the fixed value
  // 50 for a negative one): the data error of the exchange formats.
  double spread_pct = 0;
  // The mean dU before "Модуль dU": the primary voltage the chargeability is measured
  // against, so that M keeps its sign whatever that option shows.
  double signed_mean_du = 0;
};

// The record result of the curves in the workspace's CurrentSamples and VoltageSamples:
// half-period averages, difference windows, the means and the error. Uses the
// workspace's WindowCount and working tables as scratch; fills *drawing when it is
// given. abs_du is the "Модуль dU" option.
//
// A half-period whose window holds no sample of the curve has no mean; a record that
// needs one has NaN for all four results. The tables never hold more half-periods than
// the curve has windows for, and at most a bounded run of them at a time, so a header
// that promises millions of periods costs no more memory than its curves.
RecordValues ComputeRecordResult(const Survey& survey, Workspace& work, bool abs_du, RecordDrawing* drawing);
