#include "formats/decay_table.h"

#include "formats/plain_number.h"
#include "formats/table_line.h"
#include "ip/decay_fit.h"

std::string DecayTableHeader() {
  return "survey,record,A,B,M,N,gate,t1_ms,t2_ms,M_gate,M_gate_err,tau_ms,c,misfit,flags";
}

std::vector<std::string> DecayTableLines(const std::string& survey, int record, const Quadrupole& q,
                                         const std::vector<Gate>& gates, const RowChargeability& ip) {
  std::vector<std::string> lines;
  if (!ip.DecayComplete() || gates.size() != ip.gates.size()) return lines;
  std::string flags;
  for (const DecayFlagged& flagged : ip.fit->flags)
    flags += (flags.empty() ? "" : ";") + std::string(DecayFlagName(flagged.flag));
  const std::string record_part =
      survey + "," + std::to_string(record) + "," + TableValue(q.a.value_or(RemoteCurrentPosition), 3) + "," +
      TableValue(q.b.value_or(RemoteCurrentPosition), 3) + "," + TableValue(q.m.value_or(RemotePotentialPosition), 3) +
      "," + TableValue(q.n.value_or(RemotePotentialPosition), 3);
  const std::string fit_part =
      TableValue(ip.fit->tau_ms, 3) + "," + TableValue(ip.fit->c, 4) + "," + TableValue(ip.fit->chi2, 3) + "," + flags;
  for (size_t i = 0; i < gates.size(); ++i)
    lines.push_back(record_part + "," + std::to_string(i + 1) + "," + TableValue(gates[i].t1_ms, 3) + "," +
                    TableValue(gates[i].t2_ms, 3) + "," + TableValue(ip.gates[i], 3) + "," +
                    TableValue(ip.gate_intervals[i], 3) + "," + fit_part);
  return lines;
}

bool GatesFollowOneAnother(const std::vector<Gate>& gates) {
  for (size_t i = 1; i < gates.size(); ++i)
    if (gates[i].t1_ms != gates[i - 1].t2_ms) return false;
  return true;
}

std::string ChargeabilityWindowFault(const std::vector<Gate>& gates, ExportFormat format) {
  if (format != ExportFormat::Res2dinv || GatesFollowOneAnother(gates)) return {};
  return "The res2dinv file gives M's gates as one delay and integration time: gates with gaps between them go only "
         "to the comma table (csv) and the ohm file";
}

std::string DecayGatesFault(const std::vector<Gate>& gates, ExportFormat format) {
  if (gates.size() < 4) return "The decay's fit needs four gates or more (it has three parameters)";
  if (format != ExportFormat::Csv && !GatesFollowOneAnother(gates))
    return "The " + ExportFormatName(format) +
           " file gives the gates as a delay and widths: gates with gaps between them go only to the decay table (csv)";
  return {};
}

std::vector<std::string> GateTimeFields(const std::vector<Gate>& gates) {
  std::vector<std::string> fields;
  if (gates.empty()) return fields;
  const double delay = gates.front().t1_ms;
  fields.push_back(PlainNumber(delay > 1 ? delay : delay / 1000));
  double widths = 0;
  for (const Gate& gate : gates) widths += gate.Width();
  for (const Gate& gate : gates) fields.push_back(PlainNumber(widths > 100 ? gate.Width() : gate.Width() / 1000));
  return fields;
}
