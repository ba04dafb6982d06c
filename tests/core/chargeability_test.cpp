// Chargeability from the pauses, against decays written in closed form.

#include "ip/chargeability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "ip/gates.h"

namespace {

constexpr int32_t A = 200, Rate = 1000, Periods = 4;  // pauses of 200 ms, 8 of them
constexpr double Vp = 100, Tau = 50;                  // mV, ms

double Decay(double t_ms) { return 30 * std::exp(-t_ms / Tau); }

// A curve whose pause s carries sign(s)·Decay over a self-potential and a drift, linear
// and quadratic in the sample's number.
std::vector<float> Curve(double sp_mv, double drift_mv_per_sample, int32_t periods = Periods, double bend = 0) {
  std::vector<float> curve(static_cast<size_t>(4 * periods * A));
  for (size_t i = 0; i < curve.size(); ++i) {
    const int64_t k = static_cast<int64_t>(i) / A + 1;  // half-period
    const int64_t j = static_cast<int64_t>(i) % A + 1;  // sample within it
    double level = 0;
    if (k % 2 == 1) {
      level = ((k - 1) / 2) % 2 == 0 ? Vp : -Vp;  // on-times alternate
    } else {
      const int64_t s = k / 2;
      level = (s % 2 == 1 ? 1 : -1) * Decay(1000.0 * (j - 0.5) / Rate);
    }
    const double t = static_cast<double>(i);
    curve[i] = static_cast<float>(level + sp_mv + (drift_mv_per_sample + bend * t) * t);
  }
  return curve;
}

// The gate's chargeability of the closed-form decay, mV/V.
double TrueM(const Gate& gate) {
  double sum = 0;
  int count = 0;
  for (int j = 1; j <= A; ++j) {
    double t = 1000.0 * (j - 0.5) / Rate;
    if (gate.t1_ms <= t && t < gate.t2_ms) sum += Decay(t), ++count;
  }
  return 1000 * sum / count / Vp;
}

TEST(Chargeability, TheStackGivesTheDecayAndCancelsOffsetAndDrift) {
  const std::vector<Gate> gates = DefaultGates(A, Rate);
  ASSERT_FALSE(gates.empty());
  const Chargeability clean = ComputeChargeability(Curve(0, 0), A, Periods, Rate, Vp, gates);
  const Chargeability drifting = ComputeChargeability(Curve(12, 0.004), A, Periods, Rate, Vp, gates);
  double weighted = 0, widths = 0;
  for (size_t i = 0; i < gates.size(); ++i) {
    EXPECT_NEAR(clean.gates[i].m, TrueM(gates[i]), 1e-3) << GateText(gates[i]);
    // The stored samples are float32: offset and drift change the result only by their rounding.
    EXPECT_NEAR(drifting.gates[i].m, clean.gates[i].m, 5e-3) << GateText(gates[i]);
    weighted += TrueM(gates[i]) * gates[i].Width(), widths += gates[i].Width();
  }
  EXPECT_NEAR(clean.m, weighted / widths, 1e-3);
  EXPECT_NEAR(clean.mt_ms, weighted / 1000, 1e-5);
  EXPECT_NEAR(drifting.m, clean.m, 5e-3);
  EXPECT_LT(clean.m_error, 1e-3) << "identical stacks have no spread";
  EXPECT_LT(drifting.m_error, 5e-3) << "each stack cancels the drift by itself, not only their mean";
  // A gate takes the samples from its start up to, not including, its end: 10.5 .. 19.5 ms.
  const Gate exact{10.5, 20.5};
  double sum = 0;
  for (int j = 11; j <= 20; ++j) sum += Decay(j - 0.5);
  EXPECT_NEAR(ComputeChargeability(Curve(0, 0), A, Periods, Rate, Vp, {exact}).gates[0].m, 1000 * sum / 10 / Vp, 1e-3);
  ASSERT_EQ(clean.decay_mv.size(), size_t{A});
  EXPECT_NEAR(clean.decay_mv[9], Decay(9.5), 1e-4);
}

// The stated error against the scatter of many records that differ only in their noise:
// neighbouring stacks share pauses, and an error from their spread alone would be 1.8
// times too small. A drift that bends (quadratic in time) makes the stacks alternate
// about their mean, which cancels it: the ± stays the noise's.
TEST(Chargeability, TheStandardErrorMatchesTheScatter) {
  const std::vector<Gate> gates = DefaultGates(A, Rate);
  // 8 pauses, 6, and 4 (two stacks, whose noise is the samples').
  for (int32_t periods : {Periods, 3, 2})
    for (double bend : {0.0, 4e-6}) {
      const double truth = ComputeChargeability(Curve(0, 0, periods), A, periods, Rate, Vp, gates).m;
      std::mt19937_64 random(3);
      std::normal_distribution<double> noise(0, 0.5);
      const int records = 400;
      double squares = 0, stated = 0;
      int covered = 0;
      for (int r = 0; r < records; ++r) {
        std::vector<float> curve = Curve(0, 0, periods, bend);
        for (float& sample : curve) sample += static_cast<float>(noise(random));
        const Chargeability ip = ComputeChargeability(curve, A, periods, Rate, Vp, gates);
        squares += (ip.m - truth) * (ip.m - truth);
        stated += ip.m_error * ip.m_error;
        if (std::abs(ip.m - truth) <= ip.m_interval) ++covered;
      }
      const double ratio = std::sqrt(stated / squares);
      EXPECT_GT(ratio, 0.8) << periods << " periods, bend " << bend
                            << ": the stated standard error against the scatter";
      EXPECT_LT(ratio, 1.25) << periods << " periods, bend " << bend;
      EXPECT_GE(covered, records * 92 / 100) << periods << " periods, bend " << bend << ": the 95 % interval covers";
      EXPECT_LE(covered, records * 98 / 100) << periods << " periods, bend " << bend << ": and is no wider than that";
    }
}

// A sample that no gate takes (before the first, after the last, between two) changes
// no gate, however far a spike throws it: every such sample of two pauses in turn, 2 V off.
TEST(Chargeability, ASpikeOutsideEveryGateChangesNoGate) {
  std::vector<float> clean = Curve(3, 0.001);
  std::mt19937_64 random(11);
  std::normal_distribution<double> noise(0, 0.05);
  for (float& sample : clean) sample += static_cast<float>(noise(random));
  for (const std::vector<Gate>& gates : {DefaultGates(A, Rate), ParseGates("10:30,50:70", A, Rate)}) {
    const Chargeability truth = ComputeChargeability(clean, A, Periods, Rate, Vp, gates);
    std::vector<bool> taken(A, false);
    for (const Gate& gate : gates) {
      const SampleRange samples = GateSamples(gate, A, Rate);
      for (int64_t j = samples.first; j < samples.last; ++j) taken[static_cast<size_t>(j)] = true;
    }
    for (int64_t pause : {0, 5})
      for (int64_t j = 0; j < A; ++j) {
        if (taken[static_cast<size_t>(j)]) continue;
        std::vector<float> spiked = clean;
        spiked[static_cast<size_t>((2 * pause + 1) * A + j)] += 2000;
        const Chargeability found = ComputeChargeability(spiked, A, Periods, Rate, Vp, gates);
        for (size_t i = 0; i < gates.size(); ++i)
          EXPECT_NEAR(found.gates[i].m, truth.gates[i].m, 1e-9) << "spike at sample " << j << " of pause " << pause;
        EXPECT_NEAR(found.m, truth.m, 1e-9) << "spike at sample " << j << " of pause " << pause;
      }
  }
}

// Spikes found before and after the hum is removed are all counted.
TEST(Chargeability, SpikesCountedThroughHum) {
  std::vector<float> curve = Curve(0, 0);
  std::mt19937_64 random(5);
  std::normal_distribution<double> noise(0, 0.05);
  for (size_t i = 0; i < curve.size(); ++i)
    curve[i] +=
        static_cast<float>(2 * std::sin(2 * 3.141592653589793 * 50.3 * static_cast<double>(i) / Rate) + noise(random));
  for (size_t i : {3 * A + 50, 5 * A + 120, 9 * A + 77}) curve[i] += 8;
  const Chargeability ip = ComputeChargeability(curve, A, Periods, Rate, Vp, DefaultGates(A, Rate));
  EXPECT_NEAR(ip.hum_hz, 50.3, 0.01);
  EXPECT_EQ(ip.spikes_removed, 3);
}

TEST(Chargeability, NoAnswerWithoutThreePausesOrBeyondTheCurve) {
  const std::vector<Gate> gates = DefaultGates(A, Rate);
  EXPECT_TRUE(std::isnan(ComputeChargeability(Curve(0, 0), A, 1, Rate, Vp, gates).m)) << "two pauses only";
  EXPECT_TRUE(std::isnan(ComputeChargeability(Curve(0, 0), A, 0, Rate, Vp, gates).m));
  std::vector<float> short_curve = Curve(0, 0);
  short_curve.resize(short_curve.size() - 1);
  Chargeability beyond = ComputeChargeability(short_curve, A, Periods, Rate, Vp, gates);
  EXPECT_TRUE(std::isnan(beyond.m));
  EXPECT_TRUE(std::isnan(beyond.gates.at(0).m));
  EXPECT_TRUE(std::isnan(ComputeChargeability(Curve(0, 0), A, Periods, 0, Vp, gates).m));
  // A sample of a pause that is no number, on either side of a curve's largest values.
  for (float bad : {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::max()}) {
    std::vector<float> curve = Curve(0, 0);
    curve[3 * A + 17] = bad;  // in the second pause
    const Chargeability found = ComputeChargeability(curve, A, Periods, Rate, Vp, gates);
    EXPECT_EQ(std::isnan(found.m), !std::isfinite(bad)) << bad;
    EXPECT_EQ(found.no_answer == "a sample in a pause is not a number", !std::isfinite(bad)) << bad;
  }
}

TEST(Gates, DefaultSetAndTheUsersOwn) {
  std::vector<std::string> defaults;
  for (const Gate& gate : DefaultGates(1000, 1000)) defaults.push_back(GateText(gate));
  EXPECT_EQ(defaults, (std::vector<std::string>{"10-30", "30-70", "70-150", "150-310", "310-630"}));
  EXPECT_TRUE(DefaultGates(0, 1000).empty());
  // A pause of 68 ms: the gate 31-63 would end beyond 90 % of it.
  EXPECT_EQ(GateText(DefaultGates(68, 1000).back()), "15-31");

  std::vector<Gate> mine = ParseGates("20:40,40:80.5", 200, 1000);
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[1].t2_ms, 80.5);
  auto refusal = [](const std::string& text) {
    try {
      ParseGates(text, 200, 1000);
    } catch (const std::invalid_argument& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("20:400"), "gate 20:400 ms lies outside the pause of 200 ms");
  EXPECT_EQ(refusal("20.1:20.2"), "gate 20.1:20.2 ms holds no sample");
  EXPECT_EQ(refusal("30:20"), "gate 30:20 ms is reversed: it ends before it starts");
  EXPECT_EQ(refusal("10:10"), "gate 10:10 ms is empty: it ends where it starts");
  EXPECT_EQ(refusal("10:30,30:70,"), "the gate list '10:30,30:70,' ends with a comma");
  EXPECT_EQ(refusal("10:30,,30:70"), "the gate list '10:30,,30:70' has an empty gate between commas");
  const std::string order = " ms starts before the gate before it ends: gates are listed in order and do not overlap";
  EXPECT_EQ(refusal("30:70,10:30"), "gate 10:30" + order);
  EXPECT_EQ(refusal("10:40,30:70"), "gate 30:70" + order);
  EXPECT_EQ(refusal("20-40"), "a gate is written T1:T2 in ms, not '20-40'");
  EXPECT_EQ(refusal("a:40"), "gates are written T1:T2,T2:T3 in ms, not 'a:40'");
  EXPECT_EQ(refusal(""), "no gate given");
  // A gate may end where the pause ends, and takes its last sample (199.5 ms).
  const std::vector<Gate> to_the_end = ParseGates("150:200", A, Rate);
  double sum = 0;
  for (int j = 151; j <= 200; ++j) sum += Decay(j - 0.5);
  EXPECT_NEAR(ComputeChargeability(Curve(0, 0), A, Periods, Rate, Vp, to_the_end).m, 1000 * sum / 50 / Vp, 1e-4);
}

}  // namespace
