#include "processing/record_chargeability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "ip/decay_fit.h"
#include "ip/pauses.h"
#include "ip/spike_removal.h"

std::vector<Gate> GatesFor(const Survey& v, const IpSettings& settings) {
  return settings.gates.empty() ? DefaultGates(v.HalfPeriod, v.SampleRate) : settings.gates;
}

namespace {

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

RobustVp RobustVpOf(const std::vector<double>& windows) {
  if (windows.empty()) return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  // A spike in a current half-period moves the two windows that share it: windows
  // beyond four times the median deviation (about 2.7 standard deviations) from the
  // median are left out. Noise-free windows all count.
  const double median = Median(windows);
  std::vector<double> deviations;
  for (double value : windows) deviations.push_back(std::abs(value - median));
  const double limit = std::max(4 * Median(deviations), 1e-9 * std::abs(median));
  double sum = 0, squares = 0;
  size_t kept = 0;
  for (double value : windows)
    if (std::abs(value - median) <= limit) sum += value, ++kept;
  const double mean = sum / static_cast<double>(kept);
  for (double value : windows)
    if (std::abs(value - median) <= limit) squares += (value - mean) * (value - mean);
  // Neighbouring windows share two of their four half-periods: independent noise in the
  // half-periods makes them correlated by 1/2, and their spread alone would understate
  // the error of the mean.
  const double k = static_cast<double>(kept);
  const double error = kept > 1 ? std::sqrt(squares / (k - 1) / (1 - 1 / k) * (2 * k - 1) / (k * k)) : 0;
  return {mean, error};
}

namespace {

// The averaging windows (the last w samples) of half-periods first, first + 2, ... of
// the voltage curve, kept as pauses are (the same alternating signs): the current's
// (first 0) or the pauses' (first 1).
Pauses EveryOtherWindow(const Survey& v, const Workspace& work, int64_t first) {
  const int64_t a = v.HalfPeriod, w = v.WindowLen;
  Pauses windows{w, 2 * int64_t{v.PeriodCount}, static_cast<double>(v.SampleRate), {}};
  windows.values.resize(static_cast<size_t>(windows.count * w));
  for (int64_t q = 0; q < windows.count; ++q)
    std::copy_n(work.VoltageSamples.begin() + (2 * q + first + 1) * a - w, w, windows.values.begin() + q * w);
  return windows;
}

// The windows' dU with the spikes in every half-period's averaging window put back as
// the pauses' spike test puts them back: each changes its window's mean by its share.
std::vector<double> WindowsWithoutSpikes(const Survey& v, const Workspace& work) {
  std::vector<double> windows(work.DU.begin() + 1, work.DU.begin() + 1 + work.WindowCount);
  const int64_t a = v.HalfPeriod, w = v.WindowLen;
  if (int64_t{4} * v.PeriodCount * a > static_cast<int64_t>(work.VoltageSamples.size())) return windows;
  std::vector<double> shift(static_cast<size_t>(4 * int64_t{v.PeriodCount} + 1), 0.0);  // of half-period k's mean
  for (int64_t first : {0, 1}) {
    Pauses averaged = EveryOtherWindow(v, work, first);
    const std::vector<double> before = averaged.values;
    if (RemoveSpikes(averaged) == 0) continue;
    for (size_t i = 0; i < before.size(); ++i)
      shift[static_cast<size_t>(2 * (static_cast<int64_t>(i) / w) + first + 1)] +=
          (averaged.values[i] - before[i]) / static_cast<double>(w);
  }
  for (int64_t s = 1; s <= work.WindowCount; ++s) {
    const size_t h = static_cast<size_t>(2 * s - 1);
    const double change = ((shift[h] - shift[h + 1]) + (shift[h + 3] - shift[h + 2])) / 2;
    windows[static_cast<size_t>(s - 1)] += s % 2 == 0 ? -change : change;
  }
  return windows;
}

}  // namespace

RobustVp RecordVp(const Survey& v, const Workspace& work, double signed_mean_du, const IpSettings& settings) {
  RobustVp vp{signed_mean_du, 0};
  if (v.HalfPeriod < v.WindowLen) return vp;
  // The windows' dU stay in the table when the record is processed in one run.
  const bool windows_kept =
      int64_t{4} * v.PeriodCount <= 16384 && work.DU.size() > static_cast<size_t>(work.WindowCount);
  if (work.WindowCount > 0 && windows_kept && std::isfinite(signed_mean_du))
    vp = RobustVpOf(settings.cleaning.remove_spikes
                        ? WindowsWithoutSpikes(v, work)
                        : std::vector<double>(work.DU.begin() + 1, work.DU.begin() + 1 + work.WindowCount));
  return vp;
}

Chargeability CurveChargeability(const Survey& v, std::span<const float> voltage, const RobustVp& vp,
                                 const std::vector<Gate>& gates, const PauseCleaning& cleaning, bool decay_curve,
                                 const DecayModel* decay) {
  // The averaging window then reaches across the switches and Vp is not the on-time's.
  Chargeability ip = v.HalfPeriod < v.WindowLen
                         ? NoChargeability(vp.mean, gates, "the half-period is shorter than the averaging window")
                         : ComputeChargeability(voltage, v.HalfPeriod, v.PeriodCount, v.SampleRate, vp.mean, gates,
                                                cleaning, decay_curve, vp.error);
  if (!decay) return ip;
  DecayFit fit = FitDecay(*decay, ip.gates);
  // The fitted decay over the samples' span, 60 instants a decade apart alike, to draw.
  if (decay_curve && fit.no_fit.empty() && ip.time_ms.size() > 1) {
    const double first = ip.time_ms.front(), last = ip.time_ms.back();
    for (int i = 0; i < 60; ++i) fit.curve_ms.push_back(first * std::pow(last / first, i / 59.0));
    fit.curve = decay->Curve({fit.m, std::log(fit.tau_ms), fit.c}, fit.curve_ms);
  }
  ip.fit = std::make_shared<const DecayFit>(std::move(fit));
  return ip;
}

std::shared_ptr<const DecayModel> DecayModelFor(const Survey& v, std::span<const float> current,
                                                const std::vector<Gate>& gates) {
  // A header may promise more half-periods than the instrument makes or a curve holds:
  // the records then have no answer, and the model (whose cost grows with their square)
  // is not built.
  const int64_t half_periods = int64_t{4} * v.PeriodCount;
  if (v.HalfPeriod < v.WindowLen || half_periods > MaxHalfPeriods ||
      half_periods * v.HalfPeriod > int64_t{v.SamplesPerCurve})
    return nullptr;
  try {
    const double delay = SwitchOnDelay(current, v.HalfPeriod, v.PeriodCount, v.WindowLen);
    return std::make_shared<const DecayModel>(
        DecayWaveform{v.HalfPeriod, v.PeriodCount, v.SampleRate, v.WindowLen, delay}, gates);
  } catch (const std::invalid_argument&) {
    return nullptr;  // the records have no answer either
  }
}

Chargeability RecordChargeability(const Survey& v, const Workspace& work, double signed_mean_du,
                                  const IpSettings& settings, bool decay_curve) {
  const std::vector<Gate> gates = GatesFor(v, settings);
  const std::shared_ptr<const DecayModel> decay =
      settings.decay_fit ? DecayModelFor(v, work.CurrentSamples, gates) : nullptr;
  return CurveChargeability(v, work.VoltageSamples, RecordVp(v, work, signed_mean_du, settings), gates,
                            settings.cleaning, decay_curve, decay.get());
}
