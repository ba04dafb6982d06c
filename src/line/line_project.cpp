#include "line/line_project.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "line/line_error.h"
#include "line/number_text.h"
#include "line/text_file.h"
#include "output/atomic_text_file.h"

namespace fs = std::filesystem;

namespace {

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

enum class Section { Top, Survey, Topography, Exclusion, Processing, View };

// A hand-excluded record as written, resolved against the surveys once all are read.
struct PendingRecord {
  int line;
  std::string file;
  int32_t record;
};

class ProjectParser {
 public:
  explicit ProjectParser(const std::string& name) : name_(name) {}

  LineProject Parse(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      ++line_;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      line = Trimmed(line);
      if (line.empty() || line.front() == '#') continue;
      if (line.front() == '[') {
        OpenSection(line);
        continue;
      }
      const size_t equals = line.find('=');
      if (equals == std::string::npos) Fail("'" + line + "' is not 'key = value'");
      Take(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)));
    }
    Finish();
    return project_;
  }

 private:
  [[noreturn]] void Fail(const std::string& text) const { FailAt(line_, text); }
  [[noreturn]] void FailAt(int line, const std::string& text) const { throw LineFileError(name_, line, text); }

  void OpenSection(const std::string& line) {
    CloseSurvey();
    if (!version_) Fail("the project begins with 'format = " + std::to_string(LineFormatVersion) + "'");
    if (line == "[survey]") {
      section_ = Section::Survey;
      project_.surveys.emplace_back();
      survey_line_ = line_;
      survey_keys_.clear();
    } else if (line == "[topography]") {
      section_ = Section::Topography;
    } else if (line == "[exclusion]") {
      section_ = Section::Exclusion;
    } else if (line == "[processing]") {
      section_ = Section::Processing;
    } else if (line == "[view]") {
      section_ = Section::View;
    } else {
      Fail("unknown section " + line);
    }
  }

  void Take(const std::string& key, const std::string& value) {
    switch (section_) {
      case Section::Top: return TakeTop(key, value);
      case Section::Survey: return TakeSurvey(key, value);
      case Section::Topography: return TakeTopography(key, value);
      case Section::Exclusion: return TakeExclusion(key, value);
      case Section::Processing: return TakeProcessing(key, value);
      case Section::View: return TakeView(key, value);
    }
  }

  void TakeTop(const std::string& key, const std::string& value) {
    if (key != "format") Unknown(key);
    int version = 0;
    auto result = std::from_chars(value.data(), value.data() + value.size(), version);
    if (result.ec != std::errc() || result.ptr != value.data() + value.size() || version < 1)
      Fail("format takes a version number, not '" + value + "'");
    if (version > LineFormatVersion)
      Fail("format " + value + " is newer than this program reads (" + std::to_string(LineFormatVersion) + ")");
    version_ = version;
  }

  void TakeSurvey(const std::string& key, const std::string& value) {
    LineSurvey& survey = project_.surveys.back();
    if (key == "file") {
      if (value.empty()) Fail("file takes the survey's path");
      for (size_t i = 0; i + 1 < project_.surveys.size(); ++i)
        if (project_.surveys[i].file == value) Fail(value + " is in the line twice");
      survey.file = value;
    } else if (key == "offset") {
      survey.offset_m = Number(key, value);
    } else if (key == "size") {
      auto result = std::from_chars(value.data(), value.data() + value.size(), survey.stamp.size);
      if (result.ec != std::errc() || result.ptr != value.data() + value.size() || survey.stamp.size < 0)
        Fail("size takes a number of bytes, not '" + value + "'");
    } else if (key == "header") {
      if (!ParseHash(value, survey.stamp.header_hash)) Fail("header takes 16 hexadecimal digits, not '" + value + "'");
    } else {
      Unknown(key);
    }
    survey_keys_.insert(key);
  }

  void TakeTopography(const std::string& key, const std::string& value) {
    Topography& topography = project_.topography;
    if (key == "tape") {
      topography.tape = YesOrNo(key, value);
    } else if (key == "point") {
      const auto [x, z] = TwoNumbers(key, value);
      try {
        AddTopographyPoint(topography.points, {x, z});
      } catch (const std::invalid_argument& error) {
        Fail(error.what());
      }
      last_point_line_ = line_;
    } else {
      Unknown(key);
    }
  }

  void TakeExclusion(const std::string& key, const std::string& value) {
    ExclusionRules& rules = project_.rules;
    // A negative limit would leave out every record.
    auto limit = [&] {
      const double number = Number(key, value);
      if (number < 0) Fail(key + " takes a limit of 0 or more");
      return number;
    };
    if (key == "max-error") {
      rules.max_error_pct = limit();
    } else if (key == "max-reciprocal") {
      rules.max_reciprocal_pct = limit();
    } else if (key == "negative-rhoa") {
      rules.negative_rhoa = YesOrNo(key, value);
    } else if (key == "max-k") {
      rules.max_abs_k = limit();
    } else if (key == "m-range") {
      const auto range = TwoNumbers(key, value);
      if (range.first > range.second) Fail("m-range takes the low limit first");
      rules.m_range_mv_v = range;
    } else if (key == "electrode") {
      rules.electrodes.push_back(Number(key, value));
    } else if (key == "record") {
      const size_t colon = value.rfind(':');
      int32_t record = 0;
      const char* end = value.data() + value.size();
      if (colon == std::string::npos || colon == 0 ||
          std::from_chars(value.data() + colon + 1, end, record).ptr != end || record < 1 || colon + 1 == value.size())
        Fail("record takes FILE:K, not '" + value + "'");
      pending_.push_back({line_, value.substr(0, colon), record});
    } else {
      Unknown(key);
    }
  }

  void TakeProcessing(const std::string& key, const std::string& value) {
    LineProcessing& processing = project_.processing;
    if (key == "flip-sign") {
      processing.flip_sign = YesOrNo(key, value);
    } else if (key == "abs-du") {
      processing.abs_du = YesOrNo(key, value);
    } else if (key == "gates") {
      processing.gates = value;
    } else if (key == "mains") {
      processing.mains = value;
    } else {
      Unknown(key);
    }
  }

  void TakeView(const std::string& key, const std::string& value) {
    const size_t suffix = key.rfind("-scale");
    const std::string quantity = suffix == std::string::npos ? "" : key.substr(0, suffix);
    if (suffix + 6 != key.size() || std::ranges::find(ColourScaleQuantities, quantity, [](const char* q) {
                                      return std::string(q);
                                    }) == std::end(ColourScaleQuantities))
      Unknown(key);
    std::istringstream words(value);
    std::string low, high, kind, more;
    FixedColourScale scale;
    if (!(words >> low >> high >> kind) || (words >> more) || !ParseNumber(low, scale.low) ||
        !ParseNumber(high, scale.high) || (kind != "log" && kind != "linear"))
      Fail(key + " takes the low and high limits and log or linear, not '" + value + "'");
    scale.logarithmic = kind == "log";
    if (!(scale.low < scale.high)) Fail(key + " takes the low limit first");
    if (scale.logarithmic && scale.low <= 0) Fail(key + " on a log scale takes limits above 0");
    project_.colour_scales[quantity] = scale;
  }

  void CloseSurvey() {
    if (section_ != Section::Survey) return;
    for (const char* key : {"file", "size", "header"})
      if (!survey_keys_.contains(key)) FailAt(survey_line_, std::string("the survey has no ") + key);
  }

  void Finish() {
    if (!version_) Fail("the project begins with 'format = " + std::to_string(LineFormatVersion) + "'");
    CloseSurvey();
    if (project_.topography.points.size() == 1) FailAt(last_point_line_, "a topography needs at least two points");
    for (const PendingRecord& pending : pending_) {
      int file = -1;
      for (size_t i = 0; i < project_.surveys.size(); ++i)
        if (project_.surveys[i].file == pending.file) file = static_cast<int>(i);
      if (file < 0) FailAt(pending.line, pending.file + " is not a survey of the line");
      project_.excluded_by_hand.insert({file, pending.record});
    }
  }

  [[noreturn]] void Unknown(const std::string& key) const { Fail("unknown key '" + key + "'"); }

  double Number(const std::string& key, const std::string& value) const {
    double number = 0;
    if (!ParseNumber(value, number)) Fail(key + " takes a number, not '" + value + "'");
    return number;
  }

  std::pair<double, double> TwoNumbers(const std::string& key, const std::string& value) const {
    std::istringstream words(value);
    std::string first, second, more;
    std::pair<double, double> numbers;
    if (!(words >> first >> second) || (words >> more) || !ParseNumber(first, numbers.first) ||
        !ParseNumber(second, numbers.second))
      Fail(key + " takes two numbers, not '" + value + "'");
    return numbers;
  }

  bool YesOrNo(const std::string& key, const std::string& value) const {
    if (value == "yes") return true;
    if (value == "no") return false;
    Fail(key + " takes yes or no, not '" + value + "'");
  }

  std::string name_;
  LineProject project_;
  int line_ = 0;
  int version_ = 0;
  Section section_ = Section::Top;
  int survey_line_ = 0;
  std::set<std::string> survey_keys_;
  int last_point_line_ = 0;
  std::vector<PendingRecord> pending_;
};

}  // namespace

std::vector<std::string> FormatLineProject(const LineProject& project) {
  std::vector<std::string> lines{"# vostrel survey line", "format = " + std::to_string(LineFormatVersion)};
  for (const LineSurvey& survey : project.surveys) {
    lines.push_back("[survey]");
    lines.push_back("file = " + survey.file);
    lines.push_back("offset = " + ShortestText(survey.offset_m));
    lines.push_back("size = " + std::to_string(survey.stamp.size));
    lines.push_back("header = " + HashText(survey.stamp.header_hash));
  }
  lines.push_back("[topography]");
  lines.push_back("tape = " + YesNo(project.topography.tape));
  for (const TopographyPoint& point : project.topography.points)
    lines.push_back("point = " + ShortestText(point.x) + " " + ShortestText(point.z));

  const ExclusionRules& rules = project.rules;
  lines.push_back("[exclusion]");
  if (rules.max_error_pct) lines.push_back("max-error = " + ShortestText(*rules.max_error_pct));
  if (rules.max_reciprocal_pct) lines.push_back("max-reciprocal = " + ShortestText(*rules.max_reciprocal_pct));
  lines.push_back("negative-rhoa = " + YesNo(rules.negative_rhoa));
  if (rules.max_abs_k) lines.push_back("max-k = " + ShortestText(*rules.max_abs_k));
  if (rules.m_range_mv_v)
    lines.push_back("m-range = " + ShortestText(rules.m_range_mv_v->first) + " " +
                    ShortestText(rules.m_range_mv_v->second));
  for (double position : rules.electrodes) lines.push_back("electrode = " + ShortestText(position));
  for (const RecordRef& record : project.excluded_by_hand)
    lines.push_back("record = " + project.surveys.at(static_cast<size_t>(record.file)).file + ":" +
                    std::to_string(record.record));

  lines.push_back("[processing]");
  lines.push_back("flip-sign = " + YesNo(project.processing.flip_sign));
  lines.push_back("abs-du = " + YesNo(project.processing.abs_du));
  // An empty value leaves no space at the end of its line.
  lines.push_back(project.processing.gates.empty() ? "gates =" : "gates = " + project.processing.gates);
  lines.push_back(project.processing.mains.empty() ? "mains =" : "mains = " + project.processing.mains);
  if (!project.colour_scales.empty()) lines.push_back("[view]");
  for (const auto& [quantity, scale] : project.colour_scales)
    lines.push_back(quantity + "-scale = " + ShortestText(scale.low) + " " + ShortestText(scale.high) +
                    (scale.logarithmic ? " log" : " linear"));
  return lines;
}

LineProject ParseLineProject(const std::string& text, const std::string& name) {
  return ProjectParser(name).Parse(text);
}

LineProject ReadLineProject(const std::string& path) { return ParseLineProject(ReadText(path), path); }

void WriteLineProject(const std::string& path, const LineProject& project) {
  const std::vector<std::string> lines = FormatLineProject(project);
  AtomicTextFile file(path);
  for (const std::string& line : lines) file.WriteLine(line);
  file.Commit();
}

std::string SurveyPath(const std::string& project_path, const LineSurvey& survey) {
  return (fs::path(project_path).parent_path() / fs::path(survey.file)).lexically_normal().string();
}

std::string ProjectRelativeName(const std::string& project_path, const std::string& file) {
  const fs::path folder = fs::absolute(fs::path(project_path)).parent_path().lexically_normal();
  const fs::path absolute = fs::absolute(fs::path(file)).lexically_normal();
  // On another drive there is no relative path: the project then names the file whole.
  const fs::path relative = absolute.lexically_relative(folder);
  return (relative.empty() ? absolute : relative).generic_string();
}

int SurveyOfFile(const std::string& project_path, const LineProject& project, const std::string& file) {
  const std::string name = ProjectRelativeName(project_path, file);
  for (size_t i = 0; i < project.surveys.size(); ++i)
    if (project.surveys[i].file == name) return static_cast<int>(i);
  return -1;
}
