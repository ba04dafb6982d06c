#include "processing/window_mean.h"

#include <algorithm>

double WindowMean(std::span<const float> samples, int64_t start, int32_t window_len) {
  if (window_len < 1) return 0.0;
  int64_t first = std::max<int64_t>(start, 1);
  int64_t last = std::min<int64_t>(start + window_len - 1, static_cast<int64_t>(samples.size()));
  if (first > last) return 0.0;
  double sum = 0.0;
  for (int64_t j = first; j <= last; ++j) sum += samples[static_cast<size_t>(j - 1)];
  return sum / static_cast<double>(last - first + 1);
}
