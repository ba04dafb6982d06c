// Each decay fitted with a Cole-Cole model and judged, against the generator's grounds
// whose chargeability, time constant and exponent are known, record by record.

#include "ip/decay_fit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "processing/record_pass.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

// A dipole-dipole line of 12 electrodes (none with a poor contact) over a polarised
// half-space; every record's m and τ vary by up to ±25 % around these.
SynthOptions Polarised(double tau_ms, double c, double noise_mv, int32_t blocks, int32_t channels) {
  SynthOptions o;
  o.physical = true;
  o.rho_ohm_m = 100;
  o.electrodes = 12;
  o.blocks = blocks;
  o.channels = channels;
  o.noise_mv = noise_mv;
  o.chargeability_mv_v = 31.7;
  o.tau_ms = tau_ms;
  o.cole_c = c;
  return o;
}

struct Fitted {
  PolarisationModel truth;
  Chargeability ip;
  const DecayFit& Fit() const { return *ip.fit; }
};

// Every record's chargeability and fit from the record pass, beside its ground.
std::vector<Fitted> FitSurvey(const TempDir& dir, const SynthOptions& o) {
  const std::string path = dir.File("fit.qmr");
  WriteSyntheticSurvey(path, o);
  PassOptions pass;
  pass.ip = IpSettings{};
  pass.ip->decay_fit = true;
  std::vector<Fitted> fitted;
  RecordPass(*OpenSurvey(path).survey, pass, [&](const RecordRow& row) {
    fitted.push_back({ChannelPolarisation(o, row.entry.Block - 1, row.entry.Channel - 1), *row.evaluation.ip});
  });
  for (const Fitted& record : fitted) EXPECT_TRUE(record.ip.fit) << "the pass fitted every record";
  return fitted;
}

// Without noise the fit finds each record's own ground: time constants from 7 to 770 ms
// (a fine scan, each record's its own) and exponents from 0.14 to 1, every Cole-Cole
// ground a different one. The model gives the gates of the waveform as measured (the
// current's rise, every pause charging and decaying under the next, the stacks and Vp),
// so nothing but the stored floats' rounding stands between them.
TEST(DecayFit, RecoversTheGroundAcrossFineScansOfTauAndC) {
  TempDir dir;
  const double scan[][2] = {{13.7, 0.137}, {231, 0.291},  {63.7, 0.463}, {613, 0.617},
                            {9.71, 0.788}, {41.3, 0.913}, {133, 0.967},  {301, 1.0}};
  for (const auto& [tau, c] : scan) {
    for (const Fitted& record : FitSurvey(dir, Polarised(tau, c, 0, 7, 1))) {
      const DecayFit& fit = record.Fit();
      SCOPED_TRACE("tau " + std::to_string(record.truth.tau_s * 1000) + " ms, c " + std::to_string(c));
      ASSERT_TRUE(fit.no_fit.empty()) << fit.no_fit;
      EXPECT_NEAR(fit.m / (1000 * record.truth.chargeability), 1, 1e-3);
      EXPECT_NEAR(std::log(fit.tau_ms / (1000 * record.truth.tau_s)), 0, 3e-3);
      EXPECT_NEAR(fit.c, c, 2e-3);
      for (size_t i = 0; i < fit.model.size(); ++i)
        EXPECT_NEAR(fit.model[i], record.ip.gates[i].m, 1e-4 * std::abs(record.ip.gates[0].m)) << "gate " << i + 1;
    }
  }
}

// With noise, the ± of m, τ and c cover the truth about as often as their 95 % claims,
// and the data error follows the gates' scatter.
TEST(DecayFit, ItsIntervalsCoverTheTruthAsOftenAsTheyClaim) {
  TempDir dir;
  int records = 0, m_covered = 0, tau_covered = 0, c_covered = 0;
  SynthOptions o = Polarised(83.1, 0.613, 2.5, 240, 1);
  o.half_period = o.second_length = 500;
  for (const Fitted& record : FitSurvey(dir, o)) {
    const DecayFit& fit = record.Fit();
    ++records;
    m_covered += std::abs(fit.m - 1000 * record.truth.chargeability) <= fit.m_interval;
    tau_covered += std::abs(std::log(fit.tau_ms / (1000 * record.truth.tau_s))) <= fit.tau_interval_ms / fit.tau_ms;
    c_covered += std::abs(fit.c - record.truth.c) <= fit.c_interval;
    EXPECT_GT(fit.data_error, 0);
    EXPECT_LT(fit.data_error, 4 * record.ip.gates[0].error) << "record " << records;
  }
  ASSERT_EQ(records, 240);
  for (int covered : {m_covered, tau_covered, c_covered}) {
    EXPECT_GE(covered, 0.9 * records);
    EXPECT_LE(covered, 0.995 * records);
  }
}

// Over ground without polarisation the decay is noise, whose fit would print an m of
// hundreds with a ± larger still: nearly every record gets none and says why, τ
// unresolved (a record whose gates stand out of the noise by chance is still fitted).
TEST(DecayFit, NoiseAloneIsTooWeakToFit) {
  TempDir dir;
  SynthOptions o = Polarised(83.1, 0.613, 0.5, 40, 1);
  o.chargeability_mv_v = 0;
  int records = 0, weak = 0;
  for (const Fitted& record : FitSurvey(dir, o)) {
    const DecayFit& fit = record.Fit();
    ++records;
    if (fit.no_fit.empty()) continue;
    ++weak;
    EXPECT_EQ(fit.no_fit, TooWeakToFit);
    EXPECT_TRUE(std::isnan(fit.m) && std::isnan(fit.m_interval) && std::isnan(fit.tau_interval_ms));
    EXPECT_TRUE(fit.Flagged(DecayFlag::TauUnresolved));
  }
  EXPECT_GE(weak, 0.8 * records) << weak << " of " << records;
}

// Clean decays pass every check, negative ones too; each fault the generator gives them
// raises its flag on every record, with its reason.
TEST(DecayFlags, CleanDecaysPassAndEachFaultRaisesItsFlag) {
  TempDir dir;
  SynthOptions o = Polarised(61.3, 0.71, 0.5, 24, 1);
  for (double sign : {1, -1}) {
    SynthOptions clean = o;
    clean.chargeability_mv_v *= sign;
    for (const Fitted& record : FitSurvey(dir, clean)) {
      EXPECT_EQ(record.ip.m < 0, sign < 0);
      EXPECT_TRUE(record.Fit().flags.empty())
          << DecayFlagName(record.Fit().flags.front().flag) << ": " << record.Fit().flags.front().reason;
    }
  }

  struct Fault {
    DecayFault fault;
    std::vector<DecayFlag> flags;  // any of them
  };
  for (const Fault& fault :
       {Fault{DecayFault::SignChange, {DecayFlag::ChangesSign}}, Fault{DecayFault::LeftSpike, {DecayFlag::NotMonotone}},
        Fault{DecayFault::SlowRelaxation, {DecayFlag::Misfit, DecayFlag::TauUnresolved}}}) {
    o.decay_fault = fault.fault;
    for (const Fitted& record : FitSurvey(dir, o)) {
      bool raised = false;
      for (DecayFlag flag : fault.flags) raised = raised || record.Fit().Flagged(flag);
      EXPECT_TRUE(raised) << "fault " << static_cast<int>(fault.fault) << ", flag " << DecayFlagName(fault.flags[0]);
      for (const DecayFlagged& flagged : record.Fit().flags) EXPECT_FALSE(flagged.reason.empty());
    }
  }
}

}  // namespace
