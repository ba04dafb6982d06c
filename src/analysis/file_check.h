#pragma once

#include <functional>
#include <limits>

#include "analysis/error_class.h"
#include "processing/record_chargeability.h"
#include "processing/record_pass.h"

struct CheckPoint {
  int record;
  double error_pct;  // as computed
  double plotted;    // raised to 0.1
  ErrorClass error_class;
  // The signed dU / I, Ω, whatever "Модуль dU" shows: the pseudosection's apparent resistivity.
  double transfer_resistance;
  // The stacking error whatever the sign of dU, as the exchange formats carry it: the
  // pseudosection's error and classes, where the fixed 50 of a negative dU says nothing.
  double stacking_error_pct = std::numeric_limits<double>::quiet_NaN();
  double chargeability = std::numeric_limits<double>::quiet_NaN();  // M, mV/V, when the check computes it
  // The decay's fit, when the check computes it: τ (ms), c and χ² per gate.
  double tau_ms = std::numeric_limits<double>::quiet_NaN();
  double decay_c = std::numeric_limits<double>::quiet_NaN();
  double decay_misfit = std::numeric_limits<double>::quiet_NaN();
};

// Reports the point of every record of one record pass, with its chargeability when ip
// is given, and its decay's fit when ip asks for it.
// A record that cannot be read ends the check with InOutError; the points reported
// before it stand.
void CheckFile(const Survey& survey, const RecordOptions& options,
               const std::function<void(const CheckPoint&)>& on_point, const Progress& progress = {},
               const IpSettings* ip = nullptr);
