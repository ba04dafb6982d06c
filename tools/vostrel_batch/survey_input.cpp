#include "vostrel_batch/survey_input.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "measurement/file_format.h"
#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;

// The header: the prefix, the four header values and the electrode count.
constexpr int64_t HeaderBytes = file_format::ElectrodeTableOffset + 4;
constexpr const char* ProjectFirstLine = "# vostrel survey line";

// The file's first bytes, as many as the header holds; empty when it cannot be read.
std::string FirstBytes(const std::string& file) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(platform::OpenFile(file, "rb"), std::fclose);
  if (!stream) return {};
  std::string bytes(HeaderBytes, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), stream.get()));
  return bytes;
}

bool IsText(const std::string& bytes) { return !bytes.empty() && bytes.find('\0') == std::string::npos; }

bool HasExtension(const std::string& file, const std::string& extension) {
  std::string own = fs::path(file).extension().string();
  std::transform(own.begin(), own.end(), own.begin(), [](unsigned char c) { return std::tolower(c); });
  return own == extension;
}

bool IsProject(const std::string& file, const std::string& bytes) {
  const size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // a byte-order mark
  return HasExtension(file, ".vln") ||
         bytes.compare(start, std::string(ProjectFirstLine).size(), ProjectFirstLine) == 0;
}

void RefuseFolder(const std::string& file) {
  std::error_code error;
  if (fs::is_directory(fs::path(file), error)) throw InOutError::Invalid("is a folder");
}

std::string NotASurvey(const std::string& why) { return "not a survey: " + why; }

std::string LowerFirst(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

OpenedSurvey OpenSurveyInput(const std::string& file, std::string& told) {
  RefuseFolder(file);
  const std::string bytes = FirstBytes(file);
  if (IsProject(file, bytes))
    throw InOutError::Invalid("a line's project, not a survey: the line commands read it (vostrel-batch line info " +
                              file + ")");
  OpenedSurvey opened;
  try {
    opened = OpenSurvey(file);
  } catch (const InOutError& error) {
    const std::string text = IsText(bytes) ? " (a text file)" : "";
    if (error.code() == InOutError::ReadBeyondEnd) {
      if (bytes.empty()) throw InOutError::Invalid(NotASurvey("the file is empty"));
      if (static_cast<int64_t>(bytes.size()) < HeaderBytes)
        throw InOutError::Invalid(NotASurvey("file shorter than its header (" + std::to_string(bytes.size()) +
                                             " bytes, the header takes " + std::to_string(HeaderBytes) + ")" + text));
      throw InOutError::Invalid(NotASurvey("the file ends inside its electrode table" + text));
    }
    if (error.code() == InOutError::InvalidData) throw InOutError::Invalid(NotASurvey(LowerFirst(error.what()) + text));
    throw;
  }
  const Survey& survey = *opened.survey;
  if (survey.SampleRate <= 0) throw InOutError::Invalid(NotASurvey("sample rate " + std::to_string(survey.SampleRate)));
  for (std::string& warning : opened.report.warnings) {
    warning = IndexWarningInEnglish(warning);
    told += file + ": " + warning + "\n";
  }
  return opened;
}

void CheckProjectInput(const std::string& file) {
  RefuseFolder(file);
  const std::string bytes = FirstBytes(file);
  if (HasExtension(file, ".qmr") || (!bytes.empty() && !IsText(bytes)))
    throw InOutError::Invalid("a survey, not a line's project: make one with vostrel-batch line new LINE.vln " + file);
}
