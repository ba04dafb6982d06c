#pragma once

#include <optional>
#include <string>

#include "formats/export_format.h"
#include "formats/table_line.h"
#include "processing/record_chargeability.h"
#include "processing/record_pass.h"

// The data error of the chargeability an export writes (iperr, Merr and each gate's ±):
// the stack's ±, or the decay's data error from the misfit of its fit (DecayFit::data_error),
// as decay-curve analysis takes it.
enum class IpError { Stack, Decay };

struct ExportOptions {
  ExportFormat format = ExportFormat::Text;
  // Records whose stacking error (whatever the sign of dU) exceeds this many percent,
  // or is NaN, are left out.
  // The text table always lists every record, so it takes no limit.
  std::optional<double> max_error_pct{};
  // The unified data format's err from the error model of the survey's normal/reciprocal
  // pairs, (a + b|R|) / |R|, instead of the stacking error.
  bool reciprocal_error = false;
  // Chargeability from the pauses of every record: M and the gates' M_i in the comma
  // table, ip in the unified data format, the IP block in the Res2DInv file. The text
  // table has no room for it.
  std::optional<IpSettings> ip{};
  // Every gate of every record with its ±, and each decay's fit (τ, c, the misfit):
  // ip1..ipN, iperr1..iperrN, the gate times and tau, c, misfit in the unified format; the
  // gates as IP windows in the Res2DInv file; the long table NAME.decay.csv for csv. Implies
  // ip; needs four gates or more, and for the unified format and the general array gates
  // that follow one another.
  bool decay = false;
  IpError ip_error = IpError::Stack;
  // The folder the file goes to, under the name it has beside the survey; empty: the
  // survey's own folder. A survey on a read-only medium is exported elsewhere.
  std::string folder{};
};

struct ExportReport {
  std::string file;
  int written = 0;    // records in the file
  int left_out = 0;   // records the format cannot carry or the error limit kept out
  int without_m = 0;  // comma table with chargeability: records written with M NaN
};

// Writes every indexed record's result in the chosen format beside the measurement file
// or into options.folder (named like the text table, with the format's extension) and
// says what it wrote,
// from one record pass with the record options given. The old file is replaced only by
// a complete new one. Throws InOutError when there is no record, when the file would be
// the measurement file itself, or on any file failure.
ExportReport ExportSurvey(const Survey& survey, const ExportOptions& options, const RecordOptions& record,
                          const Progress& progress = {});

// The name of the file an export writes.
std::string ExportFileName(const std::string& data_file_name, const ExportOptions& options);

// The text table (".TXT") or the comma-separated one (".csv"); returns its name.
std::string ExportTable(const Survey& survey, ExportFormat format, const RecordOptions& record,
                        const Progress& progress = {});
