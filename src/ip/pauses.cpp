#include "ip/pauses.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "ip/wide_vectors.h"

Pauses PausesOf(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count, int32_t sample_rate) {
  const int64_t a = half_period, n = period_count;
  Pauses pauses;
  if (a <= 0 || n <= 0 || sample_rate <= 0 || 4 * n * a > static_cast<int64_t>(voltage_mv.size())) return pauses;
  pauses.length = a;
  pauses.count = 2 * n;
  pauses.sample_rate = sample_rate;
  // Each pause appended as it is converted: nothing is written twice.
  pauses.values.reserve(static_cast<size_t>(pauses.count * a));
  for (int64_t p = 0; p < pauses.count; ++p) {
    const float* from = voltage_mv.data() + (2 * p + 1) * a;
    pauses.values.insert(pauses.values.end(), from, from + a);
  }
  return pauses;
}

namespace {

[[gnu::always_inline]] inline void AddSigned(const Pauses& pauses, double* __restrict decay) {
  const size_t length = static_cast<size_t>(pauses.length);
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double sign = pauses.Sign(p);
    const double* __restrict pause = pauses.values.data() + static_cast<size_t>(p) * length;
    for (size_t j = 0; j < length; ++j) decay[j] += sign * pause[j];
  }
}
void AddSignedNarrow(const Pauses& pauses, double* decay) { AddSigned(pauses, decay); }
#if defined(VOSTREL_WIDE_VECTORS)
[[gnu::target("avx2")]] void AddSignedWide(const Pauses& pauses, double* decay) { AddSigned(pauses, decay); }
#endif

}  // namespace

std::vector<double> SignedMeanDecay(const Pauses& pauses) {
  std::vector<double> decay(static_cast<size_t>(pauses.length), 0.0);
#if defined(VOSTREL_WIDE_VECTORS)
  if (HasWideVectors())
    AddSignedWide(pauses, decay.data());
  else
#endif
    AddSignedNarrow(pauses, decay.data());
  for (double& value : decay) value /= static_cast<double>(pauses.count);
  return decay;
}

std::vector<double> DecayResidual(const Pauses& pauses) {
  const std::vector<double> decay = SignedMeanDecay(pauses);
  std::vector<double> residual(pauses.values.size());
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double sign = pauses.Sign(p);
    for (int64_t j = 0; j < pauses.length; ++j) {
      const size_t i = static_cast<size_t>(p * pauses.length + j);
      residual[i] = pauses.values[i] - sign * decay[static_cast<size_t>(j)];
    }
  }
  return residual;
}

double PauseScreen::WhiteNoise() const {
  const double kept = 1 - 1 / pauses, floor = 1e-7 * largest_value;
  return std::max(jump_count > 0 ? jump_squares / jump_count / 1.5 / kept : 0.0, floor * floor + 1e-300);
}

namespace {

// The four lanes of every sum and maximum that ScreenPauses keeps (sum, moment, squares,
// cross, jumps, largest, magnitude), over the samples j = 1, 5, 9, ... of a pause in
// vector registers, each lane in the same order as the plain loop; the next j.
#if defined(__SSE2__)
size_t ScreenLanesNarrow(const double* x, size_t length, double sign, const double* position, const double* d,
                         const double* decay_jump, double* const kept[7]) {
  __m128d lanes[6][2];
  for (size_t a = 0; a < 6; ++a) lanes[a][0] = _mm_loadu_pd(kept[a]), lanes[a][1] = _mm_loadu_pd(kept[a] + 2);
  auto& [s, m, q, c, jj, l] = lanes;
  const __m128d half = _mm_set1_pd(0.5), signs = _mm_set1_pd(sign);
  size_t j = 1;
  for (; j + 4 < length; j += 4)
    for (size_t h = 0; h < 2; ++h) {
      const size_t i = j + 2 * h;
      const __m128d value = _mm_loadu_pd(x + i);
      const __m128d around = _mm_mul_pd(_mm_add_pd(_mm_loadu_pd(x + i - 1), _mm_loadu_pd(x + i + 1)), half);
      const __m128d jump = _mm_sub_pd(_mm_sub_pd(value, around), _mm_mul_pd(signs, _mm_loadu_pd(decay_jump + i)));
      const __m128d jump_square = _mm_mul_pd(jump, jump);
      s[h] = _mm_add_pd(s[h], value);
      m[h] = _mm_add_pd(m[h], _mm_mul_pd(_mm_loadu_pd(position + i), value));
      q[h] = _mm_add_pd(q[h], _mm_mul_pd(value, value));
      c[h] = _mm_add_pd(c[h], _mm_mul_pd(value, _mm_loadu_pd(d + i)));
      jj[h] = _mm_add_pd(jj[h], jump_square);
      // The larger, or the one kept where the new one is not a number.
      l[h] = _mm_max_pd(jump_square, l[h]);
    }
  for (size_t a = 0; a < 6; ++a) _mm_storeu_pd(kept[a], lanes[a][0]), _mm_storeu_pd(kept[a] + 2, lanes[a][1]);
  // The largest square apart, on its own registers: a maximum is the same in any order.
  __m128d g[2] = {_mm_loadu_pd(kept[6]), _mm_loadu_pd(kept[6] + 2)};
  for (size_t i = 1; i + 4 <= j; i += 4)
    for (size_t h = 0; h < 2; ++h) {
      const __m128d value = _mm_loadu_pd(x + i + 2 * h);
      g[h] = _mm_max_pd(_mm_mul_pd(value, value), g[h]);
    }
  _mm_storeu_pd(kept[6], g[0]), _mm_storeu_pd(kept[6] + 2, g[1]);
  return j;
}
#endif

#if defined(VOSTREL_WIDE_VECTORS)
[[gnu::target("avx2")]] size_t ScreenLanesWide(const double* x, size_t length, double sign, const double* position,
                                               const double* d, const double* decay_jump, double* const kept[7]) {
  __m256d lanes[7];
  for (size_t a = 0; a < 7; ++a) lanes[a] = _mm256_loadu_pd(kept[a]);
  auto& [s, m, q, c, jj, l, g] = lanes;
  const __m256d half = _mm256_set1_pd(0.5), signs = _mm256_set1_pd(sign);
  size_t j = 1;
  for (; j + 4 < length; j += 4) {
    const __m256d value = _mm256_loadu_pd(x + j);
    const __m256d around = _mm256_mul_pd(_mm256_add_pd(_mm256_loadu_pd(x + j - 1), _mm256_loadu_pd(x + j + 1)), half);
    const __m256d jump =
        _mm256_sub_pd(_mm256_sub_pd(value, around), _mm256_mul_pd(signs, _mm256_loadu_pd(decay_jump + j)));
    const __m256d jump_square = _mm256_mul_pd(jump, jump), value_square = _mm256_mul_pd(value, value);
    s = _mm256_add_pd(s, value);
    m = _mm256_add_pd(m, _mm256_mul_pd(_mm256_loadu_pd(position + j), value));
    q = _mm256_add_pd(q, value_square);
    c = _mm256_add_pd(c, _mm256_mul_pd(value, _mm256_loadu_pd(d + j)));
    jj = _mm256_add_pd(jj, jump_square);
    l = _mm256_max_pd(jump_square, l);
    g = _mm256_max_pd(value_square, g);
  }
  for (size_t a = 0; a < 7; ++a) _mm256_storeu_pd(kept[a], lanes[a]);
  return j;
}
#endif

size_t ScreenLanes(const double* x, size_t length, double sign, const double* position, const double* d,
                   const double* decay_jump, double* const kept[7]) {
#if defined(VOSTREL_WIDE_VECTORS)
  if (HasWideVectors()) return ScreenLanesWide(x, length, sign, position, d, decay_jump, kept);
#endif
#if defined(__SSE2__)
  return ScreenLanesNarrow(x, length, sign, position, d, decay_jump, kept);
#else
  return 1;
#endif
}

}  // namespace

PauseScreen ScreenPauses(const Pauses& pauses) {
  PauseScreen screen;
  screen.decay = SignedMeanDecay(pauses);
  screen.pauses = static_cast<double>(pauses.count);
  const size_t length = static_cast<size_t>(pauses.length);
  if (length < 4) return screen;
  const double* d = screen.decay.data();
  const double n = static_cast<double>(length), middle = (n - 1) / 2, spread = n * (n * n - 1) / 12;
  // r = x - sign d is never made: its sums come from x's and d's, and its jump is x's
  // less sign times d's.
  std::vector<double> position(length), decay_jump(length, 0.0);
  double decay_sum = 0, decay_moment = 0, decay_squares = 0;
  for (size_t j = 0; j < length; ++j) {
    position[j] = static_cast<double>(j) - middle;
    decay_sum += d[j], decay_moment += position[j] * d[j], decay_squares += d[j] * d[j];
  }
  for (size_t j = 1; j + 1 < length; ++j) decay_jump[j] = d[j] - (d[j - 1] + d[j + 1]) * 0.5;
  // Four lanes of every sum and maximum, so that the loop need not wait on each addition;
  // squares throughout, so that the largest jump and value come out as their squares.
  double jumps[4] = {}, largest[4] = {}, magnitude[4] = {};
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double* x = pauses.values.data() + p * pauses.length;
    const double sign = pauses.Sign(p);
    double sum[4] = {}, moment[4] = {}, squares[4] = {}, cross[4] = {};
    double* const kept[7] = {sum, moment, squares, cross, jumps, largest, magnitude};
    size_t j = ScreenLanes(x, length, sign, position.data(), d, decay_jump.data(), kept);
    for (; j + 4 < length; j += 4)
      for (size_t k = 0; k < 4; ++k) {
        const size_t i = j + k;
        const double value = x[i], jump = value - (x[i - 1] + x[i + 1]) * 0.5 - sign * decay_jump[i];
        sum[k] += value, moment[k] += position[i] * value, squares[k] += value * value, cross[k] += value * d[i];
        jumps[k] += jump * jump;
        largest[k] = largest[k] < jump * jump ? jump * jump : largest[k];
        magnitude[k] = magnitude[k] < value * value ? value * value : magnitude[k];
      }
    for (; j + 1 < length; ++j) {
      const double value = x[j], jump = value - (x[j - 1] + x[j + 1]) * 0.5 - sign * decay_jump[j];
      sum[0] += value, moment[0] += position[j] * value, squares[0] += value * value, cross[0] += value * d[j];
      jumps[0] += jump * jump;
      largest[0] = std::max(largest[0], jump * jump);
      magnitude[0] = std::max(magnitude[0], value * value);
    }
    for (size_t end : {size_t{0}, length - 1}) {
      sum[0] += x[end], moment[0] += position[end] * x[end], squares[0] += x[end] * x[end], cross[0] += x[end] * d[end];
      const size_t beside = end == 0 ? 1 : length - 2, after = end == 0 ? 2 : length - 3;
      const double jump = (x[end] - 2 * x[beside] + x[after]) - sign * (d[end] - 2 * d[beside] + d[after]);
      largest[0] = std::max(largest[0], jump * jump / 4);
    }
    // Σ r, Σ (j - middle) r and Σ r² from x's and d's; less the pause's line.
    const double s = (sum[0] + sum[1]) + (sum[2] + sum[3]) - sign * decay_sum;
    const double m = (moment[0] + moment[1]) + (moment[2] + moment[3]) - sign * decay_moment;
    const double x_squares = (squares[0] + squares[1]) + (squares[2] + squares[3]);
    const double x_cross = (cross[0] + cross[1]) + (cross[2] + cross[3]);
    screen.residual_squares += x_squares - 2 * sign * x_cross + decay_squares - s * s / n - m * m / spread;
  }
  screen.jump_squares = (jumps[0] + jumps[1]) + (jumps[2] + jumps[3]);
  screen.jump_count = static_cast<double>(pauses.count) * (n - 2);
  screen.largest_jump = std::sqrt(std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3])));
  screen.largest_value =
      std::sqrt(std::max(std::max(magnitude[0], magnitude[1]), std::max(magnitude[2], magnitude[3])));
  return screen;
}
