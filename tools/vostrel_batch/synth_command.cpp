// synth: a synthetic survey, written only once it is complete.

#include <cstdio>
#include <filesystem>
#include <memory>

#include "measurement/in_out_error.h"
#include "output/atomic_text_file.h"
#include "synthetic/synthetic_survey.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"
#include "vostrel_batch/options.h"

namespace {

struct Options {
  SynthOptions synth;
  double spacing_m = 0;
  std::string layout;
  double rho = 0;
  bool force = false;
  std::string out;
};

void AddWhole(CLI::App& app, const std::string& name, int32_t& value, const std::string& help, int64_t low,
              int64_t high, const std::string& takes) {
  app.add_option(name, value, help + " (default: " + std::to_string(value) + ")")
      ->type_name("N")
      ->check(WholeNumber(takes, [low, high](int64_t n) { return n >= low && n <= high; }));
}

void AddReal(CLI::App& app, const std::string& name, double& value, const std::string& type, const std::string& help,
             const std::string& takes, std::function<bool(double)> within = {}) {
  app.add_option(name, value, help)->type_name(type)->check(RealNumber(takes, std::move(within)));
}

void DeclareSurvey(CLI::App& app, Options& o) {
  SynthOptions& s = o.synth;
  AddWhole(app, "--blocks", s.blocks, "measurement blocks", 0, INT32_MAX, "a number of blocks of 0 or more");
  AddWhole(app, "--channels", s.channels, "channels of a block", 0, 20, "a number of channels from 0 to 20");
  AddWhole(app, "--electrodes", s.electrodes, "electrodes of the table", 4, 128,
           "a number of electrodes from 4 to 128");
  o.spacing_m = s.spacing_m;
  AddReal(app, "--spacing", o.spacing_m, "M", "metres between electrodes (default: 5)", "a distance above 0 m",
          [](double m) { return m > 0 && m < 1e30; });
  AddFlag(app, "--wenner", s.wenner, "the first surveys' model with Wenner spreads");
  AddWhole(app, "--sample-rate", s.sample_rate, "samples per second", 1, INT32_MAX, "a rate above 0 Hz");
  AddWhole(app, "--half-period", s.half_period, "samples of the current's half-period", 1, INT32_MAX,
           "a number of samples above 0");
  AddWhole(app, "--second-length", s.second_length, "samples of the pause after it", 0, INT32_MAX,
           "a number of samples of 0 or more");
  AddWhole(app, "--periods", s.period_count, "periods of each curve", 1, INT32_MAX, "a number of periods above 0");
  AddReal(app, "--current", s.current_a, "A", "the current, in amperes (default: 0.5)", "a current above 0 A",
          [](double a) { return a > 0; });
  AddReal(app, "--noise", s.noise_mv, "MV", "standard deviation of the voltage noise, in mV (default: 0.5)",
          "a noise of 0 mV or more", [](double mv) { return mv >= 0; });
  app.add_option("--seed", s.seed, "the noise's seed: the same options give the same bytes (default: 1)")
      ->type_name("N")
      ->check(WholeNumber("a whole number of 0 or more", [](int64_t n) { return n >= 0; }));
  AddFlag(app, "--sparse", s.sparse, "curves left as holes that read as zeros (huge files for indexing)");
  AddChoice(app, "--layout", o.layout, {"dipole-dipole", "wenner", "gradient", "pole-dipole"},
            "a physical model of this layout over a homogeneous half-space");
  AddReal(app, "--rho", o.rho, "OHM_M", "the half-space's resistivity for a physical model, in Ω·m",
          "a resistivity above 0 Ω·m", [](double rho) { return rho > 0; });
  AddFlag(app, "--reciprocal", s.reciprocal, "every quadrupole again with its dipoles exchanged");
}

void DeclarePolarisation(CLI::App& app, SynthOptions& s) {
  AddReal(app, "--chargeability", s.chargeability_mv_v, "MV_V", "chargeability of the ground, in mV/V",
          "a chargeability from 0 to below 1000 mV/V", [](double m) { return m >= 0 && m < 1000; });
  AddReal(app, "--tau", s.tau_ms, "MS", "its time constant, in ms (default: 100)", "a time above 0 ms",
          [](double ms) { return ms > 0; });
  AddReal(app, "--cole-c", s.cole_c, "C", "its Cole-Cole exponent, 1 for Debye (default: 1)",
          "an exponent above 0 up to 1", [](double c) { return c > 0 && c <= 1; });
  AddReal(app, "--sp", s.sp_mv, "MV", "a self-potential offset, in mV", "a voltage in mV");
  AddReal(app, "--drift", s.drift_mv_per_s, "MV_S", "a linear drift, in mV/s", "a drift in mV/s");
  AddReal(app, "--creep", s.creep_mv, "MV", "an exponential creep, in mV", "a voltage in mV");
  AddReal(app, "--creep-time", s.creep_s, "S", "the creep's time constant, in s (default: 60)", "a time above 0 s",
          [](double t) { return t > 0; });
  AddReal(app, "--hum", s.hum_mv, "MV", "mains hum, in mV", "an amplitude of 0 mV or more",
          [](double mv) { return mv >= 0; });
  AddReal(app, "--hum-hz", s.hum_hz, "HZ", "the hum's frequency (default: 50)", "a frequency above 0 Hz",
          [](double hz) { return hz > 0; });
  AddReal(app, "--spikes", s.spikes_per_s, "PER_S", "spikes per second", "a rate of 0 or more per second",
          [](double n) { return n >= 0; });
  AddReal(app, "--spike", s.spike_mv, "MV", "the spikes' size: ±0.5 to 1.5 times MV (default: 20)",
          "a size of 0 mV or more", [](double mv) { return mv >= 0; });
}

SynthLayout LayoutNamed(const std::string& name) {
  if (name == "wenner") return SynthLayout::Wenner;
  if (name == "gradient") return SynthLayout::Gradient;
  if (name == "pole-dipole") return SynthLayout::PoleDipole;
  return SynthLayout::DipoleDipole;
}

void Write(const Options& given, const std::string& out, FileOutput& output) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::path(out).parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error))
    throw InOutError::Invalid("there is no folder " + folder.string());
  if (fs::is_directory(out, error)) throw InOutError::Invalid("is a folder");
  if (fs::exists(out, error) && !given.force) throw InOutError::Invalid("the file exists; --force replaces it");
  SynthOptions o = given.synth;
  o.spacing_m = static_cast<float>(given.spacing_m);
  if (!given.layout.empty()) {
    o.physical = true;
    o.layout = LayoutNamed(given.layout);
  }
  if (given.rho > 0) {
    o.physical = true;
    o.rho_ohm_m = given.rho;
  }
  SynthWritten written;
  WriteWhenComplete(out, [&](const std::string& temporary) { written = WriteSyntheticSurvey(temporary, o); });
  output.Print("%s: %d blocks, %d records\n", out.c_str(), written.blocks, written.records);
}

}  // namespace

CommandRun DeclareSynth(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddArgument(app, "OUT.qmr", o->out, "the survey to write");
  AddFlag(app, "--force", o->force, "replace the file when it exists");
  DeclareSurvey(app, *o);
  DeclarePolarisation(app, o->synth);
  return [o](const std::vector<std::string>&) {
    return ForEachFile({o->out}, {},
                       [&](const std::string& out, FileOutput& output, const Progress&) { Write(*o, out, output); });
  };
}
