// Geometric factors against the closed forms of the classic arrays, and apparent
// resistivity against the half-space that synthetic surveys were written over.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/arrangement.h"
#include "geometry/apparent_resistivity.h"
#include "geometry/geometric_factor.h"
#include "geometry/pseudo_position.h"
#include "processing/record_evaluation.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

constexpr double Pi = std::numbers::pi;
constexpr std::optional<double> Remote = std::nullopt;

TEST(GeometricFactor, ClosedFormsOfTheClassicArrays) {
  for (double a : {1.0, 2.5, 10.0}) {
    EXPECT_NEAR(GeometricFactor({0, 3 * a, a, 2 * a}), 2 * Pi * a, 1e-9 * a) << "Wenner, a = " << a;
    for (double n : {1.0, 2.0, 6.0}) {
      // Dipole-dipole A < B < M < N: K = -π n (n+1) (n+2) a, negative as its dU.
      EXPECT_NEAR(GeometricFactor({0, a, (n + 1) * a, (n + 2) * a}), -Pi * n * (n + 1) * (n + 2) * a, 1e-7 * a);
      // Pole-dipole with B remote: K = 2π n (n+1) a.
      EXPECT_NEAR(GeometricFactor({0, Remote, n * a, (n + 1) * a}), 2 * Pi * n * (n + 1) * a, 1e-7 * a);
      // Schlumberger, M and N at ±a/2 about the centre, A and B at ±(n + 1/2) a.
      double s = (n + 0.5) * a;
      EXPECT_NEAR(GeometricFactor({-s, s, -a / 2, a / 2}), Pi * n * (n + 1) * a, 1e-7 * a);
    }
    EXPECT_NEAR(GeometricFactor({0, Remote, a, Remote}), 2 * Pi * a, 1e-9 * a) << "pole-pole: 2π AM";
  }
  // Swapping the potential electrodes turns the sign, as it turns the sign of dU.
  EXPECT_NEAR(GeometricFactor({0, 30, 20, 10}), -2 * Pi * 10, 1e-9);
}

TEST(GeometricFactor, UndefinedArrangementsGiveNaN) {
  EXPECT_TRUE(std::isnan(GeometricFactor({0, 10, 0, 5}))) << "A and M at one place";
  EXPECT_TRUE(std::isnan(GeometricFactor({0, 10, 5, 5}))) << "M at N: the sum is 0";
  EXPECT_TRUE(std::isnan(GeometricFactor({3, 3, 5, 7}))) << "A at B";
  EXPECT_TRUE(std::isnan(GeometricFactor({Remote, Remote, Remote, Remote})));
  EXPECT_TRUE(std::isnan(GeometricFactor({Remote, Remote, 1, 2}))) << "no current electrode in place";
}

TEST(ApparentResistivity, SignsAreKept) {
  // Dipole-dipole with a = 1, n = 1: K = -6π. dU < 0 gives ρa > 0, dU > 0 a negative ρa.
  Quadrupole q{0, 1, 2, 3};
  Resistivity normal = ResistivityOf(q, {-10, 100, 0, 0});
  EXPECT_DOUBLE_EQ(normal.r, -0.1);
  EXPECT_NEAR(normal.rhoa, 0.6 * Pi, 1e-12);
  EXPECT_LT(ResistivityOf(q, {10, 100, 0, 0}).rhoa, 0) << "a quality problem to show, not to hide";
  EXPECT_TRUE(std::isnan(ResistivityOf({0, 1, 1, 3}, {10, 100, 0, 0}).rhoa));
}

// Every layout of the generator over a half-space of 100 Ω·m: each record's apparent
// resistivity is that of the half-space, within the noise and the settling.
TEST(ApparentResistivity, RecoversTheHalfSpaceOfSyntheticSurveys) {
  TempDir dir;
  for (SynthLayout layout :
       {SynthLayout::DipoleDipole, SynthLayout::Wenner, SynthLayout::Gradient, SynthLayout::PoleDipole}) {
    SynthOptions o{.blocks = 10,
                   .channels = 4,
                   .electrodes = 24,
                   .half_period = 200,
                   .second_length = 200,
                   .period_count = 2,
                   .noise_mv = 0.01,
                   .seed = 3,
                   .physical = true,
                   .layout = layout,
                   .rho_ohm_m = 100};
    const std::string path = dir.File("half-space.qmr");
    WriteSyntheticSurvey(path, o);
    auto v = FreshVari(path);
    OpenSurvey(*v);
    ASSERT_EQ(v->survey->RecordCount, layout == SynthLayout::Wenner ? 10 : 40) << "a Wenner block holds one quadrupole";
    DataFileSession session(v->work.DataFile, v->survey->DataFileName);
    for (int k = 1; k <= v->survey->RecordCount; ++k) {
      v->RecordResult = EvaluateRecord(*v->survey, v->work, k, {});
      const double rhoa =
          ResistivityOf(QuadrupoleOf(v->survey->ElectrodeTable, v->survey->RecordIndex[k]), v->RecordResult.result)
              .rhoa;
      EXPECT_NEAR(rhoa, 100, 0.5) << "layout " << static_cast<int>(layout) << ", record " << k;
    }
  }
}

// The spread steps along the line and begins again at its start: no quadrupole wraps
// round from the last electrode to the first, even on a line shorter than the channels.
TEST(SyntheticSurvey, DipoleDipoleQuadrupolesStayOnTheLine) {
  TempDir dir;
  for (bool physical : {false, true})
    for (int32_t electrodes : {10, 6}) {
      SynthOptions o{.blocks = 12, .channels = 8, .electrodes = electrodes, .half_period = 20, .second_length = 20};
      o.physical = physical;
      WriteSyntheticSurvey(dir.File("dd.qmr"), o);
      auto v = FreshVari(dir.File("dd.qmr"));
      OpenSurvey(*v);
      ASSERT_EQ(v->survey->RecordCount, 96);
      for (int k = 1; k <= v->survey->RecordCount; ++k) {
        const Quadrupole q = QuadrupoleOf(v->survey->ElectrodeTable, v->survey->RecordIndex[k]);
        ASSERT_TRUE(q.a && q.b && q.m && q.n);
        EXPECT_TRUE(*q.a < *q.b && *q.b < *q.m && *q.m < *q.n)
            << "record " << k << " of " << electrodes << " electrodes: " << *q.a << " " << *q.b << " " << *q.m << " "
            << *q.n;
      }
    }
}

// Electrode numbers 1..128 name records of the table; only 0 is the remote electrode.
TEST(Quadrupole, OnlyElectrodeZeroIsRemote) {
  auto v = std::make_unique<Survey>();
  v->ElectrodeTable[1].Coordinate = 0;
  v->ElectrodeTable[127].Coordinate = 630;
  v->ElectrodeTable[128].Coordinate = 635;
  RecordIndexEntry entry{};
  entry.A = 1;
  entry.M = 127;
  entry.N = 128;
  const Quadrupole q = QuadrupoleOf(v->ElectrodeTable, entry);
  EXPECT_EQ(q.a, 0.0);
  EXPECT_FALSE(q.b);
  EXPECT_EQ(q.m, 630.0);
  EXPECT_EQ(q.n, 635.0);
  EXPECT_NEAR(GeometricFactor(q), 2 * Pi * 630 * 635 / 5, 1e-6) << "pole-dipole, not pole-pole";
}

}  // namespace

namespace {

// Median depths of investigation as Edwards (1977) tabulates them, z/a, and the closed
// form of pole-pole, (√3/2)·a.
TEST(PseudoPosition, MedianDepthsOfTheClassicArrays) {
  const double a = 5;
  EXPECT_NEAR(PseudoPositionOf({0, Remote, a, Remote}).depth, std::sqrt(3.0) / 2 * a, 1e-9);
  EXPECT_NEAR(PseudoPositionOf({0, 3 * a, a, 2 * a}).depth / a, 0.519, 0.001) << "Wenner";
  const double dipole_dipole[] = {0.416, 0.697, 0.962, 1.220};
  for (int n = 1; n <= 4; ++n)
    EXPECT_NEAR(PseudoPositionOf({0, a, (n + 1) * a, (n + 2) * a}).depth / a, dipole_dipole[n - 1], 0.002) << n;
  const double pole_dipole[] = {0.519, 0.925, 1.318};
  for (int n = 1; n <= 3; ++n)
    EXPECT_NEAR(PseudoPositionOf({0, Remote, n * a, (n + 1) * a}).depth / a, pole_dipole[n - 1], 0.002) << n;

  PseudoPosition pole_dipole_at = PseudoPositionOf({10, Remote, 15, 20});
  EXPECT_DOUBLE_EQ(pole_dipole_at.x, 15) << "the mean of the electrodes in place";
  EXPECT_TRUE(std::isnan(PseudoPositionOf({0, 0, 5, 10}).depth)) << "A at B: no signal";
  EXPECT_TRUE(std::isnan(PseudoPositionOf({Remote, Remote, Remote, Remote}).x));
}

}  // namespace

// A picture's title names the survey's arrangement: the generator's layouts, and a
// survey whose records are of several kinds.
TEST(Arrangement, OfEveryLayoutTheGeneratorWrites) {
  TempDir dir;
  const std::pair<SynthLayout, const char*> layouts[] = {{SynthLayout::DipoleDipole, "dipole-dipole"},
                                                         {SynthLayout::Wenner, "Wenner"},
                                                         {SynthLayout::Gradient, "gradient"},
                                                         {SynthLayout::PoleDipole, "pole-dipole"}};
  for (const auto& [layout, name] : layouts) {
    const std::string path = dir.File(std::string(name) + ".qmr");
    WriteSyntheticSurvey(path, {.blocks = 6,
                                .channels = 4,
                                .half_period = 10,
                                .second_length = 10,
                                .period_count = 1,
                                .physical = true,
                                .layout = layout,
                                .rho_ohm_m = 10});
    EXPECT_STREQ(ArrangementName(ArrangementOf(*OpenSurvey(path).survey)), name);
  }
  const Quadrupole schlumberger{0, 10, 4, 6}, pole_pole{0, Remote, 5, Remote}, wenner{0, 9, 3, 6};
  EXPECT_EQ(ArrangementOf(schlumberger), Arrangement::Schlumberger);
  EXPECT_EQ(ArrangementOf(pole_pole), Arrangement::PolePole);
  const std::vector<Quadrupole> mixed(9, wenner);
  std::vector<Quadrupole> records = mixed;
  records.push_back(schlumberger);
  EXPECT_EQ(ArrangementOf(records), Arrangement::Wenner) << "nine in ten";
  records.push_back(schlumberger);
  EXPECT_EQ(ArrangementOf(records), Arrangement::Mixed);
}
