#pragma once

#include <string>
#include <vector>

#include "vari.h"

struct ChartPoint {
  double x;
  double y;
};

// What the window draws for the record processed last with display on.
struct RecordDrawing {
  std::vector<ChartPoint> averaged_current;  // (AvgX, AvgI), 4n points
  std::vector<ChartPoint> averaged_voltage;  // (AvgX, AvgV), 4n points
  std::vector<ChartPoint> square_wave;       // 6 points per difference window, in drawing order
  std::string du_list;                       // " 50.000 50.000 ..." (each item after a blank)
  std::string di_list;                       // " 100.00 ..."
};

// The record result of the curves in CurrentSamples and VoltageSamples: half-period
// averages, difference windows, the means and the error. Writes WindowCount, the
// working tables and RecordResult; fills *drawing when it is given. abs_du is the
// "Модуль dU" option.
void ComputeRecordResult(Vari& v, bool abs_du, RecordDrawing* drawing);
