#include "processing/record_chargeability.h"

std::vector<Gate> GatesFor(const Vari& v, const IpSettings& settings) {
  return settings.gates.empty() ? DefaultGates(v.HalfPeriod, v.SampleRate) : settings.gates;
}

Chargeability RecordChargeability(const Vari& v, const IpSettings& settings, bool decay_curve) {
  return ComputeChargeability(v.VoltageSamples, v.HalfPeriod, v.PeriodCount, v.SampleRate, v.SignedMeanDU,
                              GatesFor(v, settings), settings.cleaning, decay_curve);
}
