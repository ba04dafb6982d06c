#pragma once
// The chargeability of a loaded record, as the window, the exports, the check and the
// batch tool all compute it.

#include <memory>
#include <span>
#include <vector>

#include "ip/chargeability.h"
#include "ip/decay_model.h"
#include "ip/gates.h"
#include "measurement/survey.h"
#include "measurement/workspace.h"

struct IpSettings {
  std::vector<Gate> gates;  // none: the survey's default gates
  PauseCleaning cleaning;
  bool decay_fit = false;  // each decay fitted with a Cole-Cole model and flagged (ip/decay_fit.h)
};

// The gates the settings give for the survey.
std::vector<Gate> GatesFor(const Survey& survey, const IpSettings& settings);

// The Vp that M is relative to: the mean dU of the record's difference windows, with the
// spikes in every half-period's averaging window put back as the pauses' spike test puts
// them back, and its standard error from the noise of the windows' samples.
struct RecordVpValue {
  double mean = 0;
  double error = 0;
  int spikes_put_back = 0;  // 0: mean is the record's mean dU itself
};

// From the workspace's loaded VoltageSamples (after the record's sign option) with that Vp, as computed before "Модуль
// dU" (which would turn M's sign for a negative dU); the sample-by-sample decay only with decay_curve (the decay view).
// A half-period shorter than the averaging window has no answer.
Chargeability RecordChargeability(const Survey& survey, const Workspace& work, double signed_mean_du,
                                  const IpSettings& settings, bool decay_curve = true);

// The two halves of RecordChargeability, for a pass that computes M on another core:
// Vp from the record's tables, then M from a copy of its voltage curve, and with a decay
// model the gates' fit.
RecordVpValue RecordVp(const Survey& survey, const Workspace& work, double signed_mean_du, const IpSettings& settings);
Chargeability CurveChargeability(const Survey& survey, std::span<const float> voltage, const RecordVpValue& vp,
                                 const std::vector<Gate>& gates, const PauseCleaning& cleaning, bool decay_curve,
                                 const DecayModel* decay = nullptr);

// The model of the survey's decays at these gates, the current's switch-on delay taken
// from a record's current curve; none when the waveform has too few pauses for it or a
// half-period shorter than the averaging window.
std::shared_ptr<const DecayModel> DecayModelFor(const Survey& survey, std::span<const float> current,
                                                const std::vector<Gate>& gates);
