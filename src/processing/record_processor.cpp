#include "processing/record_processor.h"

#include <algorithm>
#include <span>
#include <cmath>
#include <limits>

#include "processing/format_fixed.h"
#include "processing/window_mean.h"

namespace {

constexpr double SignalThreshold = 0.005;  // mV: a smaller mean dU is no signal
constexpr double NoSignalError = 100;
constexpr double NegativeSignalError = 50;

void EnsureTableSize(std::vector<double>& table, int64_t last_index) {
  if (table.size() < static_cast<size_t>(last_index) + 1) table.resize(static_cast<size_t>(last_index) + 1);
}

int32_t WindowCountFor(int32_t period_count) {
  int64_t count = 2 * int64_t{period_count} - 1;
  return static_cast<int32_t>(std::max<int64_t>(count, std::numeric_limits<int32_t>::min()));
}

// table[k] = the mean of half-period k's window, for k = 1..half_periods.
void CurveMeans(std::span<const float> samples, int64_t a, int32_t w, int64_t half_periods,
                std::vector<double>& table) {
  int64_t starts[MaxSideBySideWindows];
  int64_t k = 1;
  while (k <= half_periods) {
    // A run of consecutive windows inside the curve is summed side by side.
    int count = 0;
    while (count < MaxSideBySideWindows && k + count <= half_periods &&
           WindowInsideCurve(samples.size(), (k + count) * a - w + 1, w)) {
      starts[count] = (k + count) * a - w + 1;
      ++count;
    }
    if (count == 0) {
      table[k] = WindowMean(samples, k * a - w + 1, w);
      ++k;
      continue;
    }
    SideBySideWindowMeans(samples, std::span(starts, count), w, std::span(table).subspan(k, count));
    k += count;
  }
}

void AverageHalfPeriods(Vari& v, int64_t half_periods, RecordDrawing* drawing) {
  const int64_t a = v.HalfPeriod;
  const int32_t w = v.WindowLen;
  // The channels of a block share their current curve; while it stays loaded its
  // averages are already in AvgI.
  const Vari::CurveWindowKey current{v.LoadedCurrentOffset, v.LoadedCurrentSession, v.HalfPeriod, w, v.PeriodCount};
  if (current.offset < 0 || current != v.AvgIKey) CurveMeans(v.CurrentSamples, a, w, half_periods, v.AvgI);
  v.AvgIKey = current;
  CurveMeans(v.VoltageSamples, a, w, half_periods, v.AvgV);
  for (int64_t k = 1; k <= half_periods; ++k) {
    v.AvgX[k] = static_cast<double>(k * a - w / 2) + 0.5;
    if (drawing) {
      drawing->averaged_current.push_back({v.AvgX[k], v.AvgI[k]});
      drawing->averaged_voltage.push_back({v.AvgX[k], v.AvgV[k]});
    }
  }
}

// Window s fitted as three levels: E + u over half-period 2s-1, E over 2s, E - u over 2s+1.
void AppendSquareWave(RecordDrawing& drawing, int64_t a, int64_t s, double level, float u) {
  double x0 = static_cast<double>(2 * a * (s - 1) + 1);
  double span = static_cast<double>(a);
  drawing.square_wave.insert(drawing.square_wave.end(), {{x0, level + u},
                                                         {x0 + span - 1, level + u},
                                                         {x0 + span - 1, level},
                                                         {x0 + 2 * span - 1, level},
                                                         {x0 + 2 * span - 1, level - u},
                                                         {x0 + 3 * span - 1, level - u}});
}

void DifferenceWindows(Vari& v, RecordDrawing* drawing) {
  for (int64_t s = 1; s <= v.WindowCount; ++s) {
    v.DI[s] = ((v.AvgI[2 * s - 1] - v.AvgI[2 * s]) + (v.AvgI[2 * s + 1] - v.AvgI[2 * s + 2])) / 2;
    v.DU[s] = ((v.AvgV[2 * s - 1] - v.AvgV[2 * s]) + (v.AvgV[2 * s + 2] - v.AvgV[2 * s + 1])) / 2;
    float u = static_cast<float>(v.DU[s]);
    if (s % 2 == 0) v.DU[s] = -v.DU[s];  // the response alternates in sign
    v.EP[s] = v.AvgV[2 * s];
    if (drawing) {
      AppendSquareWave(*drawing, v.HalfPeriod, s, v.EP[s], u);
      (drawing->du_list += ' ') += FormatFixed(v.DU[s], 3);
      (drawing->di_list += ' ') += FormatFixed(v.DI[s], 2);
    }
  }
}

void Means(Vari& v, bool abs_du) {
  RecordResultValues& r = v.RecordResult;
  r = {};
  for (int64_t s = 1; s <= v.WindowCount; ++s) {
    r.MeanDU += v.DU[s];
    r.MeanEP += v.EP[s];
    r.MeanI += v.DI[s];
  }
  const double windows = v.WindowCount;
  r.MeanDU = r.MeanDU / windows;
  if (abs_du) r.MeanDU = std::fabs(r.MeanDU);
  r.MeanI = r.MeanI / windows;
  r.MeanEP = r.MeanEP / windows;
}

// The RMS deviation of the window differences from their mean, relative to the mean, in percent.
void Error(Vari& v) {
  RecordResultValues& r = v.RecordResult;
  if (std::fabs(r.MeanDU) < SignalThreshold) {
    r.ErrorPct = NoSignalError;
    return;
  }
  if (r.MeanDU < 0) {
    r.ErrorPct = NegativeSignalError;
    return;
  }
  for (int64_t s = 1; s <= v.WindowCount; ++s) {
    double deviation = (v.DU[s] - r.MeanDU) / r.MeanDU;
    r.ErrorPct += deviation * deviation;
  }
  r.ErrorPct = 100 * std::sqrt(r.ErrorPct / v.WindowCount);
}

}  // namespace

void ComputeRecordResult(Vari& v, bool abs_du, RecordDrawing* drawing) {
  if (drawing) *drawing = {};
  int64_t half_periods = std::max<int64_t>(4 * int64_t{v.PeriodCount}, 0);
  v.WindowCount = WindowCountFor(v.PeriodCount);
  for (auto* table : {&v.AvgI, &v.AvgV, &v.AvgX}) EnsureTableSize(*table, half_periods);
  for (auto* table : {&v.DU, &v.EP, &v.DI}) EnsureTableSize(*table, std::max<int64_t>(v.WindowCount, 0));

  AverageHalfPeriods(v, half_periods, drawing);
  DifferenceWindows(v, drawing);
  Means(v, abs_du);
  Error(v);
}
