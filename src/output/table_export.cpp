#include "output/table_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <vector>

#include "analysis/reciprocal_pairs.h"
#include "formats/ohm_file.h"
#include "formats/res2dinv_file.h"
#include "formats/survey_row.h"
#include "measurement/in_out_error.h"
#include "measurement/record_loader.h"
#include "output/atomic_text_file.h"
#include "output/table_name.h"

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// A measurement file that already carries the table's extension would be replaced by its table.
void RefuseToReplaceMeasurementFile(const std::string& data_file_name, const std::string& table_name) {
  if (SameNameIgnoringCase(data_file_name, table_name) || SameFile(data_file_name, table_name))
    throw InOutError::Invalid("The table would replace the measurement file " + data_file_name);
}

// A NaN error is within no limit: every comparison with it is false.
bool WithinErrorLimit(const ExportOptions& options, double error_pct) {
  return !options.max_error_pct || error_pct <= *options.max_error_pct;
}

RowChargeability RowChargeabilityOf(const Vari& v, const IpSettings& settings) {
  const Chargeability ip = RecordChargeability(v, settings, false);
  RowChargeability row{ip.m, ip.m_interval, {}};
  for (const GateChargeability& gate : ip.gates) row.gates.push_back(gate.m);
  return row;
}

// The comma table's chargeability columns: M, its ± (Merr, a name the peers' readers
// leave alone), then M1..Mn of the gates.
std::string ChargeabilityHeader(size_t gates) {
  std::string header = ",M,Merr";
  for (size_t i = 1; i <= gates; ++i) header += ",M" + std::to_string(i);
  return header;
}

std::string ChargeabilityColumns(const RowChargeability& ip) {
  std::string columns = "," + TableValue(ip.m, 3) + "," + TableValue(ip.m_interval, 3);
  for (double m : ip.gates) columns += "," + TableValue(m, 3);
  return columns;
}

// The text and comma-separated tables are written a line per record as the pass goes.
ExportReport WriteTable(Vari& v, const ExportOptions& options, AtomicTextFile& table, const RecordEvaluator& evaluate,
                        const Progress& progress) {
  const TableFormat format = options.format == ExportFormat::Csv ? TableFormat::Csv : TableFormat::Text;
  ExportReport report;
  const std::string ip_header = options.ip ? ChargeabilityHeader(GatesFor(v, *options.ip).size()) : "";
  table.WriteLine(TableHeader(format) + ip_header);
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    if (WithinErrorLimit(options, v.StackingSpreadPct)) {
      std::string ip_columns;
      if (options.ip) {
        const RowChargeability ip = RowChargeabilityOf(v, *options.ip);
        ip_columns = ChargeabilityColumns(ip);
        if (!std::isfinite(ip.m)) ++report.without_m;
      }
      table.WriteLine(TableLine(format, k, v.RecordIndex[k], v, v.RecordResult) + ip_columns);
      ++report.written;
    } else {
      ++report.left_out;
    }
    if (progress) progress(k, v.RecordCount);
  }
  return report;
}

void UseReciprocalErrorModel(std::vector<SurveyRow>& rows) {
  std::vector<MeasuredRecord> records;
  for (const SurveyRow& row : rows)
    records.push_back({row.k, row.entry.A, row.entry.B, row.entry.M, row.entry.N, row.resistivity.r});
  const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(records);
  if (pairs.empty()) throw InOutError::Invalid("No normal/reciprocal pairs for an error model");
  const ErrorModel model = FitErrorModel(pairs);
  for (SurveyRow& row : rows) row.spread_pct = 100 * model.ErrorOf(row.resistivity.r) / std::fabs(row.resistivity.r);
}

// The inversion formats count their records before the first one, so the pass comes first.
ExportReport WriteExchangeFile(Vari& v, const ExportOptions& options, AtomicTextFile& file,
                               const RecordEvaluator& evaluate, const Progress& progress) {
  std::vector<SurveyRow> rows;
  int limited = 0;
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    if (WithinErrorLimit(options, v.StackingSpreadPct)) {
      // Formatting a row while the next curves are read makes the pass no longer.
      SurveyRow& row = rows.emplace_back(RowOf(v, k));
      if (options.ip) row.ip = RowChargeabilityOf(v, *options.ip);
      if (row.Complete()) row.text = options.format == ExportFormat::Ohm ? OhmRowValues(row) : Res2dinvRow(row);
    } else {
      ++limited;
    }
    if (progress) progress(k, v.RecordCount);
  }
  if (options.reciprocal_error) UseReciprocalErrorModel(rows);
  const std::string title = std::filesystem::path(v.DataFileName).stem().string();
  std::optional<Gate> span;
  if (options.ip) {
    const std::vector<Gate> gates = GatesFor(v, *options.ip);
    if (!gates.empty()) span = Gate{gates.front().t1_ms, gates.back().t2_ms};
  }
  FormatLines lines = options.format == ExportFormat::Ohm ? OhmLines(rows) : Res2dinvLines(rows, title, span);
  for (const std::string& line : lines.lines) file.WriteLine(line);
  return {"", lines.written, lines.left_out + limited};
}

}  // namespace

std::string ExportFileName(const std::string& data_file_name, const ExportOptions& options) {
  const std::string beside = TableFileName(data_file_name, ExportExtension(options.format));
  if (options.folder.empty()) return beside;
  return (std::filesystem::path(options.folder) / std::filesystem::path(beside).filename()).string();
}

ExportReport ExportSurvey(Vari& v, const ExportOptions& options, const RecordEvaluator& evaluate,
                          const Progress& progress) {
  if (v.RecordCount < 1) throw InOutError::Invalid("No records to export");
  if (options.format == ExportFormat::Text && options.max_error_pct)
    throw InOutError::Invalid("The text table lists every record; an error limit does not apply to it");
  if (options.format == ExportFormat::Text && options.ip)
    throw InOutError::Invalid("The text table has no column for chargeability");
  const std::string name = ExportFileName(v.DataFileName, options);
  RefuseToReplaceMeasurementFile(v.DataFileName, name);

  DataFileSession session(v.DataFile, v.DataFileName);
  PassReadAhead read_ahead(v);
  AtomicTextFile file(name);
  const bool table = options.format == ExportFormat::Text || options.format == ExportFormat::Csv;
  ExportReport report = table ? WriteTable(v, options, file, evaluate, progress)
                              : WriteExchangeFile(v, options, file, evaluate, progress);
  file.Commit();
  report.file = name;
  return report;
}

std::string ExportTable(Vari& v, TableFormat format, const RecordEvaluator& evaluate, const Progress& progress) {
  ExportOptions options{.format = format == TableFormat::Csv ? ExportFormat::Csv : ExportFormat::Text};
  return ExportSurvey(v, options, evaluate, progress).file;
}
