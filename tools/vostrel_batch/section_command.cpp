// section: the survey view's points as a table, from a survey's check or a line's
// evaluation, written by the core as the view's menu writes it.

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "analysis/file_check.h"
#include "analysis/pseudosection.h"
#include "line/line_error.h"
#include "line/line_records.h"
#include "line/line_section.h"
#include "measurement/in_out_error.h"
#include "output/section_table.h"
#include "processing/record_evaluation.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/options.h"
#include "vostrel_batch/survey_input.h"

namespace {

struct Options {
  std::string file, out;
  bool flip_sign = false, ip = false;
  std::string gates, mains;
};

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Every record of the survey with a place, as its check gives it.
SectionTable SurveySection(const Options& o) {
  std::string told;
  OpenedSurvey opened = OpenSurveyInput(o.file, told);
  std::fputs(told.c_str(), stderr);
  const Survey& survey = *opened.survey;
  std::optional<IpSettings> ip;
  if (o.ip || !o.gates.empty() || !o.mains.empty()) {
    ip = IpSettings{};
    ip->cleaning.mains_hz = MainsFrequencies(o.mains);
    if (!o.gates.empty()) {
      // A gate beyond the survey's pause fails the survey, as it fails it in export.
      try {
        ip->gates = ParseGates(o.gates, survey.HalfPeriod, survey.SampleRate);
      } catch (const std::invalid_argument& error) {
        throw InOutError::Invalid(error.what());
      }
    }
  }
  std::vector<CheckPoint> checked;
  CheckFile(
      survey, {.flip_sign = o.flip_sign}, [&](const CheckPoint& point) { checked.push_back(point); }, {},
      ip ? &*ip : nullptr);
  return {{FileName(o.file)}, PseudosectionOf(survey, checked)};
}

// Every record of the line with a place, on the ground, with the cause that leaves it out.
SectionTable LineSectionTable(const Options& o) {
  if (o.flip_sign || !o.mains.empty())
    throw UsageError("a line's processing is its project's: --flip-sign and --mains are for a survey");
  const LineProject project = ReadLineProject(o.file);
  LineEvaluationOptions options;
  options.ip = o.ip || !o.gates.empty();
  options.gates = o.gates;
  const LineData line = EvaluateLine(o.file, project, options);
  for (const std::string& warning : line.warnings) std::fprintf(stderr, "%s\n", warning.c_str());
  SectionTable table;
  for (const LineSurvey& survey : project.surveys) table.surveys.push_back(FileName(survey.file));
  table.points = LineSectionOf(line, Evaluate(line.records, project.rules, project.excluded_by_hand).causes).points;
  std::vector<std::pair<double, double>> ground;
  for (const GroundPoint& point : GroundProfile(project, line)) ground.emplace_back(point.x, point.z);
  PlaceOnGround(table.points, ground);
  return table;
}

}  // namespace

CommandRun DeclareSection(CLI::App& app) {
  auto o = std::make_shared<Options>();
  AddArgument(app, "FILE.qmr|LINE.vln", o->file, "the survey, or a line");
  CLI::Validator table(
      [](std::string& name) {
        std::string extension = std::filesystem::path(name).extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (extension == ".qmr" || extension == ".vln")
          return "takes the table's name, not a survey's or a line's: '" + name + "'";
        return std::string();
      },
      "", "");
  AddArgument(app, "OUT.csv", o->out, "the table to write")->check(table);
  AddFlag(app, "--flip-sign", o->flip_sign, "turn the sign of dU (the window's \"Перевернуть dU\")");
  AddFlag(app, "--ip", o->ip, "every record's chargeability M too");
  AddGates(app, o->gates);
  AddMains(app, o->mains);
  return [o](const std::vector<std::string>&) {
    try {
      // A survey or a line is only ever read.
      std::error_code same;
      if (std::filesystem::equivalent(o->file, o->out, same)) {
        std::fprintf(stderr, "%s: the table would replace %s\n", o->out.c_str(), o->file.c_str());
        return 1;
      }
      const bool line = std::filesystem::path(o->file).extension() == ".vln";
      const SectionTable table = line ? LineSectionTable(*o) : SurveySection(*o);
      try {
        WriteSectionTable(o->out, table);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", o->out.c_str(), error.what());
        return 1;
      }
      std::printf("%s: %d records\n", o->out.c_str(), static_cast<int>(table.points.size()));
      return 0;
    } catch (const UsageError&) {
      throw;
    } catch (const LineFileError& error) {
      std::fprintf(stderr, "%s\n", error.what());
    } catch (const std::invalid_argument& error) {
      throw UsageError(error.what());
    } catch (const std::exception& error) {
      std::fprintf(stderr, "%s: %s\n", o->file.c_str(), error.what());
    }
    return 1;
  };
}
