#include "processing/record_evaluation.h"

#include "measurement/index_file.h"
#include "measurement/record_loader.h"
#include "processing/record_processor.h"
#include "processing/window_rule.h"

IndexReport OpenSurvey(Vari& v) {
  IndexReport report = IndexFile(v);
  if (v.RecordCount > 0) v.WindowLen = WindowLenFor(v.HalfPeriod);
  return report;
}

void EvaluateRecord(Vari& v, int k, const RecordOptions& options) {
  LoadRecordSamples(v, k, options.flip_sign);
  ComputeRecordResult(v, options.abs_du, nullptr);
}

namespace {

// What the open wrote of a survey: its name, header, electrode table and index.
void CopySurvey(const Vari& from, Vari& to) {
  to.DataFileName = from.DataFileName;
  to.SampleRate = from.SampleRate;
  to.HalfPeriod = from.HalfPeriod;
  to.SecondLength = from.SecondLength;
  to.PeriodCount = from.PeriodCount;
  to.SamplesPerCurve = from.SamplesPerCurve;
  to.ElectrodeCount = from.ElectrodeCount;
  to.ElectrodeTable = from.ElectrodeTable;
  to.RecordIndex = from.RecordIndex;
  to.RecordCount = from.RecordCount;
  to.BlockCount = from.BlockCount;
  to.FileLoaded = from.FileLoaded;
  to.WindowLen = from.WindowLen;
}

}  // namespace

IndexReport OpenSurveyInstead(Vari& v, const std::string& name) {
  auto opened = std::make_unique<Vari>();
  opened->DataFileName = name;
  IndexReport report = OpenSurvey(*opened);
  CopySurvey(*opened, v);
  // The last survey's curves and tables are let go of, as an open does.
  for (auto curve : {&Vari::CurrentSamples, &Vari::VoltageSamples}) v.*curve = std::move(opened.get()->*curve);
  for (auto table : {&Vari::AvgI, &Vari::AvgV, &Vari::AvgX, &Vari::DU, &Vari::EP, &Vari::DI})
    v.*table = std::move(opened.get()->*table);
  v.CurrentCache.Forget();
  return report;
}

std::unique_ptr<Vari> SurveyForPass(const Vari& v) {
  auto pass = std::make_unique<Vari>();
  CopySurvey(v, *pass);
  return pass;
}

RecordEvaluator CoreEvaluator(Vari& v, const RecordOptions& options) {
  return [&v, options](int k) { EvaluateRecord(v, k, options); };
}
