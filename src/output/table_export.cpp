#include "output/table_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

#include "analysis/reciprocal_pairs.h"
#include "formats/decay_table.h"
#include "formats/ohm_file.h"
#include "formats/res2dinv_file.h"
#include "formats/survey_row.h"
#include "ip/decay_fit.h"
#include "measurement/in_out_error.h"
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

RowChargeability RowChargeabilityOf(const Chargeability& ip, const ExportOptions& options) {
  RowChargeability row{ip.m, ip.m_interval, {}};
  for (const GateChargeability& gate : ip.gates) {
    row.gates.push_back(gate.m);
    row.gate_intervals.push_back(gate.interval);
  }
  if (options.decay) row.fit = ip.fit;
  if (options.ip_error == IpError::Decay) {
    const double error = ip.fit ? ip.fit->data_error : std::numeric_limits<double>::quiet_NaN();
    row.m_interval = error;
    row.gate_intervals.assign(row.gate_intervals.size(), error);
  }
  return row;
}

// Every gate of every record, a line per gate, as the pass goes.
ExportReport WriteDecayTable(const Survey& v, const ExportOptions& options, AtomicTextFile& table,
                             const PassOptions& pass, const Progress& progress) {
  ExportReport report;
  const std::vector<Gate> gates = GatesFor(v, *options.ip);
  const std::string survey = std::filesystem::path(v.DataFileName).filename().string();
  table.WriteLine(DecayTableHeader());
  RecordPass(
      v, pass,
      [&](const RecordRow& row) {
        std::vector<std::string> lines;
        if (WithinErrorLimit(options, row.evaluation.spread_pct) && row.evaluation.ip)
          lines = DecayTableLines(survey, row.k, QuadrupoleOf(v.ElectrodeTable, row.entry), gates,
                                  RowChargeabilityOf(*row.evaluation.ip, options));
        for (const std::string& line : lines) table.WriteLine(line);
        ++(lines.empty() ? report.left_out : report.written);
      },
      progress);
  return report;
}

// The gates of a decay export, refused where the format cannot give them.
DecayGates DecayGatesOf(const Survey& v, const ExportOptions& options) {
  DecayGates decay{GatesFor(v, *options.ip), 1000.0 * v.HalfPeriod / v.SampleRate};
  const std::string fault = DecayGatesFault(decay.gates, options.format);
  if (!fault.empty()) throw InOutError::Invalid(fault);
  return decay;
}

// The text and comma-separated tables are written a line per record as the pass goes.
ExportReport WriteTable(const Survey& v, const ExportOptions& options, AtomicTextFile& table, const PassOptions& pass,
                        const Progress& progress) {
  const ExportFormat format = options.format;
  ExportReport report;
  const std::string ip_header = options.ip ? ChargeabilityHeader(GatesFor(v, *options.ip).size()) : "";
  table.WriteLine(TableHeader(format) + ip_header);
  RecordPass(
      v, pass,
      [&](const RecordRow& row) {
        if (WithinErrorLimit(options, row.evaluation.spread_pct)) {
          std::string ip_columns;
          if (row.evaluation.ip) {
            const RowChargeability ip = RowChargeabilityOf(*row.evaluation.ip, options);
            // A record without the fit has no data error to give: it is left out.
            if (options.ip_error == IpError::Decay && !std::isfinite(ip.m_interval)) {
              ++report.left_out;
              return;
            }
            ip_columns = ChargeabilityColumns(ip.m, ip.m_interval, ip.gates);
            if (!std::isfinite(ip.m)) ++report.without_m;
          }
          // The text table shows dU as the window does; the comma table carries the
          // measured one, whose ratio to I is the R the inversions take.
          RecordResultValues result = row.evaluation.result;
          if (format != ExportFormat::Text) result.MeanDU = row.evaluation.signed_mean_du;
          table.WriteLine(TableLine(format, row.k, row.entry, v, result, row.evaluation.spread_pct) + ip_columns);
          ++report.written;
        } else {
          ++report.left_out;
        }
      },
      progress);
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
ExportReport WriteExchangeFile(const Survey& v, const ExportOptions& options, AtomicTextFile& file,
                               const PassOptions& pass, const Progress& progress) {
  std::vector<SurveyRow> rows;
  int limited = 0;
  RecordPass(
      v, pass,
      [&](const RecordRow& record) {
        if (WithinErrorLimit(options, record.evaluation.spread_pct)) {
          // Formatting a row while the next blocks are read makes the pass no longer.
          SurveyRow& row = rows.emplace_back(RowOf(v, record.k, record.evaluation));
          if (record.evaluation.ip) row.ip = RowChargeabilityOf(*record.evaluation.ip, options);
          if (row.Complete())
            row.text = options.format == ExportFormat::Ohm ? OhmRowValues(row) : Res2dinvRow(row, options.decay);
        } else {
          ++limited;
        }
      },
      progress);
  if (options.reciprocal_error) UseReciprocalErrorModel(rows);
  const std::string title = std::filesystem::path(v.DataFileName).stem().string();
  std::optional<Gate> span;
  if (options.ip) {
    const std::vector<Gate> gates = GatesFor(v, *options.ip);
    if (!gates.empty()) span = Gate{gates.front().t1_ms, gates.back().t2_ms};
  }
  std::optional<DecayGates> decay;
  if (options.decay) decay = DecayGatesOf(v, options);
  const DecayGates* decay_gates = decay ? &*decay : nullptr;
  FormatLines lines = options.format == ExportFormat::Ohm ? OhmLines(rows, nullptr, decay_gates)
                                                          : Res2dinvLines(rows, title, span, nullptr, decay_gates);
  for (const std::string& line : lines.lines) file.WriteLine(line);
  return {"", lines.written, lines.left_out + limited};
}

}  // namespace

std::string ExportFileName(const std::string& data_file_name, const ExportOptions& options) {
  const bool decay_table = options.decay && options.format == ExportFormat::Csv;
  const std::string beside =
      TableFileName(data_file_name, decay_table ? ".decay.csv" : ExportExtension(options.format));
  if (options.folder.empty()) return beside;
  return (std::filesystem::path(options.folder) / std::filesystem::path(beside).filename()).string();
}

ExportReport ExportSurvey(const Survey& v, const ExportOptions& asked, const RecordOptions& record,
                          const Progress& progress) {
  ExportOptions options = asked;
  const bool fit = options.decay || options.ip_error == IpError::Decay;
  if (fit && !options.ip) options.ip = IpSettings{};
  if (fit) options.ip->decay_fit = true;
  if (v.RecordCount < 1) throw InOutError::Invalid("No records to export");
  if (options.format == ExportFormat::Text && options.max_error_pct)
    throw InOutError::Invalid("The text table lists every record; an error limit does not apply to it");
  if (options.format == ExportFormat::Text && options.ip)
    throw InOutError::Invalid("The text table has no column for chargeability");
  const std::string name = ExportFileName(v.DataFileName, options);
  RefuseToReplaceMeasurementFile(v.DataFileName, name);

  if (options.ip)
    if (const std::string fault = ChargeabilityWindowFault(GatesFor(v, *options.ip), options.format); !fault.empty())
      throw InOutError::Invalid(fault);
  if (options.decay) DecayGatesOf(v, options);
  // The data error is the fit's: without four gates no record would have one.
  if (options.ip_error == IpError::Decay)
    if (const std::string fault = DecayGatesFault(GatesFor(v, *options.ip), ExportFormat::Csv); !fault.empty())
      throw InOutError::Invalid(fault);
  AtomicTextFile file(name);
  PassOptions pass;
  pass.record = record;
  pass.ip = options.ip;
  const bool table = options.format == ExportFormat::Text || options.format == ExportFormat::Csv;
  ExportReport report = options.decay && options.format == ExportFormat::Csv
                            ? WriteDecayTable(v, options, file, pass, progress)
                        : table ? WriteTable(v, options, file, pass, progress)
                                : WriteExchangeFile(v, options, file, pass, progress);
  file.Commit();
  report.file = name;
  return report;
}

std::string ExportTable(const Survey& v, ExportFormat format, const RecordOptions& record, const Progress& progress) {
  ExportOptions options{.format = format};
  return ExportSurvey(v, options, record, progress).file;
}
