#pragma once

#include <cstdint>
#include <span>

// Mean of the window_len samples from the 1-based sample number start on, summed in
// ascending order in double precision.
//
// A window that reaches outside the curve (a half-period shorter than the window, or
// a second length shorter than the half-period) averages only the samples that exist;
// a window with none of its samples in the curve has no mean and gives NaN, so that
// nothing computed from it can pass for a measurement.
double WindowMean(std::span<const float> samples, int64_t start, int32_t window_len);

// The means of several windows of window_len samples that lie wholly inside the curve,
// at most MaxSideBySideWindows. Each sum still runs in ascending order, so every mean
// equals WindowMean's; summing windows side by side only lets the processor overlap
// their additions.
constexpr int MaxSideBySideWindows = 8;
void SideBySideWindowMeans(std::span<const float> samples, std::span<const int64_t> starts, int32_t window_len,
                           std::span<double> means);

bool WindowInsideCurve(size_t samples, int64_t start, int32_t window_len);
