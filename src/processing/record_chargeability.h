#pragma once
// The chargeability of the record in Vari, as the window, the exports, the check and the
// batch tool all compute it.

#include <vector>

#include "ip/chargeability.h"
#include "ip/gates.h"
#include "vari.h"

struct IpSettings {
  std::vector<Gate> gates;  // none: the survey's default gates
  PauseCleaning cleaning;
};

// The gates the settings give for the open survey.
std::vector<Gate> GatesFor(const Vari& v, const IpSettings& settings);

// Vp from the difference windows' dU: their mean without those a spike has moved, and
// its standard error.
struct RobustVp {
  double mean = 0;
  double error = 0;
};
RobustVp RobustVpOf(const std::vector<double>& windows);

// From the loaded VoltageSamples (after the record's sign option) with the windows'
// robust mean dU as Vp, as computed before "Модуль dU" (which would turn M's sign for a
// negative dU); the sample-by-sample decay only with decay_curve (the decay view). A
// half-period shorter than the averaging window has no answer.
Chargeability RecordChargeability(const Vari& v, const IpSettings& settings, bool decay_curve = true);
