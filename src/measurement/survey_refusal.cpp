#include "measurement/survey_refusal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "measurement/file_format.h"
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

InOutError NotASurvey(const std::string& why) { return InOutError::Invalid("not a survey: " + why); }

std::string LowerFirst(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

}  // namespace

bool IsLineProject(const std::string& file) {
  const std::string bytes = FirstBytes(file);
  const size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // a byte-order mark
  return HasExtension(file, ".vln") ||
         bytes.compare(start, std::string(ProjectFirstLine).size(), ProjectFirstLine) == 0;
}

void RefuseNonSurvey(const std::string& file) {
  std::error_code error;
  if (fs::is_directory(fs::path(file), error)) throw InOutError::Invalid("is a folder");
  if (IsLineProject(file)) throw InOutError::Invalid("a line's project, not a survey");
}

InOutError SurveyOpenError(const std::string& file, const InOutError& error) {
  if (error.code() != InOutError::ReadBeyondEnd && error.code() != InOutError::InvalidData) return error;
  const std::string bytes = FirstBytes(file);
  const std::string text = IsText(bytes) ? " (a text file)" : "";
  if (error.code() == InOutError::InvalidData) return NotASurvey(LowerFirst(error.what()) + text);
  if (bytes.empty()) return NotASurvey("the file is empty");
  if (static_cast<int64_t>(bytes.size()) < HeaderBytes)
    return NotASurvey("file shorter than its header (" + std::to_string(bytes.size()) + " bytes, the header takes " +
                      std::to_string(HeaderBytes) + ")" + text);
  return NotASurvey("the file ends inside its electrode table" + text);
}

void RefuseSurveyHeader(const Survey& survey) {
  if (survey.SampleRate <= 0) throw NotASurvey("sample rate " + std::to_string(survey.SampleRate));
}
