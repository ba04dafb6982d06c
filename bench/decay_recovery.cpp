// How well each decay's fit recovers the ground, by noise level: for every level a survey
// of RECORDS records (one dipole each, the same geometry, so the same Vp) over a
// Cole-Cole ground whose m and τ vary by up to ±25 % from record to record, fitted through
// the record pass as an export fits it. For m, ln τ and c: the bias and spread of the
// error against each record's own ground, and the share whose ± covers it; the share
// flagged. Then the flags of decays the generator gave a fault, at one noise level.
//   decay_recovery [C] [RECORDS]      (default: c = 0.613, 1000 records a level)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ip/decay_fit.h"
#include "processing/record_pass.h"
#include "synthetic/synthetic_survey.h"

namespace {

struct Moments {
  std::vector<double> errors;
  int covered = 0;
  void Add(double error, bool cover) {
    errors.push_back(error);
    covered += cover;
  }
  double Mean() const {
    double sum = 0;
    for (double e : errors) sum += e;
    return sum / static_cast<double>(errors.size());
  }
  double Spread() const {
    const double mean = Mean();
    double squares = 0;
    for (double e : errors) squares += (e - mean) * (e - mean);
    return std::sqrt(squares / static_cast<double>(errors.size() - 1));
  }
  double Covered() const { return 100.0 * covered / static_cast<double>(errors.size()); }
};

SynthOptions Ground(double c, double noise_mv, int records, DecayFault fault) {
  SynthOptions o;
  o.physical = true;
  o.rho_ohm_m = 100;
  o.electrodes = 12;  // none with a poor contact
  o.blocks = records;
  o.channels = 1;
  o.noise_mv = noise_mv;
  o.chargeability_mv_v = 31.7;
  o.tau_ms = 83.1;
  o.cole_c = c;
  o.seed = static_cast<uint64_t>(1000 * noise_mv) + 7;
  o.decay_fault = fault;
  return o;
}

struct Level {
  Moments m, tau, c;
  std::vector<double> m_intervals;
  int flagged[4] = {0, 0, 0, 0};
  int any = 0, records = 0;
  double vp = 0;
};

Level Run(const std::string& path, const SynthOptions& o) {
  WriteSyntheticSurvey(path, o);
  PassOptions pass;
  pass.ip = IpSettings{.gates = {}, .cleaning = {}, .decay_fit = true};
  Level level;
  RecordPass(*OpenSurvey(path).survey, pass, [&](const RecordRow& row) {
    const Chargeability& ip = *row.evaluation.ip;
    const DecayFit& fit = *ip.fit;
    const PolarisationModel truth = ChannelPolarisation(o, row.entry.Block - 1, row.entry.Channel - 1);
    ++level.records;
    level.vp = std::abs(ip.vp);
    level.m_intervals.push_back(ip.m_interval);
    if (!fit.no_fit.empty()) return;
    const double m = 1000 * truth.chargeability, tau = 1000 * truth.tau_s;
    level.m.Add(fit.m / m - 1, std::abs(fit.m - m) <= fit.m_interval);
    level.tau.Add(std::log(fit.tau_ms / tau), std::abs(std::log(fit.tau_ms / tau)) <= fit.tau_interval_ms / fit.tau_ms);
    level.c.Add(fit.c - truth.c, std::abs(fit.c - truth.c) <= fit.c_interval);
    for (const DecayFlagged& flagged : fit.flags) ++level.flagged[static_cast<int>(flagged.flag)];
    level.any += !fit.flags.empty();
  });
  return level;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const double c = argc > 1 ? std::atof(argv[1]) : 0.613;
  const int records = argc > 2 ? std::atoi(argv[2]) : 1000;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vostrel-decay-recovery";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "recovery.qmr").string();

  std::printf(
      "Cole-Cole ground: m 31.7 mV/V and tau 83.1 ms (each record within 25 %%), c %.3f; %d records a level;\n"
      "half-period 1000 ms at 1000 Hz, 4 periods, gates 10-30 .. 310-630 ms\n",
      c, records);
  std::printf("%8s %8s %9s | %21s | %21s | %21s | %7s\n", "noise", "Vp", "M +-", "m: bias spread cover",
              "ln tau: bias spr. cov", "c: bias spread cover", "flagged");
  std::printf("%8s %8s %9s | %21s | %21s | %21s | %7s\n", "mV", "mV", "mV/V", "%      %      %", "%      %      %",
              "       %", "%");
  double tau_lost = 0, c_lost = 0;
  for (double noise : {0.03, 0.1, 0.3, 1.0, 3.0, 10.0, 30.0}) {
    const Level level = Run(path, Ground(c, noise, records, DecayFault::None));
    std::printf("%8.2f %8.1f %9.4f | %6.2f %6.2f %6.1f | %6.2f %6.2f %6.1f | %6.3f %6.3f %6.1f | %6.1f\n", noise,
                level.vp, Median(level.m_intervals), 100 * level.m.Mean(), 100 * level.m.Spread(), level.m.Covered(),
                100 * level.tau.Mean(), 100 * level.tau.Spread(), level.tau.Covered(), level.c.Mean(), level.c.Spread(),
                level.c.Covered(), 100.0 * level.any / level.records);
    // τ can be told while it is known within a factor of 2 (the spread of ln τ below
    // ln 2); c while its spread stays below 0.15 (0.5 told from 0.8 at two spreads).
    if (tau_lost == 0 && level.tau.Spread() > std::log(2.0)) tau_lost = noise;
    if (c_lost == 0 && level.c.Spread() > 0.15) c_lost = noise;
  }
  std::printf(
      "tau can no longer be told (spread of ln tau above ln 2) from noise %g mV; c (spread above 0.15) from %g mV\n",
      tau_lost, c_lost);

  std::printf("\nflags at noise 0.5 mV (%d records each): not monotone, changes sign, misfit, tau unresolved, any\n",
              records);
  const char* names[] = {"clean", "sign change", "spike left in a pause", "second relaxation beyond the pause"};
  for (int fault = 0; fault < 4; ++fault) {
    const Level level = Run(path, Ground(c, 0.5, records, static_cast<DecayFault>(fault)));
    std::printf("%-36s %5d %5d %5d %5d %5d of %d\n", names[fault], level.flagged[0], level.flagged[1], level.flagged[2],
                level.flagged[3], level.any, level.records);
  }
  std::filesystem::remove_all(folder);
  return 0;
}
