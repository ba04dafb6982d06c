// Writes the fuzzer's seed corpus with the project's own writer: good surveys and
// every malformed kind the tests know.

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "measurement/file_format.h"
#include "measurement/survey_writer.h"
#include "synthetic/synthetic_survey.h"
#include "whole_file.h"

namespace {

std::string folder;

std::string Seed(const std::string& name) { return (std::filesystem::path(folder) / (name + ".qmr")).string(); }

void Synth(const std::string& name, SynthOptions o) { WriteSyntheticSurvey(Seed(name), o); }

SynthOptions Small() {
  return {.blocks = 3, .channels = 3, .electrodes = 8, .half_period = 60, .second_length = 60, .period_count = 2};
}

void Patched(const std::string& from, const std::string& name, int64_t offset, int32_t value) {
  auto bytes = ReadWholeFile(Seed(from));
  if (offset + 4 <= static_cast<int64_t>(bytes.size())) file_format::EncodeInt32(bytes.data() + offset, value);
  WriteWholeFile(Seed(name), bytes);
}

void Cut(const std::string& from, const std::string& name, int64_t size) {
  auto bytes = ReadWholeFile(Seed(from));
  bytes.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  WriteWholeFile(Seed(name), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus FOLDER\n");
    return 2;
  }
  folder = argv[1];
  std::filesystem::create_directories(folder);

  Synth("good", Small());
  SynthOptions o = Small();
  o.wenner = true;
  o.period_count = 1;
  Synth("wenner-one-period", o);
  o = Small();
  o.half_period = 5;
  o.second_length = 1;
  Synth("short-half-period", o);
  o = Small();
  o.second_length = 10;
  Synth("short-second-length", o);
  o = Small();
  o.channels = 20;
  o.blocks = 2;
  o.half_period = 4;
  o.second_length = 4;
  Synth("twenty-channels", o);
  o = Small();
  o.channels = 0;
  Synth("empty-blocks", o);
  o = Small();
  o.half_period = 0;
  o.second_length = 0;
  Synth("empty-curves", o);
  o = Small();
  o.half_period = 1;
  o.second_length = 1;
  o.period_count = 150;
  Synth("many-periods", o);
  // A polarised ground with hum and spikes: the pauses' cleaning has work to do.
  o = Small();
  o.sample_rate = 500;
  o.half_period = 120;
  o.second_length = 120;
  o.period_count = 3;
  o.chargeability_mv_v = 80;
  o.tau_ms = 40;
  o.hum_mv = 2;
  o.hum_hz = 50.4;
  o.spikes_per_s = 2;
  Synth("polarised-hum-spikes", o);

  const int64_t block = file_format::ElectrodeTableOffset + 16 * 8;
  Patched("good", "negative-half-period", 4100, -60);
  Patched("good", "huge-half-period", 4100, 0x7FFFFFF0);
  Patched("good", "negative-second-length", 4104, -100);
  Patched("good", "negative-periods", 4108, -3);
  Patched("good", "huge-periods", 4108, 1000000);
  Patched("good", "zero-sample-rate", 4096, 0);
  Patched("good", "negative-sample-rate", 4096, -1000);
  Patched("good", "electrodes-300", 4112, 300);
  Patched("good", "electrodes-negative", 4112, -1);
  Patched("good", "a-out-of-range", block, 9);
  Patched("good", "b-negative", block + 4, -1);
  Patched("good", "c-21", block + 8, 21);
  Patched("good", "m-out-of-range", block + 12 + 4 * 480 + 128, 9);
  Cut("good", "cut-in-header", 4110);
  Cut("good", "cut-in-electrodes", 4130);
  Cut("good", "cut-after-electrodes", block);
  Cut("good", "cut-in-last-curve", static_cast<int64_t>(std::filesystem::file_size(Seed("good"))) - 7);
  std::printf("%s: seeds written\n", folder.c_str());
  return 0;
}
