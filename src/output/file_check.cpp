#include "output/file_check.h"

#include "measurement/record_loader.h"

void CheckFile(Vari& v, const RecordEvaluator& evaluate, const std::function<void(const CheckPoint&)>& on_point,
               const Progress& progress) {
  DataFileSession session(v.DataFile, v.DataFileName);
  PassReadAhead read_ahead(v);
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    double plotted = PlottedError(v.RecordResult.ErrorPct);
    on_point(
        {k, v.RecordResult.ErrorPct, plotted, ClassOfError(plotted), v.RecordResult.MeanDU / v.RecordResult.MeanI});
    if (progress) progress(k, v.RecordCount);
  }
}
