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
  double transfer_resistance;  // MeanDU / MeanI, Ω: the pseudosection's apparent resistivity
  double chargeability = std::numeric_limits<double>::quiet_NaN();  // M, mV/V, when the check computes it
};

// Reports the point of every record of one record pass, with its chargeability when ip
// is given.
// A record that cannot be read ends the check with InOutError; the points reported
// before it stand.
void CheckFile(const Survey& survey, const RecordOptions& options,
               const std::function<void(const CheckPoint&)>& on_point, const Progress& progress = {},
               const IpSettings* ip = nullptr);
