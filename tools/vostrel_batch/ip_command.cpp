// ip: chargeability of records from their pauses: the stacked decay's gates and M.

#include <memory>
#include <stdexcept>

#include "formats/table_line.h"
#include "ip/chargeability.h"
#include "measurement/in_out_error.h"
#include "processing/record_chargeability.h"
#include "processing/record_pass.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"
#include "vostrel_batch/json_output.h"
#include "vostrel_batch/options.h"
#include "vostrel_batch/survey_input.h"

namespace {

struct Options {
  std::string file;
  std::vector<int32_t> records;
  bool flip_sign = false;
  std::string gates, mains;
  bool json = false;
};

std::string RecordText(int k, const Chargeability& ip, const std::vector<Gate>& gates) {
  const std::string span = gates.empty() ? "none" : GateText({gates.front().t1_ms, gates.back().t2_ms});
  std::string text = "record " + std::to_string(k) + ": Vp=" + TableValue(ip.vp, 3) + " mV  M=" + TableValue(ip.m, 3) +
                     " mV/V  ±" + TableValue(ip.m_interval, 3) + "  Mt=" + TableValue(ip.mt_ms, 3) + " ms  gates " +
                     span + " ms" + (ip.no_answer.empty() ? "" : "  (" + ip.no_answer + ")") + "\n";
  for (size_t i = 0; i < ip.gates.size(); ++i)
    text += "gate " + std::to_string(i + 1) + ": " + GateText(ip.gates[i].gate) +
            " ms  M=" + TableValue(ip.gates[i].m, 3) + " mV/V  ±" + TableValue(ip.gates[i].interval, 3) + "\n";
  return text;
}

Json RecordJson(int k, const Chargeability& ip) {
  const std::string why = ip.no_answer.empty() ? "no number" : ip.no_answer;
  Json record;
  record[json_key::Record] = k;
  SetNumber(record, json_key::Vp, ip.vp, why);
  SetNumber(record, json_key::Chargeability, ip.m, why);
  SetNumber(record, json_key::ChargeabilityErr, ip.m_interval, why);
  SetNumber(record, json_key::Mt, ip.mt_ms, why);
  record[json_key::Gates] = Json::array();
  for (const GateChargeability& gate : ip.gates) {
    Json item;
    item[json_key::T1] = gate.gate.t1_ms;
    item[json_key::T2] = gate.gate.t2_ms;
    SetNumber(item, json_key::Chargeability, gate.m, why);
    SetNumber(item, json_key::ChargeabilityErr, gate.interval, why);
    record[json_key::Gates].push_back(std::move(item));
  }
  return record;
}

}  // namespace

CommandRun DeclareIp(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->file, "the survey");
  AddArgument(app, "K", o->records, "the records' numbers, from 1")
      ->check(WholeNumber("a record number", [](int64_t k) { return k >= INT32_MIN && k <= INT32_MAX; }));
  AddFlag(app, "--flip-sign", o->flip_sign, "turn the sign of dU (the window's \"Перевернуть dU\")");
  AddGates(app, o->gates);
  AddMains(app, o->mains);
  AddJson(app, o->json);
  return [o](const std::vector<std::string>&) {
    FileRun run;
    if (o->json)
      run.failed_output = [](const std::string& file, const std::string& failure) {
        Json failed;
        failed[json_key::File] = file;
        failed[json_key::Error] = failure.substr(file.size() + 2);
        return JsonText(failed);
      };
    return ForEachFile({o->file}, run, [&](const std::string& file, FileOutput& output, const Progress&) {
      const OpenedSurvey opened = OpenSurveyInput(file, output.err);
      const Survey& survey = *opened.survey;
      // A gate beyond the survey's pause fails the survey, as it fails it in export.
      const std::vector<Gate> gates = o->gates.empty() ? DefaultGates(survey.HalfPeriod, survey.SampleRate)
                                                       : ParseGates(o->gates, survey.HalfPeriod, survey.SampleRate);
      // The records before one that is not in the survey are shown, and none after it.
      std::vector<int> shown;
      for (int32_t k : o->records) {
        if (k < 1 || k > survey.RecordCount) break;
        shown.push_back(k);
      }
      Json document;
      document[json_key::File] = file;
      document[json_key::Warnings] = opened.report.warnings;
      document[json_key::Records] = Json::array();
      // An empty list of records would be every record of the pass.
      if (!shown.empty()) {
        PassOptions pass;
        pass.record.flip_sign = o->flip_sign;
        pass.records = shown;
        PauseCleaning cleaning;
        cleaning.mains_hz = MainsFrequencies(o->mains);
        pass.ip = IpSettings{gates, cleaning};
        try {
          RecordPass(survey, pass, [&](const RecordRow& row) {
            if (o->json)
              document[json_key::Records].push_back(RecordJson(row.k, *row.evaluation.ip));
            else
              output.out += RecordText(row.k, *row.evaluation.ip, gates);
          });
        } catch (const InOutError& error) {
          // The records before one that cannot be read are kept, as the text keeps them.
          if (o->json) {
            document[json_key::Error] = error.what();
            output.out += JsonText(document);
          }
          throw;
        }
      }
      std::string missing;
      if (shown.size() < o->records.size())
        missing = "record " + std::to_string(o->records[shown.size()]) + " is not in 1.." +
                  std::to_string(survey.RecordCount);
      if (o->json) {
        if (!missing.empty()) document[json_key::Error] = missing;
        output.out += JsonText(document);
      }
      if (!missing.empty()) throw InOutError::Invalid(missing);
    });
  };
}
