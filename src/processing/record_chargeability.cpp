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

}  // namespace

RecordVpValue RecordVp(const Survey& v, const Workspace& work, double signed_mean_du, const IpSettings& settings) {
  RecordVpValue vp{signed_mean_du, 0, 0};
  const int64_t a = v.HalfPeriod, w = v.WindowLen, n = v.PeriodCount;
  // The windows' dU stay in the table when the record is processed in one run.
  const bool windows_kept = 4 * n <= 16384 && work.DU.size() > static_cast<size_t>(work.WindowCount);
  if (a < w || w < 3 || work.WindowCount <= 0 || !windows_kept || !std::isfinite(signed_mean_du) ||
      4 * n * a > static_cast<int64_t>(work.VoltageSamples.size()))
    return vp;
  // Half-period k's mean moves by shift[k] where spikes are put back.
  std::vector<double> shift(static_cast<size_t>(4 * n + 1), 0.0);
  double noise = 0;
  for (int64_t first : {0, 1}) {
    Pauses averaged = EveryOtherWindow(v, work, first);
    const PauseScreen screen = ScreenPauses(averaged);
    noise += screen.WhiteNoise() / 2;
    if (!settings.cleaning.remove_spikes || !MaySpike(screen)) continue;
    const std::vector<double> before = averaged.values;
    if (RemoveSpikes(averaged, screen) > 0)
      for (size_t i = 0; i < before.size(); ++i) {
        vp.spikes_put_back += averaged.values[i] != before[i];
        shift[static_cast<size_t>(2 * (static_cast<int64_t>(i) / w) + first + 1)] +=
            (averaged.values[i] - before[i]) / static_cast<double>(w);
      }
  }
  // Without a spike Vp is the mean dU itself, to the last bit: the windows are never
  // left out for the trend of a ground still charging.
  if (vp.spikes_put_back > 0) {
    double sum = 0;
    for (int64_t s = 1; s <= work.WindowCount; ++s) {
      const size_t h = static_cast<size_t>(2 * s - 1);
      const double change = ((shift[h] - shift[h + 1]) + (shift[h + 3] - shift[h + 2])) / 2;
      sum += work.DU[static_cast<size_t>(s)] + (s % 2 == 0 ? -change : change);
    }
    vp.mean = sum / static_cast<double>(work.WindowCount);
  }
  // The windows' sum takes the means of the first two and the last two half-periods with
  // weight 1/2 and every other one's twice over, with weight 1: Σ c_k² = 4n - 3. The
  // windows' own spread would count the charging trend as noise.
  const double windows = static_cast<double>(work.WindowCount);
  vp.error = std::sqrt(noise / static_cast<double>(w) * static_cast<double>(4 * n - 3)) / windows;
  return vp;
}

Chargeability CurveChargeability(const Survey& v, std::span<const float> voltage, const RecordVpValue& vp,
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
