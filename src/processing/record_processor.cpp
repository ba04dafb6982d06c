#include "processing/record_processor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "processing/window_mean.h"

namespace {

constexpr double SignalThreshold = 0.005;  // mV: a smaller mean dU is no signal
constexpr double NoSignalError = 100;
constexpr double NegativeSignalError = 50;
constexpr double NoAnswer = std::numeric_limits<double>::quiet_NaN();
// Half-periods held in the tables at once. Every survey the instrument writes (at most
// 100 periods) fits in one run; only hostile headers are processed in several.
constexpr int64_t HalfPeriodsPerRun = 16384;

int32_t WindowCountFor(int32_t period_count) {
  int64_t count = 2 * int64_t{period_count} - 1;
  return static_cast<int32_t>(std::max<int64_t>(count, std::numeric_limits<int32_t>::min()));
}

// What a record's curves allow: how many half-periods and difference windows have an answer.
struct RecordExtent {
  int64_t half_periods = 0;  // 4n, or 0
  int64_t measured = 0;      // half-periods 1..measured have a window holding samples
  int64_t windows = 0;       // WindowCount, or 0 when it is negative
  int64_t computable = 0;    // windows whose four half-periods are measured
  bool Complete() const { return computable == windows; }
};

// Samples that both curves hold.
int64_t CurveLength(const Workspace& w) {
  return static_cast<int64_t>(std::min(w.CurrentSamples.size(), w.VoltageSamples.size()));
}

RecordExtent ExtentOf(const Survey& s, const Workspace& work) {
  RecordExtent extent;
  extent.half_periods = std::max<int64_t>(4 * int64_t{s.PeriodCount}, 0);
  const int64_t a = s.HalfPeriod, w = s.WindowLen;
  // Window k covers samples k·a - w + 1 .. k·a; it holds a sample while k·a <= S + w - 1.
  if (a > 0 && w > 0) extent.measured = std::min(extent.half_periods, (CurveLength(work) + w - 1) / a);
  extent.windows = std::max<int64_t>(work.WindowCount, 0);
  extent.computable = extent.measured == extent.half_periods
                          ? extent.windows
                          : std::min(extent.windows, std::max<int64_t>((extent.measured - 2) / 2, 0));
  return extent;
}

// table[k - base] = the mean of half-period k's window, for k = first..last.
void CurveMeans(std::span<const float> samples, int64_t a, int32_t w, int64_t first, int64_t last, int64_t base,
                std::vector<double>& table) {
  int64_t starts[MaxSideBySideWindows];
  int64_t k = first;
  while (k <= last) {
    // A run of consecutive windows inside the curve is summed side by side.
    int count = 0;
    while (count < MaxSideBySideWindows && k + count <= last &&
           WindowInsideCurve(samples.size(), (k + count) * a - w + 1, w)) {
      starts[count] = (k + count) * a - w + 1;
      ++count;
    }
    if (count == 0) {
      table[static_cast<size_t>(k - base)] = WindowMean(samples, k * a - w + 1, w);
      ++k;
      continue;
    }
    SideBySideWindowMeans(samples, std::span(starts, count), w,
                          std::span(table).subspan(static_cast<size_t>(k - base), count));
    k += count;
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

// Walks the record a run of half-periods at a time. Within a run, table index k - base
// holds half-period k and index s - window_base holds window s, so a record that fits
// in one run has everything at its own number, as the window and the tests read it.
class RecordWalk {
 public:
  RecordWalk(const Survey& s, Workspace& w, const RecordExtent& extent) : s_(s), v_(w), extent_(extent) {}

  bool FitsInOneRun() const { return extent_.measured <= HalfPeriodsPerRun; }

  // Calls on_window(s, slot) for s = 1..computable in ascending order, with DU, EP
  // and DI of window s at index slot.
  template <class OnWindow>
  void Run(bool current_means_known, RecordDrawing* drawing, OnWindow on_window) {
    SizeTables();
    int64_t next_window = 1;
    int64_t base = 0;
    for (int64_t first = 1; first <= extent_.measured;) {
      int64_t last = std::min(extent_.measured, base + TableHalfPeriods());
      HalfPeriodMeans(first, last, base, current_means_known, drawing);
      int64_t window_base = next_window - 1;
      for (; next_window <= extent_.computable && 2 * next_window + 2 <= last; ++next_window)
        on_window(next_window, DifferenceWindow(next_window, base, window_base, drawing));
      if (last == extent_.measured) break;
      // The next window starts at half-period 2s - 1: keep those of this run it needs.
      int64_t keep_from = 2 * next_window - 1;
      for (auto* table : {&v_.AvgI, &v_.AvgV, &v_.AvgX})
        std::copy(table->begin() + (keep_from - base), table->begin() + (last - base) + 1, table->begin() + 1);
      base = keep_from - 1;
      first = last + 1;
    }
  }

 private:
  int64_t TableHalfPeriods() const { return std::min(extent_.measured, HalfPeriodsPerRun); }
  int64_t TableWindows() const { return std::min(extent_.computable, HalfPeriodsPerRun / 2); }

  void SizeTables() {
    for (auto* table : {&v_.AvgI, &v_.AvgV, &v_.AvgX})
      if (table->size() < static_cast<size_t>(TableHalfPeriods()) + 1) table->resize(TableHalfPeriods() + 1);
    for (auto* table : {&v_.DU, &v_.EP, &v_.DI})
      if (table->size() < static_cast<size_t>(TableWindows()) + 1) table->resize(TableWindows() + 1);
  }

  void HalfPeriodMeans(int64_t first, int64_t last, int64_t base, bool current_means_known, RecordDrawing* drawing) {
    const int64_t a = s_.HalfPeriod;
    const int32_t w = s_.WindowLen;
    if (!current_means_known) CurveMeans(v_.CurrentSamples, a, w, first, last, base, v_.AvgI);
    CurveMeans(v_.VoltageSamples, a, w, first, last, base, v_.AvgV);
    for (int64_t k = first; k <= last; ++k) {
      const size_t t = static_cast<size_t>(k - base);
      v_.AvgX[t] = static_cast<double>(k * a - w / 2) + 0.5;
      if (drawing) {
        drawing->averaged_current.push_back({v_.AvgX[t], v_.AvgI[t]});
        drawing->averaged_voltage.push_back({v_.AvgX[t], v_.AvgV[t]});
      }
    }
  }

  size_t DifferenceWindow(int64_t s, int64_t base, int64_t window_base, RecordDrawing* drawing) {
    const auto& I = v_.AvgI;
    const auto& V = v_.AvgV;
    const size_t h = static_cast<size_t>(2 * s - 1 - base);  // half-period 2s - 1
    const size_t t = static_cast<size_t>(s - window_base);
    v_.DI[t] = ((I[h] - I[h + 1]) + (I[h + 2] - I[h + 3])) / 2;
    v_.DU[t] = ((V[h] - V[h + 1]) + (V[h + 3] - V[h + 2])) / 2;
    float u = static_cast<float>(v_.DU[t]);
    if (s % 2 == 0) v_.DU[t] = -v_.DU[t];  // the response alternates in sign
    v_.EP[t] = V[h + 1];
    if (drawing) {
      AppendSquareWave(*drawing, s_.HalfPeriod, s, v_.EP[t], u);
      drawing->du_values.push_back(v_.DU[t]);
      drawing->di_values.push_back(v_.DI[t]);
    }
    return t;
  }

  const Survey& s_;
  Workspace& v_;
  const RecordExtent& extent_;
};

// The RMS deviation of the window differences from their mean, relative to the mean, in percent.
template <class ForEachDU>
double RelativeSpread(double mean_du, double windows, ForEachDU for_each_du) {
  if (std::fabs(mean_du) < SignalThreshold) return NoSignalError;
  double error = 0;
  for_each_du([&](double du) {
    double deviation = (du - mean_du) / mean_du;
    error += deviation * deviation;
  });
  return 100 * std::sqrt(error / windows);
}

}  // namespace

RecordValues ComputeRecordResult(const Survey& survey, Workspace& v, bool abs_du, RecordDrawing* drawing) {
  if (drawing) *drawing = {};
  v.WindowCount = WindowCountFor(survey.PeriodCount);
  const RecordExtent extent = ExtentOf(survey, v);
  RecordWalk walk(survey, v, extent);

  // The channels of a block share their current curve; while it stays loaded its
  // means are already in AvgI.
  const CurrentCurveCache::Averaging averaging{survey.HalfPeriod, survey.WindowLen, survey.PeriodCount};
  const bool current_means_known = walk.FitsInOneRun() && v.CurrentCache.HoldsMeans(averaging);

  RecordValues values;
  RecordResultValues& r = values.result;
  walk.Run(current_means_known, drawing, [&](int64_t, size_t t) {
    r.MeanDU += v.DU[t];
    r.MeanEP += v.EP[t];
    r.MeanI += v.DI[t];
  });
  if (walk.FitsInOneRun())
    v.CurrentCache.RememberMeans(averaging);
  else
    v.CurrentCache.Forget();

  if (!extent.Complete()) {
    r = {NoAnswer, NoAnswer, NoAnswer, NoAnswer};
    values.spread_pct = NoAnswer;
    values.signed_mean_du = NoAnswer;
    return values;
  }
  const double windows = v.WindowCount;
  r.MeanDU = r.MeanDU / windows;
  const double signed_mean_du = r.MeanDU;
  values.signed_mean_du = signed_mean_du;
  if (abs_du) r.MeanDU = std::fabs(r.MeanDU);
  r.MeanI = r.MeanI / windows;
  r.MeanEP = r.MeanEP / windows;

  auto for_each_du = [&](auto add) {
    if (walk.FitsInOneRun()) {
      for (int64_t s = 1; s <= extent.windows; ++s) add(v.DU[static_cast<size_t>(s)]);
    } else {
      // The windows of a long record are no longer in the table: walk it once more.
      walk.Run(false, nullptr, [&](int64_t, size_t t) { add(v.DU[t]); });
    }
  };
  // The spread of the signed windows about their signed mean: the same measure whatever
  // the sign, as an inversion wants it. "Модуль dU" shows the mean's size only; the
  // windows keep their sign, so measuring them against |mean| would call a perfect
  // reversed record 200 % off. Without it the error flags a negative mean dU with its
  // fixed value, which marks a reversed polarity.
  values.spread_pct = RelativeSpread(signed_mean_du, windows, for_each_du);
  const bool flagged = !abs_du && std::fabs(signed_mean_du) >= SignalThreshold && signed_mean_du < 0;
  r.ErrorPct = flagged ? NegativeSignalError : values.spread_pct;
  return values;
}
