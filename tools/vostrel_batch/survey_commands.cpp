// The commands that read surveys: info, record, export and check.

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "analysis/file_check.h"
#include "formats/decay_table.h"
#include "geometry/apparent_resistivity.h"
#include "ip/gates.h"
#include "measurement/in_out_error.h"
#include "measurement/record_identification.h"
#include "output/atomic_text_file.h"
#include "output/table_export.h"
#include "processing/record_pass.h"
#include "processing/summary_line.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"
#include "vostrel_batch/json_output.h"
#include "vostrel_batch/options.h"
#include "vostrel_batch/significant.h"
#include "vostrel_batch/survey_input.h"

namespace {

constexpr const char* SurveyHelp = "the survey";
constexpr const char* SurveysHelp = "the surveys, each done on its own";

// "1000 samples (1000 ms)", the time to the microsecond.
std::string Samples(int32_t samples, int32_t sample_rate) {
  const double ms = std::round(1e6 * samples / sample_rate) / 1000;
  std::array<char, 64> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), ms);
  return std::to_string(samples) + " samples (" + std::string(text.data(), written.ptr) + " ms)";
}

void InfoText(const std::string& file, const Survey& v, FileOutput& output) {
  output.out +=
      "file: " + file + "\nsample_rate: " + std::to_string(v.SampleRate) +
      " Hz\nhalf_period: " + Samples(v.HalfPeriod, v.SampleRate) +
      "\nsecond_length: " + Samples(v.SecondLength, v.SampleRate) + "\nperiod_count: " + std::to_string(v.PeriodCount) +
      "\nsamples_per_curve: " + Samples(v.SamplesPerCurve, v.SampleRate) +
      "\nelectrodes: " + std::to_string(v.ElectrodeCount) + "\nrecords: " + std::to_string(v.RecordCount) +
      "\nblocks: " + std::to_string(v.BlockCount) +
      "\nwindow_len: " + (v.RecordCount > 0 ? Samples(v.WindowLen, v.SampleRate) : "none (no records)") + "\n";
}

Json InfoJson(const std::string& file, const OpenedSurvey& opened) {
  const Survey& v = *opened.survey;
  auto ms = [&](int32_t samples) { return 1000.0 * samples / v.SampleRate; };
  Json info;
  info[json_key::File] = file;
  info[json_key::SampleRate] = v.SampleRate;
  info[json_key::HalfPeriodSamples] = v.HalfPeriod;
  info[json_key::HalfPeriodMs] = ms(v.HalfPeriod);
  info[json_key::SecondLengthSamples] = v.SecondLength;
  info[json_key::SecondLengthMs] = ms(v.SecondLength);
  info[json_key::PeriodCount] = v.PeriodCount;
  info[json_key::SamplesPerCurve] = v.SamplesPerCurve;
  info[json_key::ElectrodeCount] = v.ElectrodeCount;
  info[json_key::RecordCount] = v.RecordCount;
  info[json_key::BlockCount] = v.BlockCount;
  if (v.RecordCount > 0)
    info[json_key::WindowLen] = v.WindowLen;
  else
    SetNumber(info, json_key::WindowLen, NAN, "no records");
  info[json_key::Warnings] = opened.report.warnings;
  return info;
}

// The geometric factor and transfer resistance with at least five significant digits,
// and the apparent resistivity, with their units.
std::string ResistivityText(const Resistivity& resistivity) {
  return "K=" + Significant(resistivity.k, 5) + " m  R=" + Significant(resistivity.r, 5) +
         " Ω  rhoa=" + Significant(resistivity.rhoa, 5) + " Ω·m";
}

// Two inputs whose outputs would take one name: refused before anything is written.
void RefuseSharedOutputs(const std::vector<std::string>& files, const ExportOptions& options) {
  std::map<std::string, const std::string*> taken;
  for (const std::string& file : files) {
    const std::string output = ExportFileName(file, options);
    // A memory card's file system, and Windows', tell no case apart.
    std::string key = output;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto [at, added] = taken.emplace(key, &file);
    if (!added) throw UsageError(*at->second + " and " + file + " would both be written as " + output);
  }
}

// The export's output is named in a failure to write it: a folder that cannot take it,
// a table that may not be replaced, a full disk.
ExportReport ExportNamingTheOutput(const Survey& survey, const ExportOptions& options, const RecordOptions& record,
                                   const Progress& progress) {
  const std::string output = ExportFileName(survey.DataFileName, options);
  try {
    AtomicTextFile trial(output);  // removed again: only that it can be made counts
  } catch (const InOutError& error) {
    throw OtherFileError(output, error.what());
  }
  try {
    return ExportSurvey(survey, options, record, progress);
  } catch (const InOutError& error) {
    // The survey is open and read: a refusal now is the table's (a folder of its name
    // that the finished table cannot replace), as a full disk is.
    if (error.code() == InOutError::DiskFull || error.code() == InOutError::AccessDenied)
      throw OtherFileError(output, error.what());
    throw;
  }
}

const char* const ClassThresholds =
    "Classes of the error (in %): blue up to 1, green up to 5, yellow up to 15, red above 15; black when it is no "
    "number or the fixed 50 of a negative mean dU. A record without signal gets the fixed 100 (red); errors under "
    "0.1 count as 0.1.";

}  // namespace

CommandRun DeclareInfo(CLI::App& app) {
  struct Options {
    std::string file;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->file, SurveyHelp);
  AddJson(app, o->json);
  return [o](const std::vector<std::string>&) {
    return ForEachFile({o->file}, {}, [&](const std::string& file, FileOutput& output, const Progress&) {
      OpenedSurvey opened = OpenSurveyInput(file, output.err, false);
      if (o->json)
        output.out += JsonText(InfoJson(file, opened));
      else
        InfoText(file, *opened.survey, output);
    });
  };
}

CommandRun DeclareRecord(CLI::App& app) {
  struct Options {
    std::string file;
    int32_t k = 0;
    RecordOptions record;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->file, SurveyHelp);
  AddArgument(app, "K", o->k, "the record's number, from 1")->check(WholeNumber("a record number", [](int64_t k) {
    return k >= INT32_MIN && k <= INT32_MAX;
  }));
  AddRecordOptions(app, o->record);
  return [o](const std::vector<std::string>&) {
    return ForEachFile({o->file}, {}, [&](const std::string& file, FileOutput& output, const Progress&) {
      const SharedSurvey survey = OpenSurveyInput(file, output.err).survey;
      const int32_t k = o->k;
      if (k < 1 || k > survey->RecordCount)
        throw InOutError::Invalid("record " + std::to_string(k) + " is not in 1.." +
                                  std::to_string(survey->RecordCount));
      PassOptions pass;
      pass.record = o->record;
      pass.records = {k};
      pass.drawing = true;
      RecordPass(*survey, pass, [&](const RecordRow& row) {
        output.out += RecordIdentification(row.entry) + "\n" + SummaryLine(row.evaluation.result, *row.drawing) + "\n" +
                      ResistivityText(row.evaluation.resistivity) + "\n";
      });
    });
  };
}

CommandRun DeclareExport(CLI::App& app) {
  struct Options {
    std::vector<std::string> files;
    RecordOptions record;
    std::string format;
    bool csv = false;
    double max_error = 0;
    bool error_model = false;
    bool ip = false, decay = false;
    std::string gates, mains, out_dir, ip_error = "stack";
    int jobs = 1;
    bool quiet = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->files, SurveysHelp);
  AddRecordOptions(app, o->record);
  CLI::Option* format = AddChoice(app, "--format", o->format, {"txt", "csv", "ohm", "res2dinv"},
                                  "the table or exchange format (default: txt)");
  AddFlag(app, "--csv", o->csv, "the comma table, as --format csv")->excludes(format);
  CLI::Option* max_error =
      app.add_option("--max-error", o->max_error, "leave out records whose stacking error exceeds P % or is NaN")
          ->type_name("P")
          ->check(RealNumber("a percentage of 0 or more", [](double p) { return p >= 0; }));
  AddFlag(app, "--error-model", o->error_model, "err of the ohm format from the reciprocal pairs' error model");
  AddFlag(app, "--ip", o->ip, "carry the chargeability M (and the gates' M)");
  AddDecay(app, o->decay, o->ip_error);
  AddGates(app, o->gates);
  AddMains(app, o->mains);
  AddOutDir(app, o->out_dir, "write into DIR instead of beside each survey");
  AddJobs(app, o->jobs);
  AddQuiet(app, o->quiet);
  return [o, max_error](const std::vector<std::string>&) {
    ExportOptions options;
    if (o->csv) options.format = ExportFormat::Csv;
    if (!o->format.empty()) options.format = *ExportFormatNamed(o->format);
    const bool text = options.format == ExportFormat::Text;
    if (max_error->count() > 0) {
      if (text) throw UsageError("--max-error does not apply to the text table, which lists every record");
      options.max_error_pct = o->max_error;
    }
    const bool decay_error = o->ip_error == "decay";
    if (o->ip || o->decay || decay_error || !o->gates.empty() || !o->mains.empty()) {
      if (text)
        throw UsageError(
            "the text table has no column for chargeability (--ip, --decay, --ip-error, --gates, --mains)");
      options.ip = IpSettings{};
      options.ip->cleaning.mains_hz = MainsFrequencies(o->mains);
    }
    options.decay = o->decay;
    if (decay_error) options.ip_error = IpError::Decay;
    // Gates the decay's fit or the format cannot take are a mistake of the command line
    // whatever the survey: said before any file is done.
    if (!o->gates.empty()) {
      const std::vector<Gate> gates = ReadGateList(o->gates);
      std::string fault = ChargeabilityWindowFault(gates, options.format);
      if (fault.empty() && (o->decay || decay_error)) fault = DecayGatesFault(gates, options.format);
      if (!fault.empty()) throw UsageError(fault);
    }
    if (o->error_model) {
      if (options.format != ExportFormat::Ohm) throw UsageError("--error-model gives the err of the ohm format");
      options.reciprocal_error = true;
    }
    options.folder = o->out_dir;
    if (!options.folder.empty()) RefuseSharedOutputs(o->files, options);
    return ForEachFile(o->files, {o->jobs, o->quiet, "", {}},
                       [&](const std::string& file, FileOutput& output, const Progress& progress) {
                         const auto start = std::chrono::steady_clock::now();
                         const SharedSurvey survey = OpenSurveyInput(file, output.err).survey;
                         ExportOptions file_options = options;
                         // Each survey has its own pause, so the gates are checked against each.
                         if (!o->gates.empty())
                           file_options.ip->gates = ParseGates(o->gates, survey->HalfPeriod, survey->SampleRate);
                         const ExportReport report = ExportNamingTheOutput(*survey, file_options, o->record, progress);
                         const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                         output.Print("%s: %d records", report.file.c_str(), report.written);
                         if (report.left_out > 0) output.Print(", %d left out", report.left_out);
                         if (report.without_m > 0) output.Print(", %d without M", report.without_m);
                         if (!o->quiet) output.Print(", %.3f s", took.count());
                         output.out += "\n";
                       });
  };
}

CommandRun DeclareCheck(CLI::App& app) {
  struct Options {
    std::vector<std::string> files;
    RecordOptions record;
    int jobs = 1;
    bool quiet = false, json = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr", o->files, SurveysHelp);
  AddRecordOptions(app, o->record);
  AddJobs(app, o->jobs);
  AddQuiet(app, o->quiet);
  AddJson(app, o->json);
  app.footer(ClassThresholds);
  return [o](const std::vector<std::string>&) {
    const bool several = o->files.size() > 1;
    FileRun run{o->jobs, o->quiet, "", {}};
    if (o->json) {
      run.between = ",\n";
      run.failed_output = [](const std::string& file, const std::string& failure) {
        Json failed;
        failed[json_key::File] = file;
        failed[json_key::Error] = failure.substr(file.size() + 2);
        return JsonElementText(failed);
      };
      std::fputs("[\n", stdout);
    }
    const int status =
        ForEachFile(o->files, run, [&](const std::string& file, FileOutput& output, const Progress& progress) {
          OpenedSurvey opened = OpenSurveyInput(file, output.err);
          const Survey& survey = *opened.survey;
          std::array<int, 5> counts{};
          std::string lines;
          Json records = Json::array();
          CheckFile(
              survey, o->record,
              [&](const CheckPoint& point) {
                ++counts[static_cast<size_t>(point.error_class)];
                if (!o->json) {
                  lines += std::to_string(point.record) + " " + Significant(point.error_pct, 4) + " " +
                           ClassName(point.error_class) + "\n";
                  return;
                }
                const RecordIndexEntry& entry = survey.RecordIndex[static_cast<size_t>(point.record)];
                Json record;
                record[json_key::Record] = point.record;
                record[json_key::A] = entry.A;
                record[json_key::B] = entry.B;
                record[json_key::M] = entry.M;
                record[json_key::N] = entry.N;
                SetNumber(record, json_key::ErrorPct, point.error_pct, "the record's curves give no number");
                record[json_key::Class] = ClassName(point.error_class);
                records.push_back(std::move(record));
              },
              progress);
          if (o->json) {
            Json document;
            document[json_key::File] = file;
            document[json_key::Warnings] = opened.report.warnings;
            document[json_key::Records] = std::move(records);
            for (size_t c = 0; c < counts.size(); ++c)
              document[json_key::Counts][ClassName(static_cast<ErrorClass>(c))] = counts[c];
            output.out += JsonElementText(document);
            return;
          }
          if (several) output.out += file + "\n";
          output.out += lines;
          output.Print("blue: %d\ngreen: %d\nyellow: %d\nred: %d\nblack: %d\n", counts[0], counts[1], counts[2],
                       counts[3], counts[4]);
        });
    if (o->json) std::fputs("\n]\n", stdout);
    return status;
  };
}
