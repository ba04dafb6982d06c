#include "analysis/file_check.h"

#include "ip/decay_fit.h"

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
        if (row.evaluation.ip && row.evaluation.ip->fit) {
          const DecayFit& fit = *row.evaluation.ip->fit;
          point.tau_ms = fit.tau_ms, point.decay_c = fit.c, point.decay_misfit = fit.chi2;
        }
        on_point(point);
      },
      progress);
}
