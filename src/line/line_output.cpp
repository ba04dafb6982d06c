#include "line/line_output.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>

#include "formats/decay_table.h"
#include "formats/ohm_file.h"
#include "formats/res2dinv_file.h"
#include "formats/table_line.h"
#include "ip/decay_fit.h"
#include "line/line_error.h"
#include "measurement/in_out_error.h"
#include "output/atomic_text_file.h"
#include "processing/decimal_rounding.h"

namespace {

// The decimals that give four significant digits of r, enough to tell a repeat that
// agrees from one that does not; both R of a repeat are written with those of the greater.
int ResistanceDecimals(double r) {
  if (!(r > 0) || !std::isfinite(r)) return 3;
  return std::clamp(3 - static_cast<int>(std::floor(std::log10(r))), 0, 12);
}

// The rows an export writes, positions along the line: those no rule and no hand
// excludes, and of them those with a K and an R (and M, with ip) the format can carry.
struct KeptRows {
  std::vector<SurveyRow> rows;
  std::vector<RecordRef> refs;  // of each row
  int excluded = 0;
  int left_out = 0;
};

// Every gate of every kept record, a line per gate; a record whose decay has a value that
// is not a number is left out and counted.
void WriteDecayTable(LineExportReport& report, const KeptRows& kept, const LineProject& project, const LineData& line,
                     AtomicTextFile& file) {
  file.WriteLine(DecayTableHeader());
  for (size_t i = 0; i < kept.rows.size(); ++i) {
    const SurveyRow& row = kept.rows[i];
    const size_t survey = static_cast<size_t>(kept.refs[i].file);
    std::vector<std::string> lines;
    if (row.ip)
      lines =
          DecayTableLines(project.surveys[survey].file, row.k, row.positions, line.survey_gates[survey].gates, *row.ip);
    for (const std::string& text : lines) file.WriteLine(text);
    ++(lines.empty() ? report.left_out : report.written);
  }
}

// The one gate list of the unified format and the general array: the surveys' own, when
// they agree.
DecayGates LineDecayGates(const std::string& project_path, const LineData& line, ExportFormat format) {
  const DecayGates& first = line.survey_gates.front();
  for (const DecayGates& gates : line.survey_gates)
    if (gates.gates != first.gates)
      throw LineFileError(project_path, "the surveys' pauses give them different gates, and the " +
                                            ExportFormatName(format) + " file has one list: give --gates");
  const std::string fault = DecayGatesFault(first.gates, format);
  if (!fault.empty()) throw LineFileError(project_path, fault);
  return first;
}

void WriteKept(LineExportReport& report, const KeptRows& kept, const LineProject& project, const LineData& line,
               const std::vector<ElectrodeElevation>& elevations, ExportFormat format, const std::string& title,
               const std::optional<Gate>& span, const DecayGates* decay) {
  AtomicTextFile file(report.file);
  if (format == ExportFormat::Csv && decay) {
    WriteDecayTable(report, kept, project, line, file);
  } else if (format == ExportFormat::Csv) {
    const bool with_m = !kept.rows.empty() && kept.rows.front().ip.has_value();
    file.WriteLine(TableHeader(ExportFormat::Csv) +
                   (with_m ? ChargeabilityHeader(kept.rows.front().ip->gates.size()) : ""));
    for (const SurveyRow& row : kept.rows)
      file.WriteLine(CsvLine(row.positions, row.result, row.spread_pct, row.resistivity.rhoa) +
                     (row.ip ? ChargeabilityColumns(row.ip->m, row.ip->m_interval, row.ip->gates) : ""));
    report.written = static_cast<int>(kept.rows.size());
  } else {
    const FormatLines lines = format == ExportFormat::Ohm ? OhmLines(kept.rows, &elevations, decay)
                                                          : Res2dinvLines(kept.rows, title, span, &elevations, decay);
    for (const std::string& text : lines.lines) file.WriteLine(text);
    report.written = lines.written;
    report.left_out += lines.left_out;
  }
  file.Commit();
}

// M's error as the export asks for it, and the decay's gates and fit only with decay.
void ChargeabilityAsAsked(RowChargeability& ip, const LineExportOptions& options) {
  if (options.ip_error == IpError::Decay) {
    const double error = ip.fit ? ip.fit->data_error : std::nan("");
    ip.m_interval = error;
    ip.gate_intervals.assign(ip.gate_intervals.size(), error);
  }
  if (!options.decay) ip.fit.reset();
}

KeptRows Kept(const LineProject& project, const LineData& line, const LineExportOptions& options) {
  KeptRows kept;
  const Exclusions exclusions = Evaluate(line.records, project.rules, project.excluded_by_hand);
  kept.excluded = exclusions.counts.Excluded();
  const bool ip = options.ip || options.decay || options.ip_error == IpError::Decay;
  for (size_t i = 0; i < line.rows.size(); ++i) {
    if (exclusions.causes[i] != ExclusionCause::None) continue;
    SurveyRow row = line.rows[i];
    if (!ip) row.ip.reset();
    if (row.ip) ChargeabilityAsAsked(*row.ip, options);
    if (!row.Complete()) {
      ++kept.left_out;
      continue;
    }
    kept.rows.push_back(std::move(row));
    kept.refs.push_back(line.records[i].ref);
  }
  return kept;
}

}  // namespace

LineInfo LineInfoOf(const LineProject& project, const LineData& line) {
  LineInfo info;
  info.files = line.files;
  info.records = static_cast<int>(line.records.size());
  info.counts = Evaluate(line.records, project.rules, project.excluded_by_hand).counts;
  const KeptRows kept = Kept(project, line, LineExportOptions{});
  info.decay_rules = project.rules.LookAtDecayFit();
  std::set<double> electrodes;
  for (const SurveyRow& row : kept.rows)
    for (const std::optional<double>& x : {row.positions.a, row.positions.b, row.positions.m, row.positions.n})
      if (x) electrodes.insert(*x);
  info.electrodes = static_cast<int>(electrodes.size());
  info.without_k_or_r = kept.left_out;

  // Records are in the line's order: the index of a reference is found by its file's start.
  std::vector<size_t> first_of_file(static_cast<size_t>(line.files) + 1, 0);
  for (size_t i = line.records.size(); i-- > 0;) first_of_file[static_cast<size_t>(line.records[i].ref.file)] = i;
  for (const std::vector<RecordRef>& group : Repeats(line.records)) {
    LineInfo::Repeat repeat{{}, INFINITY, -INFINITY, 0};
    double sum = 0;
    for (const RecordRef& ref : group) {
      const LineRecord& record =
          line.records[first_of_file[static_cast<size_t>(ref.file)] + static_cast<size_t>(ref.record - 1)];
      repeat.records.push_back(project.surveys[static_cast<size_t>(ref.file)].file + ":" + std::to_string(ref.record));
      repeat.r_low = std::min(repeat.r_low, record.r);
      repeat.r_high = std::max(repeat.r_high, record.r);
      sum += std::fabs(record.r);
    }
    repeat.spread_pct = 100 * (repeat.r_high - repeat.r_low) / (sum / static_cast<double>(group.size()));
    info.repeats.push_back(std::move(repeat));
  }
  return info;
}

std::vector<std::string> LineInfoLines(const std::string& name, const LineInfo& info) {
  std::vector<std::string> lines;
  lines.push_back(name + ": " + std::to_string(info.files) + " files, " + std::to_string(info.records) + " records, " +
                  std::to_string(info.electrodes) + " electrodes, " + std::to_string(info.counts.Excluded()) +
                  " excluded" +
                  (info.without_k_or_r > 0 ? ", " + std::to_string(info.without_k_or_r) + " without K or R" : ""));
  for (int cause = 1; cause < ExclusionCauseCount; ++cause) {
    const int count = info.counts.by_cause[static_cast<size_t>(cause)];
    // A line without the decay's rules reports as it did before them.
    const bool decay = cause == static_cast<int>(ExclusionCause::DecayMisfit) ||
                       cause == static_cast<int>(ExclusionCause::DecayNotMonotone);
    if (decay && !info.decay_rules && count == 0) continue;
    lines.push_back(std::string(CauseName(static_cast<ExclusionCause>(cause))) + ": " + std::to_string(count));
  }
  lines.push_back("repeats: " + std::to_string(info.repeats.size()));
  for (const LineInfo::Repeat& repeat : info.repeats) {
    std::string text;
    for (const std::string& record : repeat.records) text += (text.empty() ? "" : ", ") + record;
    const int decimals = ResistanceDecimals(std::max(std::fabs(repeat.r_low), std::fabs(repeat.r_high)));
    lines.push_back(text + ": R " + ToChars(repeat.r_low, std::chars_format::fixed, decimals) + " Ω to " +
                    ToChars(repeat.r_high, std::chars_format::fixed, decimals) + " Ω, " +
                    ToChars(repeat.spread_pct, std::chars_format::fixed, 2) + " %");
  }
  return lines;
}

std::vector<std::string> LineInfoLines(const std::string& name, const LineProject& project, const LineData& line) {
  return LineInfoLines(name, LineInfoOf(project, line));
}

std::string LineExportFileName(const std::string& project_path, ExportFormat format, const std::string& out_dir,
                               bool decay) {
  const bool decay_table = decay && format == ExportFormat::Csv;
  std::filesystem::path file =
      std::filesystem::path(project_path).replace_extension(decay_table ? ".decay.csv" : ExportExtension(format));
  if (!out_dir.empty()) file = std::filesystem::path(out_dir) / file.filename();
  return file.string();
}

LineExportReport ExportLine(const std::string& project_path, const LineProject& project, const LineData& line,
                            ExportFormat format, bool ip, const std::string& out_dir) {
  return ExportLine(project_path, project, line, format, LineExportOptions{.ip = ip, .out_dir = out_dir});
}

LineExportReport ExportLine(const std::string& project_path, const LineProject& project, const LineData& line,
                            ExportFormat format, const LineExportOptions& options) {
  if (format == ExportFormat::Text) throw LineFileError(project_path, "a line exports csv, ohm or res2dinv");
  const bool ip = options.ip || options.decay || options.ip_error == IpError::Decay;
  LineExportReport report;
  report.file = LineExportFileName(project_path, format, options.out_dir, options.decay);
  for (const LineSurvey& survey : project.surveys) {
    std::error_code error;
    if (std::filesystem::equivalent(SurveyPath(project_path, survey), report.file, error))
      throw LineFileError(report.file, "the export would replace a survey of the line");
  }
  if (ip)
    for (const DecayGates& gates : line.survey_gates)
      if (const std::string fault = ChargeabilityWindowFault(gates.gates, format); !fault.empty())
        throw LineFileError(project_path, fault);
  // The data error is the fit's: without four gates no record would have one.
  if (options.ip_error == IpError::Decay)
    for (const DecayGates& gates : line.survey_gates)
      if (const std::string fault = DecayGatesFault(gates.gates, ExportFormat::Csv); !fault.empty())
        throw LineFileError(project_path, fault);
  std::optional<DecayGates> decay;
  if (options.decay && line.survey_gates.empty())
    throw LineFileError(project_path, "the line was evaluated without chargeability");
  if (options.decay) {
    decay = line.survey_gates.front();  // the long table gives each survey's own
    if (format == ExportFormat::Csv) {
      for (const DecayGates& gates : line.survey_gates) {
        const std::string fault = DecayGatesFault(gates.gates, format);
        if (!fault.empty()) throw LineFileError(project_path, fault);
      }
    } else {
      decay = LineDecayGates(project_path, line, format);
    }
  }
  KeptRows kept = Kept(project, line, options);
  report.excluded = kept.excluded;
  report.left_out = kept.left_out;
  // The rule on M judged the M of the gates the line was evaluated with.
  if (project.rules.m_range_mv_v && line.gates != project.processing.gates)
    report.notes.push_back(report.file + ": the M rule judged with the gates " + line.gates + ", not the project's " +
                           (project.processing.gates.empty() ? "standard ones" : project.processing.gates));

  // The inversion formats take the electrodes where they stand: horizontal x, and z.
  std::vector<ElectrodeElevation> elevations;
  for (const LineElectrode& electrode : line.electrodes) elevations.push_back({electrode.x, electrode.z});
  if (format != ExportFormat::Csv)
    for (SurveyRow& row : kept.rows)
      for (std::optional<double>* x : {&row.positions.a, &row.positions.b, &row.positions.m, &row.positions.n})
        if (*x) **x = line.electrodes[static_cast<size_t>(LineElectrodeAt(line.electrodes, **x))].x;

  // An empty file would load as a survey without electrodes, or not at all.
  if (kept.rows.empty())
    throw LineFileError(report.file, "no record to write: " + std::to_string(report.excluded) + " excluded, " +
                                         std::to_string(report.left_out) + " without K or R");
  try {
    WriteKept(report, kept, project, line, elevations, format, std::filesystem::path(project_path).stem().string(),
              ip ? line.chargeability_span : std::nullopt, decay ? &*decay : nullptr);
  } catch (const InOutError& error) {
    throw LineFileError(report.file, error.what());
  }
  return report;
}

LineExportReport ExportLineDecays(const std::string& project_path, const LineProject& project, const LineData& line,
                                  const std::string& out_dir) {
  return ExportLine(project_path, project, line, ExportFormat::Csv,
                    LineExportOptions{.ip = true, .decay = true, .out_dir = out_dir});
}
