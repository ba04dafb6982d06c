#include "analysis/file_check.h"

void CheckFile(const Survey& survey, const RecordOptions& options,
               const std::function<void(const CheckPoint&)>& on_point, const Progress& progress, const IpSettings* ip) {
  PassOptions pass;
  pass.record = options;
  if (ip) pass.ip = *ip;
  RecordPass(
      survey, pass,
      [&](const RecordRow& row) {
        const RecordResultValues& result = row.evaluation.result;
        double plotted = PlottedError(result.ErrorPct);
        CheckPoint point{row.k,
                         result.ErrorPct,
                         plotted,
                         ClassOfError(plotted),
                         row.evaluation.signed_mean_du / result.MeanI,
                         row.evaluation.spread_pct};
        if (row.evaluation.ip) point.chargeability = row.evaluation.ip->m;
        on_point(point);
      },
      progress);
}
