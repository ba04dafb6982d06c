#include "formats/ohm_file.h"

#include <algorithm>

#include "formats/plain_number.h"
#include "ip/decay_fit.h"

namespace {

// The 1-based number of the electrode at x among the sorted positions, 0 for a remote one.
std::string ElectrodeNumber(const std::vector<double>& positions, const std::optional<double>& x) {
  if (!x) return "0";
  auto at = std::lower_bound(positions.begin(), positions.end(), *x);
  return std::to_string(at - positions.begin() + 1);
}

}  // namespace

std::string OhmRowValues(const SurveyRow& row) {
  return PlainNumber(row.resistivity.r) + " " + PlainNumber(row.resistivity.rhoa) + " " +
         PlainNumber(row.resistivity.k);
}

namespace {

// The decay's field names, and a row's values of them.
std::string DecayFieldNames(size_t gates) {
  std::string names;
  for (const char* field : {" ip", " iperr"})
    for (size_t i = 1; i <= gates; ++i) names += field + std::to_string(i);
  for (size_t i = 0; i <= gates; ++i) names += " TM" + std::to_string(i);
  return names + " tau c misfit";
}

std::string DecayValues(const RowChargeability& ip, const std::string& gate_times) {
  std::string values;
  for (const std::vector<double>* gates : {&ip.gates, &ip.gate_intervals})
    for (double value : *gates) values += " " + PlainNumber(value);
  return values + gate_times + " " + PlainNumber(ip.fit->tau_ms) + " " + PlainNumber(ip.fit->c) + " " +
         PlainNumber(ip.fit->chi2);
}

}  // namespace

FormatLines OhmLines(const std::vector<SurveyRow>& rows, const std::vector<ElectrodeElevation>* elevations,
                     const DecayGates* decay) {
  FormatLines file;
  const std::vector<const SurveyRow*> carried = CarriedRows(rows, file.left_out, decay != nullptr);
  const std::vector<double> positions = PlacedPositions(carried);
  file.lines.push_back(std::to_string(positions.size()));
  file.lines.push_back(elevations ? "# x z" : "# x y z");
  for (double x : positions)
    file.lines.push_back(PositionNumber(x) +
                         (elevations ? " " + PlainNumber(ElevationAt(*elevations, x)) : " 0.0 0.0"));
  file.lines.push_back(std::to_string(carried.size()));
  // Asked with chargeability, the header says so even when every row was left out.
  const bool chargeability = decay || (!rows.empty() && rows.front().ip.has_value());
  std::string gate_times;
  if (decay)
    for (const std::string& field : GateTimeFields(decay->gates)) gate_times += " " + field;
  file.lines.push_back(std::string(chargeability ? "# a b m n r rhoa k err ip iperr" : "# a b m n r rhoa k err") +
                       (decay ? DecayFieldNames(decay->gates.size()) : ""));
  for (const SurveyRow* row : carried) {
    const Quadrupole& q = row->positions;
    file.lines.push_back(ElectrodeNumber(positions, q.a) + " " + ElectrodeNumber(positions, q.b) + " " +
                         ElectrodeNumber(positions, q.m) + " " + ElectrodeNumber(positions, q.n) + " " +
                         (row->text.empty() ? OhmRowValues(*row) : row->text) + " " +
                         PlainNumber(row->spread_pct / 100) +
                         (row->ip ? " " + PlainNumber(row->ip->m) + " " + PlainNumber(row->ip->m_interval) : "") +
                         (row->ip && decay ? DecayValues(*row->ip, gate_times) : ""));
  }
  file.lines.push_back("0");
  file.written = static_cast<int>(carried.size());
  return file;
}
