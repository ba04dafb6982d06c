#include "processing/record_chargeability.h"

std::vector<Gate> GatesFor(const Survey& v, const IpSettings& settings) {
  return settings.gates.empty() ? DefaultGates(v.HalfPeriod, v.SampleRate) : settings.gates;
}

Chargeability RecordChargeability(const Survey& v, const Workspace& work, double signed_mean_du,
                                  const IpSettings& settings, bool decay_curve) {
  return ComputeChargeability(work.VoltageSamples, v.HalfPeriod, v.PeriodCount, v.SampleRate, signed_mean_du,
                              GatesFor(v, settings), settings.cleaning, decay_curve);
}
