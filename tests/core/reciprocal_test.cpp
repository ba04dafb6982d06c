// Normal/reciprocal pairs, and the error model they give against the noise a synthetic
// survey was written with.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "processing/window_rule.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

TEST(ReciprocalPairs, DipolesExchangedWithAnySwapWithinThem) {
  const std::vector<MeasuredRecord> records{
      {1, 1, 2, 3, 4, 0.50},   {2, 3, 4, 1, 2, 0.52},   // exchanged as they are
      {3, 5, 6, 7, 8, 2.00},   {4, 8, 7, 5, 6, -2.10},  // the potential dipole's electrodes swapped: -R
      {5, 1, 2, 5, 6, 1.00},   {6, 5, 6, 2, 1, -0.90},  // the other dipole swapped
      {7, 9, 10, 11, 12, 3.0},                          // no reciprocal
      {8, 3, 4, 1, 2, 0.60}};                           // a second reciprocal of record 1: left alone
  const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(records);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].normal, 1);
  EXPECT_EQ(pairs[0].reciprocal, 2) << "the earliest reciprocal";
  EXPECT_NEAR(pairs[0].error, 0.02 / 0.51, 1e-12);
  EXPECT_EQ(pairs[1].reciprocal, 4);
  EXPECT_DOUBLE_EQ(pairs[1].r_reciprocal, 2.10);
  EXPECT_DOUBLE_EQ(pairs[2].r_reciprocal, 0.90);
  EXPECT_NEAR(pairs[2].error, -0.1 / 0.95, 1e-12);
}

TEST(ErrorModel, FitsAStraightLineThroughTheBins) {
  std::vector<ReciprocalPair> pairs;
  for (int i = 0; i < 200; ++i) {
    double r = 0.1 + i * 0.05, spread = 0.002 + 0.01 * r;  // alternating ± spread: RMS = spread
    pairs.push_back({i, i + 200, r, r + (i % 2 ? spread : -spread), 0});
  }
  ErrorModel model = FitErrorModel(pairs);
  EXPECT_EQ(model.bins, 20);
  EXPECT_NEAR(model.a, 0.002, 2e-4);
  EXPECT_NEAR(model.b, 0.01, 2e-4);
  EXPECT_EQ(FitErrorModel({}).bins, 0);
}

// Pairs in 20 bins of 10 whose RMS difference is y(|R|) exactly.
std::vector<ReciprocalPair> PairsAlong(double (*y)(double)) {
  std::vector<ReciprocalPair> pairs;
  for (int i = 0; i < 200; ++i) {
    const double r = 0.1 + (i / 10) * 0.25;
    pairs.push_back({i, i + 200, r, r + (i % 2 ? y(r) : -y(r)), 0});
  }
  return pairs;
}

// Where the free line would leave the quadrant, the fit is the best line on its edge,
// which has a closed form: the mean of the bins' RMS with b = 0, Σxy/Σxx with a = 0.
TEST(ErrorModel, NeitherPartIsNegativeAndNoErrorFallsBelowTheFloor) {
  const std::vector<double> x = [] {
    std::vector<double> bins;
    for (int bin = 0; bin < 20; ++bin) bins.push_back(0.1 + bin * 0.25);
    return bins;
  }();
  auto falling = [](double r) { return 0.003 - 0.0005 * r; };  // the free line: b < 0
  ErrorModel model = FitErrorModel(PairsAlong(falling));
  double mean = 0;
  for (double r : x) mean += falling(r) / 20;
  EXPECT_NEAR(model.a, mean, 1e-12);
  EXPECT_EQ(model.b, 0);
  auto through_below_zero = [](double r) { return std::max(0.0, -0.001 + 0.01 * r); };  // the free line: a < 0
  model = FitErrorModel(PairsAlong(through_below_zero));
  double xy = 0, xx = 0;
  for (double r : x) xy += r * through_below_zero(r), xx += r * r;
  EXPECT_EQ(model.a, 0);
  EXPECT_NEAR(model.b, xy / xx, 1e-12);

  // Pairs that agree exactly: no error of 0, on either sign of R.
  model = FitErrorModel(PairsAlong([](double) { return 0.0; }));
  EXPECT_EQ(model.a, 0);
  EXPECT_EQ(model.b, 0);
  EXPECT_DOUBLE_EQ(model.ErrorOf(-2.5), 2.5 * ErrorModelFloor);
  EXPECT_EQ(ErrorModelText(model), "|ΔR| = 0 + 0·|R| Ω, at least 0.01 % of |R|");
  EXPECT_EQ(ErrorModelText({0.0006702, 0.01234, 7}), "|ΔR| = 0.0006702 + 0.01234·|R| Ω, at least 0.01 % of |R|");

  // A survey whose poor contacts (electrode 13) spoil the small resistances: the free
  // line falls with |R| and gave its largest bin a fourteenth of its RMS difference.
  TempDir dir;
  WriteSyntheticSurvey(dir.File("rec.qmr"), {.blocks = 12,
                                             .channels = 6,
                                             .noise_mv = 1,
                                             .seed = 3,
                                             .physical = true,
                                             .layout = SynthLayout::DipoleDipole,
                                             .rho_ohm_m = 300,
                                             .reciprocal = true});
  auto v = FreshVari(dir.File("rec.qmr"));
  OpenSurvey(*v);
  std::vector<ReciprocalPair> pairs = FindReciprocalPairs(MeasureSurvey(*v->survey, {}));
  ASSERT_EQ(pairs.size(), 72u);
  model = FitErrorModel(pairs);
  EXPECT_GE(model.a, 0);
  EXPECT_GE(model.b, 0);
  std::sort(pairs.begin(), pairs.end(), [](const ReciprocalPair& p, const ReciprocalPair& q) {
    return std::fabs(p.r_normal) < std::fabs(q.r_normal);
  });
  double squares = 0, size = 0;
  for (size_t i = pairs.size() - 10; i < pairs.size(); ++i)
    squares += std::pow(pairs[i].r_reciprocal - pairs[i].r_normal, 2), size += std::fabs(pairs[i].r_normal) / 10;
  EXPECT_GT(size, 3);
  EXPECT_GE(model.ErrorOf(size), std::sqrt(squares / 10)) << "the largest resistances' own difference";
}

// The RMS of the difference of two measurements of one quadrupole that the generator's
// noise gives: sqrt(2) times one measurement's, from the voltage noise σ (mV) averaged
// over the windows, and from the current's 0.2 % noise where it flows.
double ExpectedDifference(const SynthOptions& o, double r) {
  const int64_t n = o.period_count, half_periods = 4 * n, windows = 2 * n - 1;
  const double w = WindowLenFor(o.half_period);
  std::vector<double> du(static_cast<size_t>(half_periods) + 1), di(du.size());
  for (int64_t s = 1; s <= windows; ++s) {
    const double sign = s % 2 == 0 ? -1 : 1;
    const int64_t k = 2 * s - 1;
    du[k] += sign / 2 / windows, du[k + 1] -= sign / 2 / windows, du[k + 3] += sign / 2 / windows,
        du[k + 2] -= sign / 2 / windows;
    di[k] += 0.5 / windows, di[k + 1] -= 0.5 / windows, di[k + 2] += 0.5 / windows, di[k + 3] -= 0.5 / windows;
  }
  double voltage = 0, current = 0;
  for (int64_t k = 1; k <= half_periods; ++k) {
    voltage += du[k] * du[k] / w;
    if (k % 2 == 1) current += di[k] * di[k] / w;  // the current's noise is relative and only where it flows
  }
  const double amperes_ma = o.current_a * 1000;
  const double from_voltage = o.noise_mv * std::sqrt(voltage) / amperes_ma;
  const double from_current = std::fabs(r) * 0.002 * std::sqrt(current);
  return std::sqrt(2.0) * std::hypot(from_voltage, from_current);
}

TEST(ErrorModel, MatchesTheNoiseOfAReciprocalSurvey) {
  TempDir dir;
  SynthOptions o{.blocks = 24,
                 .channels = 8,
                 .electrodes = 60,
                 .half_period = 200,
                 .second_length = 200,
                 .period_count = 2,
                 .noise_mv = 0.5,
                 .seed = 5,
                 .physical = true,
                 .rho_ohm_m = 100,
                 .reciprocal = true};
  WriteSyntheticSurvey(dir.File("rec.qmr"), o);
  auto v = FreshVari(dir.File("rec.qmr"));
  OpenSurvey(*v);
  ASSERT_EQ(v->survey->RecordCount, 2 * 24 * 8);
  std::vector<MeasuredRecord> records = MeasureSurvey(*v->survey, {});
  const std::vector<ReciprocalPair> all = FindReciprocalPairs(records);
  ASSERT_EQ(all.size(), 24u * 8) << "every quadrupole finds its reciprocal";
  for (const ReciprocalPair& pair : all) EXPECT_EQ(pair.reciprocal, pair.normal + 24 * 8);

  // The generator gives electrodes 13 and 26 a poor contact, 30 times the noise where
  // they measure the potential: those quadrupoles stay out of the comparison.
  std::erase_if(records, [](const MeasuredRecord& r) {
    return r.a % 13 == 0 || r.b % 13 == 0 || r.m % 13 == 0 || r.n % 13 == 0;
  });
  const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(records);
  ASSERT_GT(pairs.size(), 100u);
  const ErrorModel model = FitErrorModel(pairs);
  for (double r : {0.05, 0.3, 1.0}) {
    const double expected = ExpectedDifference(o, r);
    EXPECT_NEAR(model.ErrorOf(r), expected, 0.3 * expected) << "R = " << r;
    RecordProperty("model_at_" + std::to_string(r),
                   std::to_string(model.ErrorOf(r)) + " expected " + std::to_string(expected));
  }
}

}  // namespace
