#pragma once

#include <cstdint>
#include <optional>

// The channels of one block share their current curve. Within one open of the file
// (one pass over all records) the curve that CurrentSamples already holds, and the
// half-period means computed from it, are exactly what reading and averaging it again
// would give. This remembers which curve and which averaging they belong to; another
// open of the file (a new session) may find the file changed, so it never matches.
class CurrentCurveCache {
 public:
  struct Averaging {
    int32_t half_period = 0;
    int32_t window_len = 0;
    int32_t period_count = 0;
    bool operator==(const Averaging&) const = default;
  };

  bool HoldsCurve(int64_t offset, uint64_t session) const;
  // CurrentSamples now hold the curve at offset, read during session; means are stale.
  void RememberCurve(int64_t offset, uint64_t session);

  // The mean table holds the means of the remembered curve under this averaging.
  bool HoldsMeans(const Averaging& averaging) const;
  void RememberMeans(const Averaging& averaging);

  // Nothing is known any more (a read began, or the arrays were replaced).
  void Forget();

 private:
  int64_t offset_ = -1;
  uint64_t session_ = 0;
  std::optional<Averaging> means_;
};
