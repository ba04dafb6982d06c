#include "processing/summary_line.h"

#include "processing/format_fixed.h"

namespace {

// Every item after one blank: " 50.000 50.000".
std::string List(const std::vector<double>& values, int decimals, std::string_view separator) {
  std::string list;
  for (double value : values) (list += ' ') += FormatFixed(value, decimals, separator);
  return list;
}

}  // namespace

std::string SummaryLine(const RecordResultValues& result, const RecordDrawing& drawing,
                        std::string_view decimal_separator) {
  auto fixed = [&](double value, int decimals) { return FormatFixed(value, decimals, decimal_separator); };
  return "dU=" + fixed(result.MeanDU, 3) + " (" + List(drawing.du_values, 3, decimal_separator) + ") " +
         fixed(result.ErrorPct, 1) + "%    I=" + fixed(result.MeanI, 2) + " (" +
         List(drawing.di_values, 2, decimal_separator) + ")" + " EP=" + fixed(result.MeanEP, 3);
}
