#include "output/file_check.h"

#include "measurement/record_loader.h"

void CheckFile(Vari& v, const RecordEvaluator& evaluate, const std::function<void(const CheckPoint&)>& on_point,
               const Progress& progress, const IpSettings* ip) {
  DataFileSession session(v.DataFile, v.DataFileName);
  PassReadAhead read_ahead(v);
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    double plotted = PlottedError(v.RecordResult.ErrorPct);
    CheckPoint point{k,
                     v.RecordResult.ErrorPct,
                     plotted,
                     ClassOfError(plotted),
                     v.SignedMeanDU / v.RecordResult.MeanI,
                     v.StackingSpreadPct};
    if (ip) point.chargeability = RecordChargeability(v, *ip, false).m;
    on_point(point);
    if (progress) progress(k, v.RecordCount);
  }
}
