// The chargeability's scans, too long for the test suite: hum within ±30 mHz of every
// frequency that turns by half a cycle from pause to pause, and the ±'s coverage over
// 1000 noisy records per case. The truth of each record is the same survey written
// without hum, noise, drift and spikes.
//   ip_scan hum [STEP_MHZ]     the band around the singular frequencies
//   ip_scan coverage [RECORDS] the ±'s coverage per case
//   ip_scan cases              a few records, printed one by one

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "processing/record_pass.h"
#include "synthetic/synthetic_survey.h"

namespace {

std::vector<Chargeability> SurveyChargeability(const SynthOptions& o) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vostrel-ip-scan-" + std::to_string(getpid()) + ".qmr")).string();
  WriteSyntheticSurvey(path, o);
  PassOptions pass;
  pass.ip = IpSettings{};
  if (std::getenv("NO_CLEANING")) pass.ip->cleaning = {false, {}};
  std::vector<Chargeability> results;
  RecordPass(*OpenSurvey(path).survey, pass, [&](const RecordRow& row) { results.push_back(*row.evaluation.ip); });
  std::filesystem::remove(path);
  return results;
}

// One channel per block, a dipole-dipole of adjacent dipoles 5 m long whose voltage step
// is v0_mv over a Debye ground of m and tau.
SynthOptions Ground(double v0_mv, double m, double tau_ms, double pause_s, int periods) {
  SynthOptions o;
  o.physical = true;
  o.uniform_ground = true;
  o.blocks = 1;
  o.channels = 1;
  o.electrodes = 12;
  o.noise_mv = 0;
  o.current_a = 1;
  o.rho_ohm_m = v0_mv / 1000 * 6 * std::numbers::pi * 5;  // the dipoles' 1 / (6π a)
  o.chargeability_mv_v = m;
  o.tau_ms = tau_ms;
  o.half_period = o.second_length = static_cast<int32_t>(std::lround(pause_s * 1000));
  o.period_count = periods;
  return o;
}

SynthOptions Clean(SynthOptions o) {
  o.noise_mv = 0;
  o.hum_mv = 0;
  o.sp_mv = o.drift_mv_per_s = o.creep_mv = 0;
  o.spikes_per_s = 0;
  return o;
}

struct Tally {
  int records = 0, within = 0, covered = 0, outside_both = 0, confidently_wrong = 0, no_answer = 0;
  double worst = 0;  // in allowances
  std::vector<double> error_per_interval;
  double z_sum = 0, z_squares = 0, vp_low = INFINITY, vp_high = 0;

  void Add(const Chargeability& found, double truth) {
    ++records;
    if (!std::isfinite(found.m)) {
      ++no_answer;
      return;
    }
    const double error = std::abs(found.m - truth), allowance = std::fmax(0.02 * std::abs(truth), 0.3);
    within += error <= allowance;
    covered += error <= found.m_interval;
    outside_both += error > allowance && error > found.m_interval;
    confidently_wrong += error > 3 * allowance && found.m_interval <= allowance;
    worst = std::fmax(worst, error / allowance);
    const double z = (found.m - truth) / found.m_error;
    z_sum += z, z_squares += z * z;
    vp_low = std::fmin(vp_low, std::abs(found.vp)), vp_high = std::fmax(vp_high, std::abs(found.vp));
    error_per_interval.push_back(error / found.m_interval);
  }
  double MedianRatio() {
    if (error_per_interval.empty()) return NAN;
    std::nth_element(error_per_interval.begin(), error_per_interval.begin() + error_per_interval.size() / 2,
                     error_per_interval.end());
    return error_per_interval[error_per_interval.size() / 2];
  }
  void Print(const std::string& name) {
    const int answered = records - no_answer;
    std::printf("%-28s %6d %6d %6.1f %% %6d %5d %5d %7.2f %6.1f %% %6.2f\n", name.c_str(), records, within,
                100.0 * covered / std::max(answered, 1), outside_both, confidently_wrong, no_answer, worst,
                100.0 * outside_both / std::max(answered, 1), MedianRatio());
    if (std::getenv("VERBOSE"))
      std::printf("    z mean %.3f, z rms %.3f, Vp %.3g..%.3g mV\n", z_sum / answered, std::sqrt(z_squares / answered),
                  vp_low, vp_high);
  }
  void Merge(const Tally& other) {
    records += other.records, within += other.within, covered += other.covered;
    outside_both += other.outside_both, confidently_wrong += other.confidently_wrong, no_answer += other.no_answer;
    worst = std::fmax(worst, other.worst);
    error_per_interval.insert(error_per_interval.end(), other.error_per_interval.begin(),
                              other.error_per_interval.end());
  }
};

void Header() {
  std::printf("%-28s %6s %6s %8s %6s %5s %5s %7s %8s %6s\n", "", "records", "within", "covered", "outside", "wrong",
              "NaN", "worst", "outside%", "err/±");
}

// Hum of 5 mV with 30/20/10 % at the 3rd/5th/7th harmonics and 0.1 mV of noise, every
// step within ±30 mHz of the fundamental frequency at which harmonic h turns by half a
// cycle from one pause to the next, the one nearest each mains frequency.
void HumScan(double step_mhz, bool verbose) {
  struct Pause {
    double seconds;
    int periods;
  };
  struct GroundKind {
    const char* name;
    double v0_mv, m, tau_ms;
  };
  const Pause pauses[] = {{0.25, 12}, {0.5, 8}, {1, 6}, {2, 4}};
  const GroundKind grounds[] = {{"strong", 100, 50, 50}, {"weak", 10, 100, 10}};
  Header();
  Tally all;
  for (double mains : {50.0, 60.0, 16.7}) {
    Tally band;
    for (Pause pause : pauses)
      for (int h = 1; h <= 7; ++h) {
        const double spacing = 1 / (2 * h * pause.seconds);
        const double singular = (std::round(mains / spacing - 0.5) + 0.5) * spacing;
        const int steps = static_cast<int>(std::lround(30 / step_mhz));
        for (const GroundKind& ground : grounds) {
          SynthOptions field = Ground(ground.v0_mv, ground.m, ground.tau_ms, pause.seconds, pause.periods);
          field.blocks = 2 * steps + 1;
          field.hum_mv = 5;
          field.hum_hz = singular - steps * step_mhz / 1000;
          field.hum_hz_step = step_mhz / 1000;
          field.hum_third = 0.3, field.hum_fifth = 0.2, field.hum_seventh = 0.1;
          field.noise_mv = 0.1;
          field.seed = static_cast<uint64_t>(h * 100 + pause.periods);
          if (std::getenv("HUM_OFF")) field.hum_mv = 0;
          if (std::getenv("NOISE_OFF")) field.noise_mv = 0;
          const std::vector<Chargeability> truth = SurveyChargeability(Clean(field));
          const std::vector<Chargeability> found = SurveyChargeability(field);
          Tally tally;
          for (size_t k = 0; k < found.size(); ++k) {
            tally.Add(found[k], truth[k].m);
            const double error = std::abs(found[k].m - truth[k].m);
            const double allowance = std::fmax(0.02 * std::abs(truth[k].m), 0.3);
            if (verbose && error > allowance && error > found[k].m_interval)
              std::printf("  %.2f s h%d %s %.4f Hz (%+.0f mHz): %.3f ± %.3f against %.3f, hum %.4f Hz %.3f mV\n",
                          pause.seconds, h, ground.name, field.hum_hz + field.hum_hz_step * k,
                          (field.hum_hz + field.hum_hz_step * k - singular) * 1000, found[k].m, found[k].m_interval,
                          truth[k].m, found[k].hum_hz, found[k].hum_mv);
          }
          char name[64];
          std::snprintf(name, sizeof name, "%.1f Hz %.2f s h%d %s", mains, pause.seconds, h, ground.name);
          if (verbose) tally.Print(name);
          band.Merge(tally);
        }
      }
    band.Print("near " + std::to_string(mains).substr(0, 4) + " Hz");
    all.Merge(band);
  }
  all.Print("all");
}

// The ±'s coverage: records that differ only in their noise and the field's disturbance.
void Coverage(int records) {
  struct Case {
    const char* name;
    void (*disturb)(SynthOptions&);
  };
  const Case cases[] = {
      {"white noise 0.2 mV", [](SynthOptions& o) { o.noise_mv = 0.2; }},
      {"noise 2 mV", [](SynthOptions& o) { o.noise_mv = 2; }},
      {"hum 49-51 Hz",
       [](SynthOptions& o) {
         o.noise_mv = 0.2;
         o.hum_mv = 3;
         o.hum_hz = 49;
         o.hum_hz_step = 2.0 / o.blocks;
       }},
      {"spikes",
       [](SynthOptions& o) {
         o.noise_mv = 0.2;
         o.spikes_per_s = 1;
         o.spike_mv = 30;
       }},
      {"drift",
       [](SynthOptions& o) {
         o.noise_mv = 0.2;
         o.sp_mv = 20;
         o.drift_mv_per_s = 1;
         o.bend_mv_per_s2 = 0.1;
       }},
      {"weak (Vp 0.5-5 mV)",
       [](SynthOptions& o) {
         o.noise_mv = 0.1;
         o.rho_ohm_m /= 30;
       }},
      {"all together",
       [](SynthOptions& o) {
         o.noise_mv = 0.3;
         o.hum_mv = 2;
         o.hum_hz = 49;
         o.hum_hz_step = 2.0 / o.blocks;
         o.spikes_per_s = 0.5;
         o.spike_mv = 20;
         o.sp_mv = 20;
         o.drift_mv_per_s = 1;
         o.bend_mv_per_s2 = 0.1;
         o.creep_mv = 5;
         o.creep_s = 60;
       }},
  };
  Header();
  for (const Case& c : cases) {
    Tally tally;
    int seed = 0;
    while (tally.records < records) {
      // 50 blocks of 4 channels: Vp from 20 to 200 mV, M from 15 to 60 mV/V.
      SynthOptions o;
      o.physical = true;
      o.rho_ohm_m = 30;
      o.blocks = 50;
      o.channels = 4;
      o.electrodes = 16;
      o.noise_mv = 0;
      o.chargeability_mv_v = 40;
      o.tau_ms = 100;
      o.half_period = o.second_length = 1000;
      o.seed = static_cast<uint64_t>(++seed);
      c.disturb(o);
      const std::vector<Chargeability> truth = SurveyChargeability(Clean(o));
      const std::vector<Chargeability> found = SurveyChargeability(o);
      for (size_t k = 0; k < found.size() && tally.records < records; ++k) tally.Add(found[k], truth[k].m);
    }
    tally.Print(c.name);
  }
}

void Cases() {
  struct One {
    SynthOptions ground;
    double hum_mv, hz, noise_mv;
  };
  const One cases[] = {{Ground(100, 50, 50, 0.25, 12), 5, 49.012, 0.1},
                       {Ground(10, 100, 10, 0.25, 12), 5, 49.002, 0.1},
                       {Ground(10, 50, 50, 1, 6), 5, 50.248, 0.1},
                       {Ground(1, 200, 1000, 0.5, 8), 1, 50.4907, 0.01}};
  for (const One& one : cases) {
    SynthOptions field = one.ground;
    field.hum_mv = one.hum_mv;
    field.hum_hz = one.hz;
    field.hum_third = 0.3, field.hum_fifth = 0.2, field.hum_seventh = 0.1;
    field.noise_mv = one.noise_mv;
    const Chargeability t = SurveyChargeability(Clean(field))[0];
    const Chargeability f = SurveyChargeability(field)[0];
    std::printf(
        "%.4f Hz: truth %.3f (Vp %.3f); found %.3f ± %.3f (Vp %.3f), hum %.4f Hz %.3f mV; gate 1 %.3f ± %.3f "
        "against %.3f%s%s\n",
        one.hz, t.m, t.vp, f.m, f.m_interval, f.vp, f.hum_hz, f.hum_mv, f.gates[0].m, f.gates[0].interval, t.gates[0].m,
        f.no_answer.empty() ? "" : ", no answer: ", f.no_answer.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  const bool verbose = std::getenv("VERBOSE") != nullptr;
  if (std::getenv("HUM_OFF") || std::getenv("NOISE_OFF")) std::printf("(a trial: hum or noise off)\n");
  if (what == "hum") {
    HumScan(argc > 2 ? std::atof(argv[2]) : 1, verbose);
  } else if (what == "coverage") {
    Coverage(argc > 2 ? std::atoi(argv[2]) : 1000);
  } else if (what == "cases") {
    Cases();
  } else {
    std::fprintf(stderr, "usage: ip_scan hum [STEP_MHZ] | coverage [RECORDS] | cases\n");
    return 2;
  }
}
