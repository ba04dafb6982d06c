#include "processing/record_processor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "processing/format_fixed.h"
#include "processing/summary_line.h"
#include "processing/window_mean.h"
#include "processing/window_rule.h"
#include "test_support.h"

namespace {

// A record's header values and loaded curves, processed as the core processes them.
struct LoadedRecord {
  Survey survey;
  Workspace work;
  RecordResultValues RecordResult;

  void Process(bool abs_du, RecordDrawing* drawing) {
    RecordResult = ComputeRecordResult(survey, work, abs_du, drawing).result;
  }
};

// Curves whose half-periods hold constant levels, so every window mean is that level.
std::unique_ptr<LoadedRecord> Levels(int32_t half_period, const std::vector<float>& current,
                                     const std::vector<float>& voltage) {
  auto v = std::make_unique<LoadedRecord>();
  v->survey.HalfPeriod = half_period;
  v->survey.PeriodCount = static_cast<int32_t>(current.size() / 4);
  v->survey.SecondLength = half_period;
  v->survey.WindowLen = WindowLenFor(half_period);
  for (size_t k = 0; k < current.size(); ++k) {
    v->work.CurrentSamples.insert(v->work.CurrentSamples.end(), static_cast<size_t>(half_period), current[k]);
    v->work.VoltageSamples.insert(v->work.VoltageSamples.end(), static_cast<size_t>(half_period), voltage[k]);
  }
  v->work.CurrentSamples.resize(v->work.CurrentSamples.size() * 2);
  v->work.VoltageSamples.resize(v->work.VoltageSamples.size() * 2);
  return v;
}

std::vector<std::pair<double, double>> Pairs(const std::vector<ChartPoint>& points) {
  std::vector<std::pair<double, double>> pairs;
  for (const ChartPoint& p : points) pairs.emplace_back(p.x, p.y);
  return pairs;
}

TEST(WindowRule, OneThirdOfTheHalfPeriodInSteps) {
  const std::pair<int32_t, int32_t> table[] = {{0, 20},   {59, 20},  {60, 20},   {119, 20},   {120, 40},  {179, 40},
                                               {180, 60}, {250, 80}, {500, 160}, {1000, 320}, {2000, 660}};
  for (auto [half_period, window] : table) EXPECT_EQ(WindowLenFor(half_period), window) << half_period;
}

TEST(RecordProcessor, OnePeriodGivesEveryStatedValue) {
  auto v = Levels(60, {100, 0, 100, 0}, {52, 2, -48, 2});
  RecordDrawing drawing;
  v->Process(false, &drawing);
  EXPECT_EQ(drawing.di_values, std::vector<double>{100});
  EXPECT_EQ(drawing.du_values, std::vector<double>{50});
  EXPECT_EQ(v->RecordResult.MeanDU, 50);
  EXPECT_EQ(v->RecordResult.MeanI, 100);
  EXPECT_EQ(v->RecordResult.MeanEP, 2);
  EXPECT_EQ(v->RecordResult.ErrorPct, 0);
  EXPECT_EQ(Pairs(drawing.square_wave),
            (std::vector<std::pair<double, double>>{{1, 52}, {60, 52}, {60, 2}, {120, 2}, {120, -48}, {180, -48}}));
  ASSERT_EQ(drawing.averaged_voltage.size(), 4u);
  EXPECT_EQ(drawing.averaged_voltage[0].x, 50.5);  // window 41..60
  EXPECT_EQ(SummaryLine(v->RecordResult, drawing), "dU=50.000 ( 50.000) 0.0%    I=100.00 ( 100.00) EP=2.000");
}

TEST(RecordProcessor, TwoPeriodsFlipEverySecondWindow) {
  auto v = Levels(60, {100, 0, 100, 0, 100, 0, 100, 0}, {52, 2, -48, 2, 52, 2, -48, 2});
  RecordDrawing drawing;
  v->Process(false, &drawing);
  EXPECT_EQ(v->RecordResult.ErrorPct, 0);
  std::vector<std::pair<double, double>> expected{{121, -48}, {180, -48}, {180, 2}, {240, 2}, {240, 52}, {300, 52}};
  EXPECT_EQ(Pairs({drawing.square_wave.begin() + 6, drawing.square_wave.begin() + 12}), expected);
  EXPECT_EQ(drawing.du_values, (std::vector<double>{50, 50, 50})) << "window 2 is -50 raw, flipped";
  EXPECT_EQ(drawing.square_wave.size(), 18u);
}

TEST(RecordProcessor, CentreOfTheWindowForALongHalfPeriod) {
  auto v = Levels(1000, {1, 0, 1, 0}, {2, 0, -2, 0});
  RecordDrawing drawing;
  v->Process(false, &drawing);
  EXPECT_EQ(v->survey.WindowLen, 320);
  EXPECT_EQ(drawing.averaged_voltage.at(0).x, 840.5);
}

TEST(RecordProcessor, ErrorThresholdsAndReversedRecords) {
  // Mean dU of -0.004: too small comes before negative.
  auto small = Levels(60, {1, 0, 1, 0}, {-0.004f, 0, 0.004f, 0});
  small->Process(false, nullptr);
  EXPECT_EQ(small->RecordResult.ErrorPct, 100);

  // 0.005 exactly (as a float sample) is not below the threshold: computed, one window gives 0.
  auto threshold = Levels(60, {1, 0, 1, 0}, {0.0050001f, 0, -0.0050001f, 0});
  threshold->Process(false, nullptr);
  EXPECT_EQ(threshold->RecordResult.ErrorPct, 0);

  auto reversed = Levels(60, {100, 0, 100, 0}, {-48, 2, 52, 2});
  reversed->Process(false, nullptr);
  EXPECT_EQ(reversed->RecordResult.MeanDU, -50);
  EXPECT_EQ(reversed->RecordResult.ErrorPct, 50);

  // "Модуль dU" shows the mean's size; the windows keep their sign and agree with it.
  RecordDrawing drawing;
  reversed->Process(true, &drawing);
  EXPECT_EQ(reversed->RecordResult.MeanDU, 50);
  EXPECT_EQ(drawing.du_values, std::vector<double>{-50});
  EXPECT_EQ(reversed->RecordResult.ErrorPct, 0);
  EXPECT_EQ(SummaryLine(reversed->RecordResult, drawing).substr(0, 26), "dU=50.000 ( -50.000) 0.0% ");
}

TEST(RecordProcessor, ErrorIsTheRelativeRmsDeviationOfTheWindows) {
  // Windows 40, 60, 50 (after flipping): mean 50, deviations -0.2, 0.2, 0.
  auto v = Levels(60, {1, 0, 1, 0, 1, 0, 1, 0}, {40, 0, -40, 0, 80, 0, -20, 0});
  RecordDrawing drawing;
  v->Process(false, &drawing);
  ASSERT_EQ(drawing.du_values.size(), 3u);
  double expected = 100 * std::sqrt((0.04 + 0.04 + 0.0) / 3);
  EXPECT_NEAR(v->RecordResult.ErrorPct, expected, 1e-9);
  // Reversed, the same windows have the same spread under "Модуль dU".
  auto reversed = Levels(60, {1, 0, 1, 0, 1, 0, 1, 0}, {-40, 0, 40, 0, -80, 0, 20, 0});
  reversed->Process(true, nullptr);
  EXPECT_EQ(reversed->RecordResult.MeanDU, 50);
  EXPECT_NEAR(reversed->RecordResult.ErrorPct, expected, 1e-9);
}

TEST(RecordProcessor, NoPeriodsGiveZeroMeansAndTheNoSignalError) {
  for (int32_t periods : {0, -3}) {
    auto v = std::make_unique<LoadedRecord>();
    v->survey.HalfPeriod = 60;
    v->survey.PeriodCount = periods;
    v->survey.WindowLen = 20;
    v->RecordResult = {1, 2, 3, 4};
    RecordDrawing drawing;
    v->Process(false, &drawing);
    EXPECT_EQ(v->RecordResult.MeanDU, 0);
    EXPECT_EQ(v->RecordResult.MeanI, 0);
    EXPECT_EQ(v->RecordResult.MeanEP, 0);
    EXPECT_EQ(v->RecordResult.ErrorPct, 100);
    EXPECT_TRUE(drawing.square_wave.empty());
    EXPECT_EQ(SummaryLine(v->RecordResult, drawing), "dU=0.000 () 100.0%    I=0.00 () EP=0.000");
  }
}

TEST(RecordProcessor, ManyPeriodsGrowTheTablesInsteadOfOverrunningThem) {
  std::vector<float> current, voltage;
  for (int period = 0; period < 150; ++period) {
    current.insert(current.end(), {1, 0, 1, 0});
    voltage.insert(voltage.end(), {3, 1, -1, 1});
  }
  auto v = Levels(60, current, voltage);
  RecordDrawing drawing;
  v->Process(false, &drawing);
  EXPECT_EQ(drawing.du_values.size(), 299u);
  EXPECT_EQ(drawing.averaged_current.size(), 600u);
  EXPECT_EQ(v->RecordResult.MeanDU, 2);
  EXPECT_EQ(v->RecordResult.ErrorPct, 0);
}

TEST(WindowMean, AveragesOnlySamplesThatExist) {
  const std::vector<float> samples{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(WindowMean(samples, 2, 3), 3.0);           // 2, 3, 4
  EXPECT_EQ(WindowMean(samples, -1, 4), 1.5);          // samples 1 and 2 exist
  EXPECT_EQ(WindowMean(samples, 5, 4), 5.5);           // samples 5 and 6 exist
  EXPECT_TRUE(std::isnan(WindowMean(samples, 7, 4)));  // none exists
  EXPECT_TRUE(std::isnan(WindowMean({}, 1, 20)));
  EXPECT_TRUE(std::isnan(WindowMean(samples, 1, -20)));
}

TEST(WindowMean, SumsFloatsInDoublePrecisionInOrder) {
  // In float the small samples would vanish against the large one.
  const std::vector<float> samples{16777216.0f, 1.0f, 1.0f, 1.0f};
  EXPECT_EQ(WindowMean(samples, 1, 4), (16777216.0 + 3.0) / 4);
}

TEST(RecordProcessor, HalfPeriodShorterThanTheWindowStaysInsideTheCurve) {
  auto v = std::make_unique<LoadedRecord>();
  v->survey.HalfPeriod = 5;  // windows of 20 begin before the first sample
  v->survey.SecondLength = 1;
  v->survey.PeriodCount = 2;
  v->survey.WindowLen = WindowLenFor(v->survey.HalfPeriod);
  v->work.CurrentSamples.assign(24, 1.0f);
  v->work.VoltageSamples.assign(24, 2.0f);
  RecordDrawing drawing;
  v->Process(false, &drawing);
  ASSERT_EQ(drawing.averaged_voltage.size(), 8u);
  EXPECT_EQ(drawing.averaged_current[0].y, 1.0);
  EXPECT_EQ(drawing.averaged_voltage[7].y, 2.0);
  EXPECT_TRUE(std::isfinite(v->RecordResult.ErrorPct));
}

}  // namespace

namespace {

TEST(RecordProcessor, SideBySideSumsEqualThePlainWindowMeanBitForBit) {
  auto v = std::make_unique<LoadedRecord>();
  v->survey.HalfPeriod = 250;
  v->survey.SecondLength = 200;  // the last windows reach past the curve
  v->survey.PeriodCount = 5;
  v->survey.WindowLen = WindowLenFor(v->survey.HalfPeriod);
  uint32_t state = 12345;
  auto noise = [&] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 65536.0f - 128.0f;
  };
  for (int i = 0; i < 2 * (250 + 200) * 5; ++i) {
    v->work.CurrentSamples.push_back(noise());
    v->work.VoltageSamples.push_back(noise() * 1e-3f);
  }
  RecordDrawing drawing;
  v->Process(false, &drawing);
  // Windows 19 and 20 lie wholly beyond the 4500 samples: they have no mean.
  ASSERT_EQ(drawing.averaged_current.size(), 18u);
  for (int64_t k = 1; k <= 18; ++k) {
    int64_t start = k * 250 - v->survey.WindowLen + 1;
    const size_t i = static_cast<size_t>(k - 1);
    EXPECT_EQ(drawing.averaged_current[i].y, WindowMean(v->work.CurrentSamples, start, v->survey.WindowLen)) << k;
    EXPECT_EQ(drawing.averaged_voltage[i].y, WindowMean(v->work.VoltageSamples, start, v->survey.WindowLen)) << k;
  }
  EXPECT_TRUE(std::isnan(v->RecordResult.MeanDU));
}

}  // namespace

namespace {

// The record result computed the plain way, straight from the definitions, for records
// too long for the processor to hold in its tables at once.
RecordResultValues PlainResult(const LoadedRecord& v) {
  const int64_t a = v.survey.HalfPeriod, w = v.survey.WindowLen, windows = 2 * int64_t{v.survey.PeriodCount} - 1;
  auto mean = [&](const std::vector<float>& samples, int64_t k) {
    return WindowMean(samples, k * a - w + 1, v.survey.WindowLen);
  };
  std::vector<double> du;
  RecordResultValues r;
  for (int64_t s = 1; s <= windows; ++s) {
    double i[4], u[4];
    for (int j = 0; j < 4; ++j)
      i[j] = mean(v.work.CurrentSamples, 2 * s - 1 + j), u[j] = mean(v.work.VoltageSamples, 2 * s - 1 + j);
    double d = ((u[0] - u[1]) + (u[3] - u[2])) / 2;
    du.push_back(s % 2 == 0 ? -d : d);
    r.MeanDU += du.back();
    r.MeanEP += u[1];
    r.MeanI += ((i[0] - i[1]) + (i[2] - i[3])) / 2;
  }
  r.MeanDU /= windows, r.MeanI /= windows, r.MeanEP /= windows;
  for (double d : du) r.ErrorPct += ((d - r.MeanDU) / r.MeanDU) * ((d - r.MeanDU) / r.MeanDU);
  r.ErrorPct = 100 * std::sqrt(r.ErrorPct / windows);
  return r;
}

// A header may promise a hundred thousand periods. The result is still exact, and the
// tables hold a bounded run of half-periods, not one entry per half-period.
TEST(RecordProcessor, VeryLongRecordsKeepTheTablesSmallAndTheResultExact) {
  auto v = std::make_unique<LoadedRecord>();
  v->survey.HalfPeriod = v->survey.SecondLength = 20;
  v->survey.PeriodCount = 100000;
  v->survey.WindowLen = WindowLenFor(v->survey.HalfPeriod);
  uint32_t state = 99;
  for (int64_t i = 0; i < 2 * 40 * int64_t{v->survey.PeriodCount}; ++i) {
    state = state * 1664525u + 1013904223u;
    float noise = static_cast<float>(state >> 16) / 65536.0f;
    bool on = (i / 20) % 2 == 0;
    v->work.CurrentSamples.push_back(on ? 100 + noise : noise);
    v->work.VoltageSamples.push_back((on ? ((i / 40) % 2 == 0 ? 50.0f : -50.0f) : 0.0f) + 2 + noise);
  }
  v->Process(false, nullptr);
  RecordResultValues plain = PlainResult(*v);
  EXPECT_EQ(v->RecordResult.MeanDU, plain.MeanDU);
  EXPECT_EQ(v->RecordResult.MeanI, plain.MeanI);
  EXPECT_EQ(v->RecordResult.MeanEP, plain.MeanEP);
  EXPECT_EQ(v->RecordResult.ErrorPct, plain.ErrorPct);
  EXPECT_NEAR(v->RecordResult.MeanDU, 50, 0.01);
  EXPECT_LT(v->work.AvgV.size() * 6 * sizeof(double), 2u << 20) << "the tables stay within a few MB";

  // With half the curve missing the result has no answer, still from bounded tables.
  v->survey.SecondLength = 0;
  v->work.VoltageSamples.resize(v->work.VoltageSamples.size() / 2);
  v->Process(false, nullptr);
  EXPECT_TRUE(std::isnan(v->RecordResult.MeanDU));
  EXPECT_TRUE(std::isnan(v->RecordResult.ErrorPct));
  EXPECT_LT(v->work.AvgV.size() * 6 * sizeof(double), 2u << 20);
}

// Windows partly inside the curve average what exists; once one lies wholly outside,
// dU would come out at half its value with a tiny error if it counted as 0.
TEST(RecordProcessor, AWindowWithoutSamplesMakesTheRecordNaN) {
  auto v = Levels(60, {100, 0, 100, 0}, {52, 2, -48, 2});
  v->work.CurrentSamples.resize(170);  // window 3 (161..180) keeps 10 samples, window 4 (221..240) none
  v->work.VoltageSamples.resize(170);
  RecordDrawing drawing;
  v->Process(false, &drawing);
  EXPECT_TRUE(std::isnan(v->RecordResult.MeanDU));
  EXPECT_TRUE(std::isnan(v->RecordResult.MeanI));
  EXPECT_TRUE(std::isnan(v->RecordResult.MeanEP));
  EXPECT_TRUE(std::isnan(v->RecordResult.ErrorPct));
  EXPECT_EQ(drawing.averaged_voltage.size(), 3u) << "the half-periods that have samples are still drawn";
  EXPECT_EQ(SummaryLine(v->RecordResult, drawing), "dU=NAN () NAN%    I=NAN () EP=NAN");

  v->work.CurrentSamples.resize(221);  // window 4 now has one sample: an answer again
  v->work.VoltageSamples.resize(221, 2);
  v->Process(false, nullptr);
  EXPECT_EQ(v->RecordResult.MeanEP, 2);
}

TEST(CurrentCurveCache, MatchesOnlyTheSameCurveInTheSameSession) {
  CurrentCurveCache cache;
  const CurrentCurveCache::Averaging averaging{1000, 320, 4};
  EXPECT_FALSE(cache.HoldsCurve(4160, 1));
  cache.RememberMeans(averaging);
  EXPECT_FALSE(cache.HoldsMeans(averaging)) << "no means without a curve";

  cache.RememberCurve(4160, 1);
  EXPECT_TRUE(cache.HoldsCurve(4160, 1));
  EXPECT_FALSE(cache.HoldsCurve(4160, 2)) << "another open may find the file changed";
  EXPECT_FALSE(cache.HoldsCurve(9000, 1));
  EXPECT_FALSE(cache.HoldsMeans(averaging));
  cache.RememberMeans(averaging);
  EXPECT_TRUE(cache.HoldsMeans(averaging));
  EXPECT_FALSE(cache.HoldsMeans({1000, 320, 5}));
  EXPECT_FALSE(cache.HoldsMeans({500, 160, 4}));

  cache.RememberCurve(9000, 1);
  EXPECT_FALSE(cache.HoldsMeans(averaging)) << "a new curve has no means yet";
  cache.Forget();
  EXPECT_FALSE(cache.HoldsCurve(9000, 1));
}

}  // namespace
