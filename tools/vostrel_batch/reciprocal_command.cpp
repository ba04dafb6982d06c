// reciprocal: the normal/reciprocal pairs of a survey, their errors and the error model.

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/quantile.h"
#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "formats/plain_number.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"
#include "vostrel_batch/json_output.h"
#include "vostrel_batch/options.h"
#include "vostrel_batch/survey_input.h"

namespace {

struct Summary {
  double median, p90, max;  // of the pairs' |error|, %
};

Summary SummaryOf(const std::vector<ReciprocalPair>& pairs) {
  std::vector<double> sizes;
  for (const ReciprocalPair& pair : pairs) sizes.push_back(100 * std::fabs(pair.error));
  return {Quantile(sizes, 0.5), Quantile(sizes, 0.9), Quantile(sizes, 1.0)};
}

std::string Text(const Survey& v, const std::vector<ReciprocalPair>& pairs) {
  std::string out =
      std::to_string(pairs.size()) + " normal/reciprocal pairs among " + std::to_string(v.RecordCount) + " records\n";
  out += "normal reciprocal R_normal_ohm R_reciprocal_ohm error_pct\n";
  for (const ReciprocalPair& pair : pairs)
    out += std::to_string(pair.normal) + " " + std::to_string(pair.reciprocal) + " " + PlainNumber(pair.r_normal) +
           " " + PlainNumber(pair.r_reciprocal) + " " + PlainNumber(100 * pair.error) + "\n";
  const Summary summary = SummaryOf(pairs);
  out += "|error|: median " + PlainNumber(summary.median, 3) + " % p90 " + PlainNumber(summary.p90, 3) + " % max " +
         PlainNumber(summary.max, 3) + " %\n";
  const ErrorModel model = FitErrorModel(pairs);
  out += model.bins > 0 ? "model: " + ErrorModelText(model) + ", " + std::to_string(model.bins) + " bins\n"
                        : "model: none, no pairs to fit\n";
  return out;
}

Json Document(const std::string& file, const OpenedSurvey& opened, const std::vector<ReciprocalPair>& pairs) {
  Json document;
  document[json_key::File] = file;
  document[json_key::Warnings] = opened.report.warnings;
  document[json_key::RecordCount] = opened.survey->RecordCount;
  document[json_key::Pairs] = Json::array();
  for (const ReciprocalPair& pair : pairs) {
    Json item;
    item[json_key::Normal] = pair.normal;
    item[json_key::Reciprocal] = pair.reciprocal;
    SetNumber(item, json_key::RNormal, pair.r_normal, "the record gives no R");
    SetNumber(item, json_key::RReciprocal, pair.r_reciprocal, "the record gives no R");
    SetNumber(item, json_key::ErrorPct, 100 * pair.error, "a record gives no R");
    document[json_key::Pairs].push_back(std::move(item));
  }
  const Summary summary = SummaryOf(pairs);
  SetNumber(document, json_key::ErrorMedian, summary.median, "no pairs");
  SetNumber(document, json_key::ErrorP90, summary.p90, "no pairs");
  SetNumber(document, json_key::ErrorMax, summary.max, "no pairs");
  const ErrorModel model = FitErrorModel(pairs);
  Json fitted;
  SetNumber(fitted, json_key::ModelA, model.bins > 0 ? model.a : NAN, "no pairs to fit");
  SetNumber(fitted, json_key::ModelB, model.bins > 0 ? model.b : NAN, "no pairs to fit");
  fitted[json_key::Bins] = model.bins;
  document[json_key::Model] = std::move(fitted);
  return document;
}

}  // namespace

CommandRun DeclareReciprocal(CLI::App& app) {
  struct Options {
    std::string file;
    RecordOptions record;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->file, "the survey");
  AddRecordOptions(app, o->record);
  AddJson(app, o->json);
  return [o](const std::vector<std::string>&) {
    return ForEachFile({o->file}, {}, [&](const std::string& file, FileOutput& output, const Progress&) {
      OpenedSurvey opened = OpenSurveyInput(file, output.err);
      const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(MeasureSurvey(*opened.survey, o->record));
      output.out += o->json ? JsonText(Document(file, opened, pairs)) : Text(*opened.survey, pairs);
    });
  };
}
