#pragma once

#include <functional>
#include <limits>

#include "output/error_class.h"
#include "processing/record_chargeability.h"
#include "processing/record_evaluation.h"
#include "vari.h"

struct CheckPoint {
  int record;
  double error_pct;  // as computed
  double plotted;    // raised to 0.1
  ErrorClass error_class;
  double transfer_resistance;  // MeanDU / MeanI, Ω: the pseudosection's apparent resistivity
  double chargeability = std::numeric_limits<double>::quiet_NaN();  // M, mV/V, when the check computes it
};

// Evaluates every record with DataFile open once and reports each record's point, with
// its chargeability when ip is given.
// A record that cannot be read ends the check with InOutError; the points reported
// before it stand.
void CheckFile(Vari& v, const RecordEvaluator& evaluate, const std::function<void(const CheckPoint&)>& on_point,
               const Progress& progress = {}, const IpSettings* ip = nullptr);
