#pragma once

// What the record processor gives of one record.
struct RecordResultValues {
  double MeanDU = 0;    // mV
  double MeanI = 0;     // mA
  double ErrorPct = 0;  // percent, or the fixed values 100 and 50
  double MeanEP = 0;    // mV
};
