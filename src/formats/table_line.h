#pragma once

#include <string>
#include <vector>

#include "formats/export_format.h"
#include "geometry/quadrupole.h"
#include "measurement/record_result.h"
#include "measurement/survey.h"

// One table value with a fixed number of decimals and "." whatever the region.
std::string TableValue(double value, int decimals);

// The text table (ExportFormat::Text: "#" header with tabs, blank-separated lines) and
// the comma table (ExportFormat::Csv: for the resistivity processing tools, with
// apparent resistivity) are written a line per record.
std::string TableHeader(ExportFormat format);

// The line of record k without its line end. The comma table's Dev. is spread_pct, the
// stacking error whatever the sign of dU; the text table's the result's ErrorPct.
std::string TableLine(ExportFormat format, int k, const RecordIndexEntry& entry, const Survey& v,
                      const RecordResultValues& result, double spread_pct);

// The comma table's line of a record whose electrodes stand at q, with this ρa.
std::string CsvLine(const Quadrupole& q, const RecordResultValues& result, double spread_pct, double rhoa);

// The comma table's chargeability columns: M, its ± (Merr, a name the peers' readers
// leave alone), then M1..Mn of the gates; with their leading commas.
std::string ChargeabilityHeader(size_t gates);
std::string ChargeabilityColumns(double m, double m_interval, const std::vector<double>& gates);

// Where the comma-separated table puts a remote electrode: the value that the
// resistivity tools take for a remote current electrode, and for a remote potential one.
constexpr double RemoteCurrentPosition = -99999;
constexpr double RemotePotentialPosition = 99999;
