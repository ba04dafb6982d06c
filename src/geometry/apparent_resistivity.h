#pragma once

#include "geometry/quadrupole.h"
#include "measurement/record_result.h"

// A record's transfer resistance and apparent resistivity, signs kept: a negative ρa
// is a quality problem to show, not to hide.
struct Resistivity {
  double k;     // geometric factor, m (NaN when undefined)
  double r;     // MeanDU / MeanI, mV / mA = Ω
  double rhoa;  // K · R, Ω·m
};

Resistivity ResistivityOf(const Quadrupole& q, const RecordResultValues& result);
