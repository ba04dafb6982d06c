#pragma once

#include <vector>

#include "vari.h"

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

// The record result of the curves in CurrentSamples and VoltageSamples: half-period
// averages, difference windows, the means and the error. Writes WindowCount, the
// working tables and RecordResult; fills *drawing when it is given. abs_du is the
// "Модуль dU" option.
//
// A half-period whose window holds no sample of the curve has no mean; a record that
// needs one has NaN for all four results. The tables never hold more half-periods than
// the curve has windows for, and at most a bounded run of them at a time, so a header
// that promises millions of periods costs no more memory than its curves.
void ComputeRecordResult(Vari& v, bool abs_du, RecordDrawing* drawing);
