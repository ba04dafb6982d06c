// The commands that read surveys: info, record, export and check.

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>

#include "analysis/file_check.h"
#include "geometry/apparent_resistivity.h"
#include "measurement/in_out_error.h"
#include "measurement/record_identification.h"
#include "output/table_export.h"
#include "platform/file_system.h"
#include "processing/format_fixed.h"
#include "processing/record_pass.h"
#include "processing/record_processor.h"
#include "processing/resistivity_line.h"
#include "processing/summary_line.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"

namespace {

const std::vector<std::string> RecordFlags = {"--flip-sign", "--abs-du"};

RecordOptions OptionsOf(const Arguments& arguments) {
  return {arguments.Flag("--flip-sign"), arguments.Flag("--abs-du")};
}

// Opens a survey; what the window would show in its error box goes to standard error.
SharedSurvey Open(const std::string& file, FileOutput& output) {
  OpenedSurvey opened = OpenSurvey(file);
  for (const std::string& warning : opened.report.warnings) output.err += file + ": " + warning + "\n";
  return opened.survey;
}

// -j N: files done at once; a progress line only for one file at a time.
int JobsOf(const Arguments& arguments) {
  int64_t jobs = arguments.Integer("-j", DefaultJobs());
  if (jobs < 1 || jobs > 256) throw UsageError("-j takes a number of files from 1 to 256");
  return static_cast<int>(jobs);
}

// A progress line on standard error, only when a person watches one file at a time.
Progress TerminalProgress(const std::string& file, int jobs) {
  if (jobs > 1 || !platform::StandardErrorIsTerminal()) return {};
  return [file, last = -1](int done, int total) mutable {
    int percent = static_cast<int>(int64_t{done} * 100 / total);
    if (percent == last) return;
    last = percent;
    std::fprintf(stderr, "\r%s: %3d%%%s", file.c_str(), percent, done == total ? "\r\033[K" : "");
    std::fflush(stderr);
  };
}

// The shortest text that reads back as value; "nan" for every NaN, whatever its sign bit.
std::string Shortest(double value) {
  if (std::isnan(value)) return "nan";
  std::array<char, 64> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

}  // namespace

int InfoCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {}, {});
  if (arguments.Plain().size() != 1) throw UsageError("one measurement file expected");
  return ForEachFile(arguments.Plain(), 1, [](const std::string& file, FileOutput& output) {
    const SharedSurvey survey = Open(file, output);
    const Survey& v = *survey;
    output.Print(
        "file: %s\nsample_rate: %d\nhalf_period: %d\nsecond_length: %d\nperiod_count: %d\n"
        "samples_per_curve: %d\nelectrodes: %d\nrecords: %d\nblocks: %d\nwindow_len: %d\n",
        file.c_str(), v.SampleRate, v.HalfPeriod, v.SecondLength, v.PeriodCount, v.SamplesPerCurve, v.ElectrodeCount,
        v.RecordCount, v.BlockCount, v.RecordCount > 0 ? v.WindowLen : 0);
  });
}

int RecordCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, RecordFlags, {});
  if (arguments.Plain().size() != 2) throw UsageError("a measurement file and a record number expected");
  const std::string& file = arguments.Plain()[0];
  int32_t k = ParseInt32(arguments.Plain()[1], "the record number");
  RecordOptions options = OptionsOf(arguments);
  return ForEachFile({file}, 1, [&](const std::string&, FileOutput& output) {
    const SharedSurvey survey = Open(file, output);
    if (k < 1 || k > survey->RecordCount) {
      throw InOutError::Invalid("record " + std::to_string(k) + " is not in 1.." + std::to_string(survey->RecordCount));
    }
    PassOptions pass;
    pass.record = options;
    pass.records = {k};
    pass.drawing = true;
    RecordPass(*survey, pass, [&](const RecordRow& row) {
      output.out += RecordIdentification(row.entry) + "\n" + SummaryLine(row.evaluation.result, *row.drawing) + "\n" +
                    ResistivityLine(row.evaluation.resistivity) + "\n";
    });
  });
}

// --format txt|csv|ohm|res2dinv (--csv: the comma table), --max-error P, --ip
// (implied by --gates and --mains), --out-dir DIR.
ExportOptions ExportOptionsOf(const Arguments& arguments) {
  ExportOptions options;
  if (arguments.Flag("--csv")) options.format = ExportFormat::Csv;
  if (const std::string* name = arguments.Text("--format")) {
    auto format = ExportFormatNamed(*name);
    if (!format) throw UsageError("--format takes txt, csv, ohm or res2dinv, not '" + *name + "'");
    options.format = *format;
  }
  if (arguments.Text("--max-error")) {
    if (options.format == ExportFormat::Text) throw UsageError("--max-error does not apply to the text table");
    options.max_error_pct = arguments.Number("--max-error", 0);
  }
  if (arguments.Flag("--ip") || arguments.Text("--gates") || arguments.Text("--mains")) {
    if (options.format == ExportFormat::Text) throw UsageError("the text table has no column for chargeability");
    options.ip = IpSettings{};
    options.ip->cleaning.mains_hz = MainsOf(arguments);
  }
  if (arguments.Flag("--error-model")) {
    if (options.format != ExportFormat::Ohm) throw UsageError("--error-model gives the err of the ohm format");
    options.reciprocal_error = true;
  }
  if (const std::string* folder = arguments.Text("--out-dir")) {
    std::error_code error;
    if (!std::filesystem::is_directory(*folder, error)) throw UsageError("--out-dir: no folder '" + *folder + "'");
    options.folder = *folder;
  }
  return options;
}

int ExportCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--abs-du", "--csv", "--error-model", "--ip"},
                      {"--format", "--max-error", "-j", "--gates", "--mains", "--out-dir"});
  if (arguments.Plain().empty()) throw UsageError("at least one measurement file expected");
  RecordOptions options = OptionsOf(arguments);
  ExportOptions export_options = ExportOptionsOf(arguments);
  const int jobs = JobsOf(arguments);
  return ForEachFile(arguments.Plain(), jobs, [&](const std::string& file, FileOutput& output) {
    auto start = std::chrono::steady_clock::now();
    const SharedSurvey survey = Open(file, output);
    const Survey& v = *survey;
    ExportOptions file_options = export_options;
    // Each survey has its own pause, so the gates are checked against each.
    if (const std::string* gates = arguments.Text("--gates"))
      file_options.ip->gates = ParseGates(*gates, v.HalfPeriod, v.SampleRate);
    ExportReport report = ExportSurvey(v, file_options, options, TerminalProgress(file, jobs));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    output.Print("%s: %d records", report.file.c_str(), report.written);
    if (report.left_out > 0) output.Print(", %d left out", report.left_out);
    if (report.without_m > 0) output.Print(", %d without M", report.without_m);
    output.Print(", %.3f s\n", took.count());
  });
}

int CheckCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, RecordFlags, {"-j"});
  if (arguments.Plain().empty()) throw UsageError("at least one measurement file expected");
  RecordOptions options = OptionsOf(arguments);
  const int jobs = JobsOf(arguments);
  const bool several = arguments.Plain().size() > 1;
  return ForEachFile(arguments.Plain(), jobs, [&](const std::string& file, FileOutput& output) {
    const SharedSurvey survey = Open(file, output);
    std::array<int, 5> counts{};
    std::string lines;
    CheckFile(
        *survey, options,
        [&](const CheckPoint& point) {
          ++counts[static_cast<size_t>(point.error_class)];
          lines += std::to_string(point.record) + " " + Shortest(point.error_pct) + " " + ClassName(point.error_class) +
                   "\n";
        },
        TerminalProgress(file, jobs));
    if (several) output.out += file + "\n";
    output.out += lines;
    output.Print("blue: %d\ngreen: %d\nyellow: %d\nred: %d\nblack: %d\n", counts[0], counts[1], counts[2], counts[3],
                 counts[4]);
  });
}
