#include <cstdio>

#include "synthetic/synthetic_survey.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"

namespace {

SynthLayout LayoutNamed(const std::string& name) {
  if (name == "dipole-dipole") return SynthLayout::DipoleDipole;
  if (name == "wenner") return SynthLayout::Wenner;
  if (name == "gradient") return SynthLayout::Gradient;
  if (name == "pole-dipole") return SynthLayout::PoleDipole;
  throw UsageError("--layout takes dipole-dipole, wenner, gradient or pole-dipole, not '" + name + "'");
}

// The induced polarisation model and the field's disturbances.
void ReadPolarisation(const Arguments& arguments, SynthOptions& o) {
  o.chargeability_mv_v = arguments.Number("--chargeability", o.chargeability_mv_v);
  o.tau_ms = arguments.Number("--tau", o.tau_ms);
  o.cole_c = arguments.Number("--cole-c", o.cole_c);
  o.sp_mv = arguments.Number("--sp", o.sp_mv);
  o.drift_mv_per_s = arguments.Number("--drift", o.drift_mv_per_s);
  o.creep_mv = arguments.Number("--creep", o.creep_mv);
  o.creep_s = arguments.Number("--creep-time", o.creep_s);
  o.hum_mv = arguments.Number("--hum", o.hum_mv);
  o.hum_hz = arguments.Number("--hum-hz", o.hum_hz);
  o.spikes_per_s = arguments.Number("--spikes", o.spikes_per_s);
  o.spike_mv = arguments.Number("--spike", o.spike_mv);
  if (!(o.chargeability_mv_v >= 0 && o.chargeability_mv_v < 1000))
    throw UsageError("--chargeability must lie in 0..1000 mV/V");
  if (!(o.tau_ms > 0)) throw UsageError("--tau must be a time above 0 ms");
  if (!(o.cole_c > 0 && o.cole_c <= 1)) throw UsageError("--cole-c must lie in (0, 1]");
  if (!(o.creep_s > 0)) throw UsageError("--creep-time must be a time above 0 s");
  if (!(o.hum_hz > 0)) throw UsageError("--hum-hz must be a frequency above 0");
  if (!(o.spikes_per_s >= 0)) throw UsageError("--spikes must not be negative");
}

}  // namespace

int SynthCommand(const std::vector<std::string>& words) {
  Arguments arguments(
      words, {"--wenner", "--sparse", "--reciprocal"},
      {"--blocks",        "--channels",      "--electrodes", "--spacing", "--sample-rate", "--half-period",
       "--second-length", "--periods",       "--current",    "--noise",   "--seed",        "--layout",
       "--rho",           "--chargeability", "--tau",        "--cole-c",  "--sp",          "--drift",
       "--creep",         "--creep-time",    "--hum",        "--hum-hz",  "--spikes",      "--spike"});
  if (arguments.Plain().size() != 1) throw UsageError("one output file expected");
  SynthOptions o;
  auto int32 = [&](const char* name, int32_t fallback) {
    int64_t value = arguments.Integer(name, fallback);
    if (value < INT32_MIN || value > INT32_MAX) throw UsageError(std::string(name) + " is out of range");
    return static_cast<int32_t>(value);
  };
  o.blocks = int32("--blocks", o.blocks);
  o.channels = int32("--channels", o.channels);
  o.electrodes = int32("--electrodes", o.electrodes);
  o.spacing_m = static_cast<float>(arguments.Number("--spacing", o.spacing_m));
  o.wenner = arguments.Flag("--wenner");
  o.sample_rate = int32("--sample-rate", o.sample_rate);
  o.half_period = int32("--half-period", o.half_period);
  o.second_length = int32("--second-length", o.second_length);
  o.period_count = int32("--periods", o.period_count);
  o.current_a = arguments.Number("--current", o.current_a);
  o.noise_mv = arguments.Number("--noise", o.noise_mv);
  o.seed = static_cast<uint64_t>(arguments.Integer("--seed", static_cast<int64_t>(o.seed)));
  o.sparse = arguments.Flag("--sparse");
  o.reciprocal = arguments.Flag("--reciprocal");
  if (const std::string* layout = arguments.Text("--layout")) {
    o.physical = true;
    o.layout = LayoutNamed(*layout);
  }
  if (arguments.Text("--rho")) {
    o.physical = true;
    o.rho_ohm_m = arguments.Number("--rho", 0);
    if (!(o.rho_ohm_m > 0)) throw UsageError("--rho must be a resistivity above 0");
  }
  ReadPolarisation(arguments, o);
  if (o.channels < 0 || o.channels > 20) throw UsageError("--channels must lie in 0..20");
  if (o.electrodes < 4 || o.electrodes > 128) throw UsageError("--electrodes must lie in 4..128");
  if (o.blocks < 0) throw UsageError("--blocks must not be negative");
  const std::string& out = arguments.Plain()[0];
  const SynthWritten written = WriteSyntheticSurvey(out, o);
  std::printf("%s: %d blocks, %d records\n", out.c_str(), written.blocks, written.records);
  return 0;
}
