#pragma once
// A realistic survey made up from a model: electrodes on a line, dipole-dipole or
// Wenner quadrupoles, a current of current half-periods and pauses, voltage responses
// that alternate in sign between current half-periods over a self-potential offset,
// settling after every switch, and seeded noise. The same options give the same bytes.

#include <cstdint>
#include <string>

struct SynthOptions {
  int32_t blocks = 24;
  int32_t channels = 8;  // per block, at most 20
  int32_t electrodes = 48;
  float spacing_m = 5.0f;
  bool wenner = false;  // dipole-dipole otherwise
  int32_t sample_rate = 1000;
  int32_t half_period = 1000;
  int32_t second_length = 1000;
  int32_t period_count = 4;
  double current_a = 0.5;
  double noise_mv = 0.5;  // standard deviation of the voltage noise; every 13th electrode is 30 times noisier
  uint64_t seed = 1;
  bool sparse = false;  // curves left as holes (zeros): for huge indexing benchmarks
};

// Writes the survey to path; throws InOutError.
void WriteSyntheticSurvey(const std::string& path, const SynthOptions& options);
