#pragma once
// The chargeability of a loaded record, as the window, the exports, the check and the
// batch tool all compute it.

#include <vector>

#include "ip/chargeability.h"
#include "ip/gates.h"
#include "measurement/survey.h"
#include "measurement/workspace.h"

struct IpSettings {
  std::vector<Gate> gates;  // none: the survey's default gates
  PauseCleaning cleaning;
};

// The gates the settings give for the survey.
std::vector<Gate> GatesFor(const Survey& survey, const IpSettings& settings);

// From the workspace's loaded VoltageSamples (after the record's sign option) with its
// mean dU as Vp, as computed before "Модуль dU" (which would turn M's sign for a
// negative dU); the sample-by-sample decay only with decay_curve (the decay view).
Chargeability RecordChargeability(const Survey& survey, const Workspace& work, double signed_mean_du,
                                  const IpSettings& settings, bool decay_curve = true);
