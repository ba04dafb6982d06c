#pragma once
// Where a record's four electrodes stand. Electrodes lie on a straight surface line at
// the coordinate of their record in the electrode table; electrode number 0 has no
// record and stands for a remote electrode, at infinity.

#include <optional>
#include <span>

#include "measurement/survey.h"

struct Quadrupole {
  std::optional<double> a, b, m, n;  // x in metres; empty for a remote electrode
};

// The one position of an electrode: x of its record in the electrode table (records
// 1..n), empty for electrode 0 and for a number beyond the table.
std::optional<double> ElectrodeX(std::span<const ElectrodeRecord> electrodes, int electrode);
Quadrupole QuadrupoleOf(std::span<const ElectrodeRecord> electrodes, const RecordIndexEntry& entry);
