// line: a survey line's project: its surveys rolled along the line, its topography and
// the records it leaves out. The surveys themselves are only ever read.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "ip/gates.h"
#include "line/line_electrodes.h"
#include "line/line_error.h"
#include "line/line_output.h"
#include "line/line_project.h"
#include "line/line_records.h"
#include "line/line_survey.h"
#include "line/number_text.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"
#include "vostrel_batch/json_output.h"
#include "vostrel_batch/options.h"
#include "vostrel_batch/survey_input.h"

namespace {

constexpr const char* ProjectHelp = "the line's project";

double NumberOf(const std::string& text, const std::string& what) {
  double value = 0;
  if (!ParseNumber(text, value)) throw UsageError(what + " takes a number, not '" + text + "'");
  return value;
}

// FILE.qmr@OFFSET, the offset in metres after the last '@'; without one, 0. A file whose
// own name holds an '@' is taken whole when what follows it is no number.
std::pair<std::string, double> SurveyArgument(const std::string& word) {
  const size_t at = word.rfind('@');
  double offset = 0;
  if (at == std::string::npos || (!ParseNumber(word.substr(at + 1), offset) && std::filesystem::exists(word)))
    return {word, 0.0};
  return {word.substr(0, at), NumberOf(word.substr(at + 1), "the offset of " + word.substr(0, at))};
}

// FILE.qmr:K, resolved against the project and checked against the survey's index.
RecordRef RecordArgument(const std::string& word, const std::string& project_path, const LineProject& project,
                         const std::vector<IndexedSurvey>& surveys) {
  const size_t colon = word.rfind(':');
  if (colon == std::string::npos || colon == 0) throw UsageError("--record takes FILE.qmr:K, not '" + word + "'");
  const std::string file = word.substr(0, colon);
  const std::string number = word.substr(colon + 1);
  int32_t record = 0;
  const auto read = std::from_chars(number.data(), number.data() + number.size(), record);
  if (number.empty() || read.ec != std::errc() || read.ptr != number.data() + number.size())
    throw UsageError("--record takes FILE.qmr:K with K a record number, not '" + word + "'");
  const int survey = SurveyOfFile(project_path, project, file);
  if (survey < 0) throw LineFileError(file, "not a survey of the line " + project_path);
  CheckRecordNumber(surveys[static_cast<size_t>(survey)], record);
  return {survey, record};
}

std::vector<double> AllPositions(const std::vector<IndexedSurvey>& surveys) {
  std::vector<double> positions;
  for (const IndexedSurvey& survey : surveys)
    positions.insert(positions.end(), survey.positions.begin(), survey.positions.end());
  return positions;
}

// Runs one line command on its project: a file's failure is printed as FILE: text and
// exits 1.
int OnProject(const std::string& project, const std::function<void()>& work) {
  try {
    work();
  } catch (const UsageError&) {
    throw;
  } catch (const LineFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", project.c_str(), error.what());
    return 1;
  }
  return 0;
}

// The project named, read once it is known to be one.
LineProject ReadProject(const std::string& path) {
  CheckProjectInput(path);
  return ReadLineProject(path);
}

// Writes the project whole, with what the writing says (a survey stamped anew) on stderr.
void WriteProject(const std::string& path, LineProject& project) {
  for (const std::string& note : WriteLineProject(path, project)) std::fprintf(stderr, "%s\n", note.c_str());
}

// The survey of the line a file names; a file that is not one fails.
int SurveyNamed(const std::string& path, const LineProject& project, const std::string& file) {
  const int survey = SurveyOfFile(path, project, file);
  if (survey < 0) throw LineFileError(file, "not a survey of the line " + path);
  return survey;
}

// A word given twice among the command's files.
void RefuseTwice(const std::vector<std::string>& files) {
  for (size_t i = 0; i < files.size(); ++i)
    if (std::find(files.begin() + static_cast<long>(i) + 1, files.end(), files[i]) != files.end())
      throw UsageError(files[i] + " is given twice");
}

}  // namespace

CommandRun DeclareLineNew(CLI::App& app) {
  struct Options {
    std::string project;
    std::vector<std::string> surveys;
    bool force = false;
    RecordOptions record;
    std::string gates, mains;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, "the project to write");
  AddArgument(app, "FILE.qmr[@OFFSET]", o->surveys, "the surveys, each with its offset along the line in metres");
  AddFlag(app, "--force", o->force, "replace the project when it exists");
  AddRecordOptions(app, o->record);
  AddGates(app, o->gates);
  AddMains(app, o->mains);
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      std::error_code error;
      if (std::filesystem::exists(path, error)) {
        CheckProjectInput(path);  // a survey is never replaced by a project
        if (!o->force) throw LineFileError(path, "the project exists; --force replaces it");
      }
      LineProject project;
      project.processing.flip_sign = o->record.flip_sign;
      project.processing.abs_du = o->record.abs_du;
      project.processing.gates = o->gates;
      project.processing.mains = o->mains;
      for (const std::string& word : o->surveys) {
        const auto [file, offset] = SurveyArgument(word);
        if (SurveyOfFile(path, project, file) >= 0) throw UsageError(file + " is given twice");
        for (const std::string& warning : AddLineSurvey(path, project, file, offset))
          std::fprintf(stderr, "%s\n", warning.c_str());
      }
      WriteProject(path, project);
    });
  };
}

CommandRun DeclareLineAdd(CLI::App& app) {
  struct Options {
    std::string project;
    std::vector<std::string> surveys;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddArgument(app, "FILE.qmr[@OFFSET]", o->surveys,
              "the surveys added at the line's end, each with its offset in metres");
  return [o](const std::vector<std::string>&) {
    std::vector<std::pair<std::string, double>> surveys;
    std::vector<std::string> files;
    for (const std::string& word : o->surveys) {
      surveys.push_back(SurveyArgument(word));
      files.push_back(surveys.back().first);
    }
    RefuseTwice(files);
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      for (const auto& [file, offset] : surveys) {
        if (SurveyOfFile(path, project, file) >= 0) throw LineFileError(file, "already a survey of the line " + path);
        for (const std::string& warning : AddLineSurvey(path, project, file, offset))
          std::fprintf(stderr, "%s\n", warning.c_str());
      }
      WriteProject(path, project);
    });
  };
}

CommandRun DeclareLineRemove(CLI::App& app) {
  struct Options {
    std::string project;
    std::vector<std::string> surveys;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddArgument(app, "FILE.qmr", o->surveys, "the surveys taken out, with their records excluded by hand");
  return [o](const std::vector<std::string>&) {
    RefuseTwice(o->surveys);
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      for (const std::string& file : o->surveys) {
        const int survey = SurveyNamed(path, project, file);
        try {
          RemoveLineSurvey(project, survey);
        } catch (const std::invalid_argument& error) {
          throw LineFileError(path, error.what());
        }
      }
      WriteProject(path, project);
    });
  };
}

CommandRun DeclareLineOffset(CLI::App& app) {
  struct Options {
    std::string project, survey;
    double offset = 0;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddArgument(app, "FILE.qmr", o->survey, "the survey moved");
  AddArgument(app, "OFFSET", o->offset, "its new offset along the line in metres")
      ->check(RealNumber("an offset in metres"));
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      SetLineOffset(path, project, SurveyNamed(path, project, o->survey), o->offset);
      WriteProject(path, project);
    });
  };
}

CommandRun DeclareLineTopo(CLI::App& app) {
  struct Options {
    std::string project, topography;
    bool tape = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddArgument(app, "TOPO.txt", o->topography, "one x z a line, in metres, x increasing");
  AddFlag(app, "--tape", o->tape, "the electrodes' positions are distances along the ground");
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      LineProject project = ReadProject(o->project);
      SetLineTopography(o->project, project, Topography{ReadTopography(o->topography), o->tape}, o->topography);
      WriteProject(o->project, project);
    });
  };
}

CommandRun DeclareLineExclude(CLI::App& app) {
  struct Options {
    std::string project;
    // Each rule's value as the project's key takes it ("5", "-5:200", "yes", "off").
    std::vector<std::pair<std::string, std::string>> rules;
    std::vector<std::string> electrodes, records;
  };
  auto o = std::make_shared<Options>();
  // A rule's option, read as the project reads its key: the help says what it takes.
  auto rule = [&](const std::string& key, const std::string& type, const std::string& help) {
    return app
        .add_option_function<std::string>(
            "--" + key,
            // Given alone (--negative-rhoa), the rule is on.
            [o, key](const std::string& value) { o->rules.emplace_back(key, value.empty() ? "yes" : value); }, help)
        ->type_name(type + "|off")
        ->check(CLI::Validator(
            [key](std::string& text) {
              try {
                ExclusionRules rules;
                SetRule(rules, key, text);
                return std::string();
              } catch (const std::invalid_argument& error) {
                const std::string what = error.what();
                return what.rfind(key + " ", 0) == 0 ? what.substr(key.size() + 1) : what;
              }
            },
            "", ""));
  };
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  rule("max-error", "P", "leave out a stacking error above P % (off: no limit)");
  rule("max-reciprocal", "P", "leave out a reciprocal error above P % (off: no limit)");
  rule("negative-rhoa", "yes|no", "leave out a negative apparent resistivity (alone: yes; no or off: keep it)")
      ->expected(0, 1);
  rule("max-k", "K", "leave out |K| above K metres (off: no limit)");
  rule("m-range", "LOW:HIGH", "leave out M outside LOW..HIGH mV/V (off: no limit)");
  app.add_option("--electrode", o->electrodes, "leave out every record using the electrode at X m (repeatable)")
      ->type_name("X")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(RealNumber("a position in metres"));
  app.add_option("--record", o->records, "leave out this record by hand (repeatable)")
      ->type_name("FILE.qmr:K")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  return [o](const std::vector<std::string>&) {
    if (o->rules.empty() && o->electrodes.empty() && o->records.empty())
      throw UsageError("no rule and no record given");
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
      for (const auto& [key, value] : o->rules) SetRule(project.rules, key, value);
      ExclusionRules& rules = project.rules;
      const std::vector<double> line_electrodes = MergePositions(AllPositions(surveys));
      for (const std::string& text : o->electrodes) {
        const double position = NumberOf(text, "--electrode");
        auto near = [&](double x) { return std::abs(x - position) <= SamePositionM; };
        if (std::none_of(line_electrodes.begin(), line_electrodes.end(), near))
          throw LineFileError(path, "no electrode of the line stands at " + text + " m");
        if (std::none_of(rules.electrodes.begin(), rules.electrodes.end(), near)) rules.electrodes.push_back(position);
      }
      for (const std::string& word : o->records)
        project.excluded_by_hand.insert(RecordArgument(word, path, project, surveys));
      WriteProject(path, project);
    });
  };
}

CommandRun DeclareLineInclude(CLI::App& app) {
  struct Options {
    std::string project;
    std::vector<std::string> records;
    bool all = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  CLI::Option* record = app.add_option("--record", o->records, "take this record back (repeatable)")
                            ->type_name("FILE.qmr:K")
                            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  AddFlag(app, "--all-manual", o->all, "take back every record excluded by hand")->excludes(record);
  return [o](const std::vector<std::string>&) {
    if (o->records.empty() && !o->all) throw UsageError("either --record FILE.qmr:K... or --all-manual");
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
      if (o->all) project.excluded_by_hand.clear();
      for (const std::string& word : o->records)
        project.excluded_by_hand.erase(RecordArgument(word, path, project, surveys));
      WriteProject(path, project);
    });
  };
}

namespace {

// The cause's name as a JSON key: "by_hand", "k", "negative_rhoa", ...
std::string CauseKey(ExclusionCause cause) {
  switch (cause) {
    case ExclusionCause::None: return "none";
    case ExclusionCause::ByHand: return "by_hand";
    case ExclusionCause::Electrode: return "electrode";
    case ExclusionCause::GeometricFactor: return "k";
    case ExclusionCause::NegativeRhoa: return "negative_rhoa";
    case ExclusionCause::StackingError: return "stacking_error";
    case ExclusionCause::ReciprocalError: return "reciprocal_error";
    case ExclusionCause::Chargeability: return "chargeability";
  }
  return "none";
}

Json LineInfoJson(const std::string& path, const LineInfo& info) {
  Json document;
  document[json_key::Project] = path;
  document[json_key::FileCount] = info.files;
  document[json_key::RecordCount] = info.records;
  document[json_key::ElectrodeCount] = info.electrodes;
  document[json_key::Excluded] = info.counts.Excluded();
  for (int cause = 1; cause < ExclusionCauseCount; ++cause)
    document[json_key::Causes][CauseKey(static_cast<ExclusionCause>(cause))] =
        info.counts.by_cause[static_cast<size_t>(cause)];
  document[json_key::Repeats] = Json::array();
  for (const LineInfo::Repeat& repeat : info.repeats) {
    Json item;
    item[json_key::Records] = repeat.records;
    SetNumber(item, json_key::RLow, repeat.r_low, "no R");
    SetNumber(item, json_key::RHigh, repeat.r_high, "no R");
    SetNumber(item, json_key::Spread, repeat.spread_pct, "no R");
    document[json_key::Repeats].push_back(std::move(item));
  }
  return document;
}

}  // namespace

CommandRun DeclareLineInfo(CLI::App& app) {
  struct Options {
    std::string project;
    bool quiet = false, json = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddQuiet(app, o->quiet);
  AddJson(app, o->json);
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      const LineProject project = ReadProject(path);
      LineEvaluationOptions options;
      options.progress = TerminalProgress(path, o->quiet);
      const LineData line = EvaluateLine(path, project, options);
      const LineInfo info = LineInfoOf(project, line);
      if (o->json) {
        Json document = LineInfoJson(path, info);
        document[json_key::Warnings] = line.warnings;
        std::fputs(JsonText(document).c_str(), stdout);
        return;
      }
      for (const std::string& warning : line.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
      for (const std::string& line : LineInfoLines(path, info)) std::printf("%s\n", line.c_str());
    });
  };
}

CommandRun DeclareLineExport(CLI::App& app) {
  struct Options {
    std::string project, format, gates, ip_error = "stack", out_dir;
    bool ip = false, decay = false, quiet = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddChoice(app, "--format", o->format, {"csv", "ohm", "res2dinv"}, "the exchange format")->required();
  AddFlag(app, "--ip", o->ip, "carry the chargeability M (implied by --gates)");
  AddDecay(app, o->decay, o->ip_error);
  AddGates(app, o->gates);
  AddOutDir(app, o->out_dir, "write into DIR instead of beside the project");
  AddQuiet(app, o->quiet);
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineExportOptions exported;
      exported.ip = o->ip || !o->gates.empty();
      exported.decay = o->decay;
      exported.ip_error = o->ip_error == "decay" ? IpError::Decay : IpError::Stack;
      exported.out_dir = o->out_dir;
      LineEvaluationOptions options;
      options.ip = exported.ip || exported.decay;
      options.decay_fit = exported.decay || exported.ip_error == IpError::Decay;
      options.gates = o->gates;
      options.progress = TerminalProgress(path, o->quiet);
      const LineProject project = ReadProject(path);
      const LineData line = EvaluateLine(path, project, options);
      for (const std::string& warning : line.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
      const LineExportReport report = ExportLine(path, project, line, *ExportFormatNamed(o->format), exported);
      for (const std::string& note : report.notes) std::fprintf(stderr, "%s\n", note.c_str());
      std::printf("%s: %d records", report.file.c_str(), report.written);
      if (report.excluded > 0) std::printf(", %d excluded", report.excluded);
      if (report.left_out > 0) std::printf(", %d left out", report.left_out);
      std::printf("\n");
    });
  };
}
