// The commands that read surveys: info, record, export and check.

#include <unistd.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>

#include "geometry/apparent_resistivity.h"
#include "measurement/in_out_error.h"
#include "measurement/record_identification.h"
#include "measurement/record_loader.h"
#include "output/file_check.h"
#include "output/table_export.h"
#include "processing/format_fixed.h"
#include "processing/record_evaluation.h"
#include "processing/record_processor.h"
#include "processing/resistivity_line.h"
#include "processing/summary_line.h"
#include "vari.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"

namespace {

const std::vector<std::string> RecordFlags = {"--flip-sign", "--abs-du"};

RecordOptions OptionsOf(const Arguments& arguments) {
  return {arguments.Flag("--flip-sign"), arguments.Flag("--abs-du")};
}

// Opens a survey; what the window would show in its error box goes to standard error.
void Open(const std::string& file) {
  vari.DataFileName = file;
  for (const std::string& warning : OpenSurvey(vari).warnings)
    std::fprintf(stderr, "%s: %s\n", file.c_str(), warning.c_str());
}

// Runs body for each file; a file that fails, for whatever reason, is reported and the
// others are still done.
template <class Body>
int ForEachFile(const std::vector<std::string>& files, Body body) {
  int status = 0;
  for (const std::string& file : files) {
    try {
      body(file);
    } catch (const std::bad_alloc&) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), "Out of memory");
      status = 1;
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), error.what());
      status = 1;
    }
  }
  return status;
}

// A progress line on standard error, only when a person watches it.
Progress TerminalProgress(const std::string& file) {
  if (!isatty(fileno(stderr))) return {};
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
  return ForEachFile(arguments.Plain(), [](const std::string& file) {
    Open(file);
    std::printf(
        "file: %s\nsample_rate: %d\nhalf_period: %d\nsecond_length: %d\nperiod_count: %d\n"
        "samples_per_curve: %d\nelectrodes: %d\nrecords: %d\nblocks: %d\nwindow_len: %d\n",
        file.c_str(), vari.SampleRate, vari.HalfPeriod, vari.SecondLength, vari.PeriodCount, vari.SamplesPerCurve,
        vari.ElectrodeCount, vari.RecordCount, vari.BlockCount, vari.RecordCount > 0 ? vari.WindowLen : 0);
  });
}

int RecordCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, RecordFlags, {});
  if (arguments.Plain().size() != 2) throw UsageError("a measurement file and a record number expected");
  const std::string& file = arguments.Plain()[0];
  int32_t k = ParseInt32(arguments.Plain()[1], "the record number");
  RecordOptions options = OptionsOf(arguments);
  return ForEachFile({file}, [&](const std::string&) {
    Open(file);
    if (k < 1 || k > vari.RecordCount) {
      throw InOutError::Invalid("record " + std::to_string(k) + " is not in 1.." + std::to_string(vari.RecordCount));
    }
    RecordDrawing drawing;
    {
      DataFileSession session(vari.DataFile, vari.DataFileName);
      LoadRecordSamples(vari, k, options.flip_sign);
      ComputeRecordResult(vari, options.abs_du, &drawing);
    }
    std::printf("%s\n%s\n%s\n", RecordIdentification(vari.RecordIndex[k]).c_str(),
                SummaryLine(vari.RecordResult, drawing).c_str(),
                ResistivityLine(ResistivityOf(QuadrupoleOf(vari, vari.RecordIndex[k]), vari.RecordResult)).c_str());
  });
}

// --format txt|csv|ohm|res2dinv (--csv: the comma table), --max-error P.
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
  return options;
}

int ExportCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--abs-du", "--csv"}, {"--format", "--max-error"});
  if (arguments.Plain().empty()) throw UsageError("at least one measurement file expected");
  RecordOptions options = OptionsOf(arguments);
  ExportOptions export_options = ExportOptionsOf(arguments);
  return ForEachFile(arguments.Plain(), [&](const std::string& file) {
    auto start = std::chrono::steady_clock::now();
    Open(file);
    ExportReport report = ExportSurvey(vari, export_options, CoreEvaluator(vari, options), TerminalProgress(file));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%s: %d records", report.file.c_str(), report.written);
    if (report.left_out > 0) std::printf(", %d left out", report.left_out);
    std::printf(", %.3f s\n", took.count());
  });
}

int CheckCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, RecordFlags, {});
  if (arguments.Plain().empty()) throw UsageError("at least one measurement file expected");
  RecordOptions options = OptionsOf(arguments);
  return ForEachFile(arguments.Plain(), [&](const std::string& file) {
    Open(file);
    std::array<int, 5> counts{};
    std::string lines;
    CheckFile(
        vari, CoreEvaluator(vari, options),
        [&](const CheckPoint& point) {
          ++counts[static_cast<size_t>(point.error_class)];
          lines += std::to_string(point.record) + " " + Shortest(point.error_pct) + " " + ClassName(point.error_class) +
                   "\n";
        },
        TerminalProgress(file));
    if (arguments.Plain().size() > 1) std::printf("%s\n", file.c_str());
    std::fputs(lines.c_str(), stdout);
    std::printf("blue: %d\ngreen: %d\nyellow: %d\nred: %d\nblack: %d\n", counts[0], counts[1], counts[2], counts[3],
                counts[4]);
  });
}
