#pragma once

#include <string>

#include "measurement/record_result.h"
#include "measurement/survey.h"

enum class TableFormat {
  Text,  // the field's own table: "#" header with tabs, blank-separated lines
  Csv,   // comma-separated, for the resistivity processing tools, with apparent resistivity
};

// One table value with a fixed number of decimals and "." whatever the region.
std::string TableValue(double value, int decimals);

std::string TableHeader(TableFormat format);

// The line of record k without its line end.
std::string TableLine(TableFormat format, int k, const RecordIndexEntry& entry, const Survey& v,
                      const RecordResultValues& result);

// The position printed for electrode number `electrode`: its coordinate, or 100000
// for electrode 0, which has no record in the table.
double ElectrodePosition(const Survey& v, int electrode);

// Where the comma-separated table puts a remote electrode: the value that the
// resistivity tools take for a remote current electrode, and for a remote potential one.
constexpr double RemoteCurrentPosition = -99999;
constexpr double RemotePotentialPosition = 99999;
