#pragma once
// Writes measurement files: well-formed surveys, and for tests any malformed variant,
// since every piece can also be written raw.

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

struct SurveyHeader {
  int32_t sample_rate = 1000;
  int32_t half_period = 1000;
  int32_t second_length = 1000;
  int32_t period_count = 4;

  int64_t SamplesPerCurve() const;
};

struct ChannelCurve {
  int32_t m;
  int32_t n;
  std::span<const float> voltage;  // volts; empty in a sparse block
};

class SurveyWriter {
 public:
  explicit SurveyWriter(const std::string& path);  // throws InOutError
  ~SurveyWriter();
  SurveyWriter(const SurveyWriter&) = delete;
  SurveyWriter& operator=(const SurveyWriter&) = delete;

  // The 4096-byte prefix and the four header values.
  void Header(const SurveyHeader& header);
  // ElectrodeCount and one 16-byte record per coordinate.
  void Electrodes(std::span<const float> coordinates);
  // A block with its current curve (amperes) and channels. A curve given empty is
  // skipped over and reads back as zeros, which keeps huge test files sparse.
  void Block(int32_t a, int32_t b, std::span<const float> current, std::span<const ChannelCurve> channels);

  void Int32(int32_t value);
  void Floats(std::span<const float> values);
  void Zeros(int64_t count);  // written lazily: a hole in the file until something follows
  void Close();               // throws InOutError on a failed write

 private:
  void FlushZeros();
  void Raw(const void* data, size_t size);

  std::FILE* file_ = nullptr;
  int64_t pending_zeros_ = 0;
  int64_t samples_per_curve_ = 0;
};
