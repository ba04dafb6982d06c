#include "processing/window_mean.h"

#include <algorithm>
#include <limits>

double WindowMean(std::span<const float> samples, int64_t start, int32_t window_len) {
  int64_t first = std::max<int64_t>(start, 1);
  int64_t last = std::min<int64_t>(start + int64_t{window_len} - 1, static_cast<int64_t>(samples.size()));
  if (window_len < 1 || first > last) return std::numeric_limits<double>::quiet_NaN();
  double sum = 0.0;
  for (int64_t j = first; j <= last; ++j) sum += samples[static_cast<size_t>(j - 1)];
  return sum / static_cast<double>(last - first + 1);
}

bool WindowInsideCurve(size_t samples, int64_t start, int32_t window_len) {
  return window_len >= 1 && start >= 1 && start + window_len - 1 <= static_cast<int64_t>(samples);
}

namespace {

template <int N>
void SideBySide(const float* const (&windows)[N], int32_t window_len, double* means) {
  double sums[N] = {};
  for (int32_t j = 0; j < window_len; ++j)
    for (int i = 0; i < N; ++i) sums[i] += windows[i][j];
  for (int i = 0; i < N; ++i) means[i] = sums[i] / static_cast<double>(window_len);
}

template <int N>
void SideBySideFrom(std::span<const float> samples, const int64_t* starts, int32_t window_len, double* means) {
  const float* windows[N];
  for (int i = 0; i < N; ++i) windows[i] = samples.data() + (starts[i] - 1);
  SideBySide<N>(windows, window_len, means);
}

}  // namespace

void SideBySideWindowMeans(std::span<const float> samples, std::span<const int64_t> starts, int32_t window_len,
                           std::span<double> means) {
  size_t i = 0;
  for (; i + 8 <= starts.size(); i += 8) SideBySideFrom<8>(samples, &starts[i], window_len, &means[i]);
  for (; i + 4 <= starts.size(); i += 4) SideBySideFrom<4>(samples, &starts[i], window_len, &means[i]);
  for (; i < starts.size(); ++i) SideBySideFrom<1>(samples, &starts[i], window_len, &means[i]);
}
