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

// A rule's limit: a number of 0 or more, or "off".
CLI::Option* AddLimit(CLI::App& app, const std::string& name, std::string& value, const std::string& type,
                      const std::string& help) {
  CLI::Validator limit(
      [](std::string& text) {
        double number = 0;
        if (text == "off" || (ParseNumber(text, number) && number >= 0)) return std::string();
        return "takes a limit of 0 or more, or off, not '" + text + "'";
      },
      "", "");
  return app.add_option(name, value, help + " (off: no limit)")->type_name(type + "|off")->check(limit);
}

// nullopt when not given, an empty limit for "off".
std::optional<std::optional<double>> LimitOf(const std::string& text) {
  if (text.empty()) return std::nullopt;
  if (text == "off") return std::optional<double>{};
  double limit = 0;
  ParseNumber(text, limit);
  return std::optional<double>{limit};
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
        AddLineSurvey(path, project, file, offset);
      }
      WriteLineProject(path, project);
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
      WriteLineProject(o->project, project);
    });
  };
}

CommandRun DeclareLineExclude(CLI::App& app) {
  struct Options {
    std::string project;
    std::string max_error, max_reciprocal, max_k, m_range, max_decay_misfit;
    bool negative_rhoa = false, decay_not_monotone = false;
    std::vector<std::string> electrodes, records;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddLimit(app, "--max-error", o->max_error, "P", "leave out a stacking error above P %");
  AddLimit(app, "--max-reciprocal", o->max_reciprocal, "P", "leave out a reciprocal error above P %");
  AddFlag(app, "--negative-rhoa", o->negative_rhoa, "leave out a negative apparent resistivity");
  AddLimit(app, "--max-k", o->max_k, "K", "leave out |K| above K metres");
  CLI::Validator range(
      [](std::string& text) {
        const size_t colon = text.find(':');
        double low = 0, high = 0;
        if (text == "off" || (colon != std::string::npos && ParseNumber(text.substr(0, colon), low) &&
                              ParseNumber(text.substr(colon + 1), high) && low <= high))
          return std::string();
        return "takes LOW:HIGH in mV/V with LOW first, or off, not '" + text + "'";
      },
      "", "");
  app.add_option("--m-range", o->m_range, "leave out M outside LOW..HIGH mV/V (off: no limit)")
      ->type_name("LOW:HIGH|off")
      ->check(range);
  AddLimit(app, "--max-decay-misfit", o->max_decay_misfit, "X",
           "leave out a decay whose Cole-Cole fit has a chi-square per gate above X");
  AddFlag(app, "--decay-not-monotone", o->decay_not_monotone, "leave out a decay that is not monotone");
  app.add_option("--electrode", o->electrodes, "leave out every record using the electrode at X m (repeatable)")
      ->type_name("X")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(RealNumber("a position in metres"));
  app.add_option("--record", o->records, "leave out this record by hand (repeatable)")
      ->type_name("FILE.qmr:K")
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  return [o](const std::vector<std::string>&) {
    const auto max_error = LimitOf(o->max_error), max_reciprocal = LimitOf(o->max_reciprocal),
               max_k = LimitOf(o->max_k), max_decay_misfit = LimitOf(o->max_decay_misfit);
    if (!max_error && !max_reciprocal && !max_k && o->m_range.empty() && !o->negative_rhoa && o->electrodes.empty() &&
        o->records.empty() && !max_decay_misfit && !o->decay_not_monotone)
      throw UsageError("no rule and no record given");
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineProject project = ReadProject(path);
      const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
      ExclusionRules& rules = project.rules;
      if (max_error) rules.max_error_pct = *max_error;
      if (max_reciprocal) rules.max_reciprocal_pct = *max_reciprocal;
      if (max_k) rules.max_abs_k = *max_k;
      if (o->m_range == "off") {
        rules.m_range_mv_v.reset();
      } else if (!o->m_range.empty()) {
        const size_t colon = o->m_range.find(':');
        rules.m_range_mv_v =
            std::pair{NumberOf(o->m_range.substr(0, colon), "--m-range"), NumberOf(o->m_range.substr(colon + 1), "")};
      }
      if (o->negative_rhoa) rules.negative_rhoa = true;
      if (max_decay_misfit) rules.max_decay_misfit = *max_decay_misfit;
      if (o->decay_not_monotone) rules.decay_not_monotone = true;
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
      WriteLineProject(path, project);
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
      WriteLineProject(path, project);
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
    case ExclusionCause::DecayMisfit: return "decay_misfit";
    case ExclusionCause::DecayNotMonotone: return "decay_not_monotone";
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
      const LineInfo info = LineInfoOf(project, EvaluateLine(path, project, options));
      if (o->json) {
        std::fputs(JsonText(LineInfoJson(path, info)).c_str(), stdout);
        return;
      }
      for (const std::string& line : LineInfoLines(path, info)) std::printf("%s\n", line.c_str());
    });
  };
}

CommandRun DeclareLineExport(CLI::App& app) {
  struct Options {
    std::string project, format, gates;
    bool ip = false, quiet = false;
  };
  auto o = std::make_shared<Options>();
  AddArgument(app, "LINE.vln", o->project, ProjectHelp);
  AddChoice(app, "--format", o->format, {"csv", "ohm", "res2dinv"}, "the exchange format")->required();
  AddFlag(app, "--ip", o->ip, "carry the chargeability M (implied by --gates)");
  AddGates(app, o->gates);
  AddQuiet(app, o->quiet);
  return [o](const std::vector<std::string>&) {
    return OnProject(o->project, [&] {
      const std::string& path = o->project;
      LineEvaluationOptions options;
      options.ip = o->ip || !o->gates.empty();
      options.gates = o->gates;
      options.progress = TerminalProgress(path, o->quiet);
      const LineProject project = ReadProject(path);
      const LineExportReport report =
          ExportLine(path, project, EvaluateLine(path, project, options), *ExportFormatNamed(o->format), options.ip);
      std::printf("%s: %d records", report.file.c_str(), report.written);
      if (report.excluded > 0) std::printf(", %d excluded", report.excluded);
      if (report.left_out > 0) std::printf(", %d left out", report.left_out);
      std::printf("\n");
    });
  };
}
