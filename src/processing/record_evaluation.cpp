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

std::unique_ptr<Vari> SurveyForPass(const Vari& v) {
  auto pass = std::make_unique<Vari>();
  pass->DataFileName = v.DataFileName;
  pass->SampleRate = v.SampleRate;
  pass->HalfPeriod = v.HalfPeriod;
  pass->SecondLength = v.SecondLength;
  pass->PeriodCount = v.PeriodCount;
  pass->SamplesPerCurve = v.SamplesPerCurve;
  pass->ElectrodeCount = v.ElectrodeCount;
  pass->ElectrodeTable = v.ElectrodeTable;
  pass->RecordIndex = v.RecordIndex;
  pass->RecordCount = v.RecordCount;
  pass->BlockCount = v.BlockCount;
  pass->FileLoaded = v.FileLoaded;
  pass->WindowLen = v.WindowLen;
  return pass;
}

RecordEvaluator CoreEvaluator(Vari& v, const RecordOptions& options) {
  return [&v, options](int k) { EvaluateRecord(v, k, options); };
}
