#pragma once
// Layout of the measurement file: a 4096-byte prefix, five header integers, the
// electrode table and the measurement blocks. Integers are int32 and samples float32,
// both little-endian.

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace file_format {

constexpr int64_t HeaderOffset = 4096;
constexpr int64_t ElectrodeTableOffset = HeaderOffset + 5 * 4;  // 4116
constexpr int64_t ElectrodeRecordSize = 16;
constexpr int64_t BlockFieldsSize = 12;                                     // A, B, C
constexpr int64_t ChannelHeaderSize = 128;                                  // not interpreted
constexpr int64_t ChannelFieldsSize = 8;                                    // M, N
constexpr int64_t ChannelOverhead = ChannelHeaderSize + ChannelFieldsSize;  // 136

static_assert(std::endian::native == std::endian::little,
              "samples are read straight into memory; a big-endian port must swap them");

inline int32_t DecodeInt32(const unsigned char* bytes) {
  int32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

inline void EncodeInt32(unsigned char* bytes, int32_t value) { std::memcpy(bytes, &value, sizeof value); }

// S = 2 x (HalfPeriod + SecondLength) x PeriodCount. The product of hostile values
// can pass even 64 bits; it then saturates, which no valid curve length comes near.
inline int64_t SamplesPerCurve(int32_t half_period, int32_t second_length, int32_t period_count) {
  int64_t twice = 2 * (int64_t{half_period} + second_length);
  int64_t samples = 0;
  if (__builtin_mul_overflow(twice, int64_t{period_count}, &samples))
    return (twice < 0) != (period_count < 0) ? std::numeric_limits<int64_t>::min()
                                             : std::numeric_limits<int64_t>::max();
  return samples;
}

inline int64_t BlockSize(int64_t samples_per_curve, int64_t channels) {
  int64_t curve = 4 * samples_per_curve;
  return BlockFieldsSize + curve + channels * (ChannelOverhead + curve);
}

}  // namespace file_format
