// ip: chargeability of records from their pauses: the stacked decay's gates and M.

#include <stdexcept>

#include "formats/table_line.h"
#include "ip/chargeability.h"
#include "measurement/in_out_error.h"
#include "processing/record_chargeability.h"
#include "processing/record_pass.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"

int IpCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign"}, {"--gates", "--mains"});
  if (arguments.Plain().size() < 2) throw UsageError("a measurement file and record numbers expected");
  const std::string& file = arguments.Plain()[0];
  std::vector<int32_t> records;
  for (size_t i = 1; i < arguments.Plain().size(); ++i)
    records.push_back(ParseInt32(arguments.Plain()[i], "a record number"));
  const bool flip = arguments.Flag("--flip-sign");
  PauseCleaning cleaning;
  cleaning.mains_hz = MainsOf(arguments);
  const std::string* gate_text = arguments.Text("--gates");
  // The gates are checked against the survey's pause before any record is read.
  std::vector<Gate> gates;
  try {
    const SharedSurvey survey = OpenSurvey(file).survey;
    gates = gate_text ? ParseGates(*gate_text, survey->HalfPeriod, survey->SampleRate)
                      : DefaultGates(survey->HalfPeriod, survey->SampleRate);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  } catch (const std::exception&) {
    // The file's own failure is reported below, as every command reports it.
  }
  return ForEachFile({file}, 1, [&](const std::string&, FileOutput& output) {
    const SharedSurvey survey = OpenSurvey(file).survey;
    // The records before one that is not in the survey are shown.
    std::vector<int> shown;
    for (int32_t k : records) {
      if (k < 1 || k > survey->RecordCount) break;
      shown.push_back(k);
    }
    PassOptions pass;
    pass.record.flip_sign = flip;
    pass.records = shown;
    pass.ip = IpSettings{gates, cleaning};
    RecordPass(*survey, pass, [&](const RecordRow& row) {
      const Chargeability& ip = *row.evaluation.ip;
      const int k = row.k;
      const std::string span = gates.empty() ? "none" : GateText({gates.front().t1_ms, gates.back().t2_ms});
      output.out += "record " + std::to_string(k) + ": Vp=" + TableValue(ip.vp, 3) + " mV  M=" + TableValue(ip.m, 3) +
                    " mV/V  ±" + TableValue(ip.m_interval, 3) + "  Mt=" + TableValue(ip.mt_ms, 3) + " ms  gates " +
                    span + " ms" + (ip.no_answer.empty() ? "" : "  (" + ip.no_answer + ")") + "\n";
      for (size_t i = 0; i < ip.gates.size(); ++i)
        output.out += "gate " + std::to_string(i + 1) + ": " + GateText(ip.gates[i].gate) +
                      " ms  M=" + TableValue(ip.gates[i].m, 3) + " mV/V  ±" + TableValue(ip.gates[i].interval, 3) +
                      "\n";
    });
    if (shown.size() < records.size()) {
      const int32_t k = records[shown.size()];
      throw InOutError::Invalid("record " + std::to_string(k) + " is not in 1.." + std::to_string(survey->RecordCount));
    }
  });
}
