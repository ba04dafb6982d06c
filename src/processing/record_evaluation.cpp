#include "processing/record_evaluation.h"

#include <memory>

#include "measurement/record_loader.h"
#include "processing/window_rule.h"

OpenedSurvey OpenSurvey(const std::string& name) {
  auto survey = std::make_shared<Survey>();
  survey->DataFileName = name;
  DataFile file;
  IndexReport report = IndexFile(*survey, file);
  if (survey->RecordCount > 0) survey->WindowLen = WindowLenFor(survey->HalfPeriod);
  return {std::move(survey), std::move(report)};
}

RecordEvaluation EvaluateLoadedRecord(const Survey& survey, Workspace& work, int k, const RecordOptions& options,
                                      const IpSettings* ip, RecordDrawing* drawing, bool decay_curve) {
  const RecordValues values = ComputeRecordResult(survey, work, options.abs_du, drawing);
  RecordEvaluation evaluation{values.result, values.spread_pct, values.signed_mean_du, {}, {}};
  // R and ρa keep the measured sign (after "Перевернуть dU"): "Модуль dU" shows the size
  // of dU, and a dipole-dipole ρa must not turn negative with it.
  RecordResultValues measured = values.result;
  measured.MeanDU = values.signed_mean_du;
  evaluation.resistivity =
      ResistivityOf(QuadrupoleOf(survey.ElectrodeTable, survey.RecordIndex[static_cast<size_t>(k)]), measured);
  if (ip) evaluation.ip = RecordChargeability(survey, work, values.signed_mean_du, *ip, decay_curve);
  return evaluation;
}

RecordEvaluation EvaluateRecord(const Survey& survey, Workspace& work, int k, const RecordOptions& options,
                                const IpSettings* ip, RecordDrawing* drawing) {
  LoadRecordSamples(survey, work, k, options.flip_sign);
  return EvaluateLoadedRecord(survey, work, k, options, ip, drawing);
}
