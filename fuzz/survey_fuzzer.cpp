// Arbitrary bytes as a measurement file, through the whole core path: indexing,
// loading and processing every record with every sign and abs setting, the file
// check's classes, the summary line and the text table in memory, and the chargeability
// of the first records from their pauses.

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/error_class.h"
#include "formats/table_line.h"
#include "measurement/in_out_error.h"
#include "measurement/record_identification.h"
#include "measurement/record_loader.h"
#include "measurement/survey_writer.h"
#include "processing/record_chargeability.h"
#include "processing/record_evaluation.h"
#include "processing/record_processor.h"
#include "processing/summary_line.h"
#include "whole_file.h"

namespace {

const std::string& InputPath() {
  static const std::string path = "/tmp/vostrel-fuzz-" + std::to_string(getpid()) + ".qmr";
  return path;
}

size_t Exercise(const Survey& v) {
  size_t text = 0;
  Workspace work;
  for (bool flip : {false, true}) {
    for (bool abs_du : {false, true}) {
      DataFileSession session(work.DataFile, v.DataFileName);
      for (int k = 1; k <= v.RecordCount; ++k) {
        LoadRecordSamples(v, work, k, flip);
        RecordDrawing drawing;
        const RecordValues values = ComputeRecordResult(v, work, abs_du, k <= 3 ? &drawing : nullptr);
        text += SummaryLine(values.result, drawing).size();
        text += TableLine(ExportFormat::Text, k, v.RecordIndex[k], v, values.result, values.spread_pct).size();
        text += RecordIdentification(v.RecordIndex[k]).size();
        text += static_cast<size_t>(ClassOfError(PlottedError(values.result.ErrorPct)));
        // Any header and any samples: spikes, hum, NaN, pauses beyond the curve.
        if (k <= 3 && !abs_du) text += RecordChargeability(v, work, values.signed_mean_du, {}, flip).gates.size();
      }
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteWholeFile(InputPath(), std::span(data, size));
  try {
    const SharedSurvey survey = OpenSurvey(InputPath()).survey;
    volatile size_t sink = Exercise(*survey);
    (void)sink;
  } catch (const InOutError&) {
    // A refused or unreadable file is an answer, not a fault.
  }
  return 0;
}
