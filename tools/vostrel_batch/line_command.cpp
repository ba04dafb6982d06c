// line: a survey line's project: its surveys rolled along the line, its topography and
// the records it leaves out. The surveys themselves are only ever read.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
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
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"

namespace {

double NumberOf(const std::string& text, const std::string& what) {
  double value = 0;
  if (!ParseNumber(text, value)) throw UsageError(what + " takes a number, not '" + text + "'");
  return value;
}

// FILE.qmr@OFFSET, the offset in metres; without one, 0. A file whose own name holds an
// '@' is taken whole when what follows it is no number.
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
  const int32_t record = ParseInt32(word.substr(colon + 1), "the record number of " + file);
  const int survey = SurveyOfFile(project_path, project, file);
  if (survey < 0) throw LineFileError(file, "not a survey of the line " + project_path);
  CheckRecordNumber(surveys[static_cast<size_t>(survey)], record);
  return {survey, record};
}

// A rule's limit: nullopt when not given, an empty limit for "off".
std::optional<std::optional<double>> LimitOf(const Arguments& arguments, const std::string& name) {
  const std::string* text = arguments.Text(name);
  if (!text) return std::nullopt;
  if (*text == "off") return std::optional<double>{};
  const double limit = NumberOf(*text, name);
  if (limit < 0) throw UsageError(name + " takes a limit of 0 or more, or off");
  return std::optional<double>{limit};
}

std::vector<double> AllPositions(const std::vector<IndexedSurvey>& surveys) {
  std::vector<double> positions;
  for (const IndexedSurvey& survey : surveys)
    positions.insert(positions.end(), survey.positions.begin(), survey.positions.end());
  return positions;
}

void NewLine(const Arguments& arguments) {
  const std::vector<std::string>& plain = arguments.Plain();
  if (plain.size() < 2) throw UsageError("a project and at least one survey expected");
  const std::string& path = plain[0];
  if (std::filesystem::exists(path) && !arguments.Flag("--force"))
    throw LineFileError(path, "the project exists; --force replaces it");
  LineProject project;
  project.processing.flip_sign = arguments.Flag("--flip-sign");
  project.processing.abs_du = arguments.Flag("--abs-du");
  if (const std::string* gates = arguments.Text("--gates")) project.processing.gates = *gates;
  if (const std::string* mains = arguments.Text("--mains")) {
    MainsOf(arguments);
    project.processing.mains = *mains;
  }
  for (size_t i = 1; i < plain.size(); ++i) {
    const auto [file, offset] = SurveyArgument(plain[i]);
    if (SurveyOfFile(path, project, file) >= 0) throw UsageError(file + " is given twice");
    AddLineSurvey(path, project, file, offset);
  }
  WriteLineProject(path, project);
}

void SetTopography(const Arguments& arguments) {
  if (arguments.Plain().size() != 2) throw UsageError("a project and a topography file expected");
  const std::string& path = arguments.Plain()[0];
  const std::string& topography_file = arguments.Plain()[1];
  LineProject project = ReadLineProject(path);
  SetLineTopography(path, project, Topography{ReadTopography(topography_file), arguments.Flag("--tape")},
                    topography_file);
  WriteLineProject(path, project);
}

void Exclude(const Arguments& arguments) {
  if (arguments.Plain().size() != 1) throw UsageError("one project expected");
  const std::string& path = arguments.Plain()[0];
  const std::vector<std::string> electrodes = arguments.All("--electrode");
  const std::vector<std::string> records = arguments.All("--record");
  const auto max_error = LimitOf(arguments, "--max-error");
  const auto max_reciprocal = LimitOf(arguments, "--max-reciprocal");
  const auto max_k = LimitOf(arguments, "--max-k");
  std::optional<std::optional<std::pair<double, double>>> m_range;
  if (const std::string* text = arguments.Text("--m-range")) {
    m_range.emplace();
    if (*text != "off") {
      const size_t colon = text->find(':');
      if (colon == std::string::npos) throw UsageError("--m-range takes LOW:HIGH in mV/V, or off");
      const double low = NumberOf(text->substr(0, colon), "--m-range");
      const double high = NumberOf(text->substr(colon + 1), "--m-range");
      if (low > high) throw UsageError("--m-range takes the low limit first");
      *m_range = std::pair{low, high};
    }
  }
  if (!max_error && !max_reciprocal && !max_k && !m_range && !arguments.Flag("--negative-rhoa") && electrodes.empty() &&
      records.empty())
    throw UsageError("no rule and no record given");

  LineProject project = ReadLineProject(path);
  const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
  ExclusionRules& rules = project.rules;
  if (max_error) rules.max_error_pct = *max_error;
  if (max_reciprocal) rules.max_reciprocal_pct = *max_reciprocal;
  if (max_k) rules.max_abs_k = *max_k;
  if (m_range) rules.m_range_mv_v = *m_range;
  if (arguments.Flag("--negative-rhoa")) rules.negative_rhoa = true;
  const std::vector<double> line_electrodes = MergePositions(AllPositions(surveys));
  for (const std::string& text : electrodes) {
    const double position = NumberOf(text, "--electrode");
    auto near = [&](double x) { return std::abs(x - position) <= SamePositionM; };
    if (std::none_of(line_electrodes.begin(), line_electrodes.end(), near))
      throw LineFileError(path, "no electrode of the line stands at " + text + " m");
    if (std::none_of(rules.electrodes.begin(), rules.electrodes.end(), near)) rules.electrodes.push_back(position);
  }
  for (const std::string& word : records) project.excluded_by_hand.insert(RecordArgument(word, path, project, surveys));
  WriteLineProject(path, project);
}

void Include(const Arguments& arguments) {
  if (arguments.Plain().size() != 1) throw UsageError("one project expected");
  const std::string& path = arguments.Plain()[0];
  const std::vector<std::string> records = arguments.All("--record");
  const bool all = arguments.Flag("--all-manual");
  if (records.empty() == !all) throw UsageError("either --record FILE.qmr:K... or --all-manual");
  LineProject project = ReadLineProject(path);
  const std::vector<IndexedSurvey> surveys = IndexLineSurveys(path, project);
  if (all) project.excluded_by_hand.clear();
  for (const std::string& word : records) project.excluded_by_hand.erase(RecordArgument(word, path, project, surveys));
  WriteLineProject(path, project);
}

void Info(const Arguments& arguments) {
  if (arguments.Plain().size() != 1) throw UsageError("one project expected");
  const std::string& path = arguments.Plain()[0];
  const LineProject project = ReadLineProject(path);
  for (const std::string& line : LineInfoLines(path, project, EvaluateLine(path, project)))
    std::printf("%s\n", line.c_str());
}

void Export(const Arguments& arguments) {
  if (arguments.Plain().size() != 1) throw UsageError("one project expected");
  const std::string& path = arguments.Plain()[0];
  const std::string* name = arguments.Text("--format");
  if (!name) throw UsageError("--format csv|ohm|res2dinv expected");
  const std::optional<ExportFormat> format = ExportFormatNamed(*name);
  if (!format || *format == ExportFormat::Text)
    throw UsageError("--format takes csv, ohm or res2dinv, not '" + *name + "'");
  LineEvaluationOptions options;
  options.ip = arguments.Flag("--ip") || arguments.Text("--gates");
  if (const std::string* gates = arguments.Text("--gates")) options.gates = *gates;
  const LineProject project = ReadLineProject(path);
  const LineExportReport report = ExportLine(path, project, EvaluateLine(path, project, options), *format, options.ip);
  std::printf("%s: %d records", report.file.c_str(), report.written);
  if (report.excluded > 0) std::printf(", %d excluded", report.excluded);
  if (report.left_out > 0) std::printf(", %d left out", report.left_out);
  std::printf("\n");
}

}  // namespace

int LineCommand(const std::vector<std::string>& words) {
  if (words.empty()) throw UsageError("line takes new, topo, exclude, include, info or export");
  const std::string& action = words.front();
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  std::string project = rest.empty() ? std::string() : rest.front();
  try {
    if (action == "new") {
      NewLine(Arguments(rest, {"--force", "--flip-sign", "--abs-du"}, {"--gates", "--mains"}));
    } else if (action == "topo") {
      SetTopography(Arguments(rest, {"--tape"}, {}));
    } else if (action == "exclude") {
      Exclude(Arguments(rest, {"--negative-rhoa"},
                        {"--max-error", "--max-reciprocal", "--max-k", "--m-range", "--electrode", "--record"}));
    } else if (action == "include") {
      Include(Arguments(rest, {"--all-manual"}, {"--record"}));
    } else if (action == "info") {
      Info(Arguments(rest, {}, {}));
    } else if (action == "export") {
      Export(Arguments(rest, {"--ip"}, {"--format", "--gates"}));
    } else {
      throw UsageError("line takes new, topo, exclude, include, info or export, not '" + action + "'");
    }
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
