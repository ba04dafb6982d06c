#include "processing/summary_line.h"

#include "processing/format_fixed.h"

std::string SummaryLine(const RecordResultValues& result, const RecordDrawing& drawing) {
  return "dU=" + FormatFixed(result.MeanDU, 3) + " (" + drawing.du_list + ") " + FormatFixed(result.ErrorPct, 1) +
         "%    I=" + FormatFixed(result.MeanI, 2) + " (" + drawing.di_list + ")" + " EP=" +
         FormatFixed(result.MeanEP, 3);
}
