#pragma once
// Where a record's four electrodes stand. Electrodes lie on a straight surface line at
// the coordinate of their record in the electrode table; electrode number 0 has no
// record and stands for a remote electrode, at infinity.

#include <optional>

#include "measurement/survey.h"

struct Quadrupole {
  std::optional<double> a, b, m, n;  // x in metres; empty for a remote electrode
};

std::optional<double> ElectrodeX(const Survey& v, int electrode);
Quadrupole QuadrupoleOf(const Survey& v, const RecordIndexEntry& entry);
