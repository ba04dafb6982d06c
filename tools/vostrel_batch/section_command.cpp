// section: the survey view's points as a table, from a survey's check or a line's
// evaluation, written by the core as the view's menu writes it.

#include <cstdio>
#include <filesystem>

#include "analysis/file_check.h"
#include "analysis/pseudosection.h"
#include "line/line_error.h"
#include "line/line_records.h"
#include "line/line_section.h"
#include "measurement/in_out_error.h"
#include "output/section_table.h"
#include "processing/record_evaluation.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"

namespace {

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Every record of the survey with a place, as its check gives it.
SectionTable SurveySection(const std::string& file, const Arguments& arguments) {
  OpenedSurvey opened = OpenSurvey(file);
  for (const std::string& warning : opened.report.warnings)
    std::fprintf(stderr, "%s: %s\n", file.c_str(), warning.c_str());
  const Survey& survey = *opened.survey;
  std::optional<IpSettings> ip;
  if (arguments.Flag("--ip") || arguments.Text("--gates") || arguments.Text("--mains")) {
    ip = IpSettings{};
    ip->cleaning.mains_hz = MainsOf(arguments);
    if (const std::string* gates = arguments.Text("--gates"))
      ip->gates = ParseGates(*gates, survey.HalfPeriod, survey.SampleRate);
  }
  std::vector<CheckPoint> checked;
  CheckFile(
      survey, {.flip_sign = arguments.Flag("--flip-sign")}, [&](const CheckPoint& point) { checked.push_back(point); },
      {}, ip ? &*ip : nullptr);
  return {{FileName(file)}, PseudosectionOf(survey, checked)};
}

// Every record of the line with a place, on the ground, with the cause that leaves it out.
SectionTable LineSectionTable(const std::string& path, const Arguments& arguments) {
  if (arguments.Flag("--flip-sign") || arguments.Text("--mains"))
    throw UsageError("a line's processing is its project's: --flip-sign and --mains are for a survey");
  const LineProject project = ReadLineProject(path);
  LineEvaluationOptions options;
  options.ip = arguments.Flag("--ip") || arguments.Text("--gates");
  if (const std::string* gates = arguments.Text("--gates")) options.gates = *gates;
  const LineData line = EvaluateLine(path, project, options);
  SectionTable table;
  for (const LineSurvey& survey : project.surveys) table.surveys.push_back(FileName(survey.file));
  table.points = LineSectionOf(line, Evaluate(line.records, project.rules, project.excluded_by_hand).causes).points;
  std::vector<std::pair<double, double>> ground;
  for (const GroundPoint& point : GroundProfile(project, line)) ground.emplace_back(point.x, point.z);
  PlaceOnGround(table.points, ground);
  return table;
}

}  // namespace

int SectionCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--ip"}, {"--gates", "--mains"});
  if (arguments.Plain().size() != 2) throw UsageError("a measurement file or a line and the table's name expected");
  const std::string& file = arguments.Plain()[0];
  const std::string& out = arguments.Plain()[1];
  try {
    const bool line = std::filesystem::path(file).extension() == ".vln";
    const SectionTable table = line ? LineSectionTable(file, arguments) : SurveySection(file, arguments);
    WriteSectionTable(out, table);
    std::printf("%s: %d records\n", out.c_str(), static_cast<int>(table.points.size()));
    return 0;
  } catch (const UsageError&) {
    throw;
  } catch (const LineFileError& error) {
    std::fprintf(stderr, "%s\n", error.what());
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.what());
  }
  return 1;
}
