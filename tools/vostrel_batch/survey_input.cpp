#include "vostrel_batch/survey_input.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "measurement/in_out_error.h"
#include "measurement/index_file.h"
#include "measurement/survey_refusal.h"
#include "platform/file_system.h"

namespace {

namespace fs = std::filesystem;

bool HasExtension(const std::string& file, const std::string& extension) {
  std::string own = fs::path(file).extension().string();
  std::transform(own.begin(), own.end(), own.begin(), [](unsigned char c) { return std::tolower(c); });
  return own == extension;
}

// The file's first bytes hold a zero byte: no text.
bool IsBinary(const std::string& file) {
  std::FILE* stream = platform::OpenFile(file, "rb");
  if (!stream) return false;
  char bytes[4120];
  const size_t read = std::fread(bytes, 1, sizeof bytes, stream);
  std::fclose(stream);
  return std::find(bytes, bytes + read, '\0') != bytes + read;
}

void RefuseFolder(const std::string& file) {
  std::error_code error;
  if (fs::is_directory(fs::path(file), error)) throw InOutError::Invalid("is a folder");
}

}  // namespace

OpenedSurvey OpenSurveyInput(const std::string& file, std::string& told, bool records_needed) {
  RefuseFolder(file);
  if (IsLineProject(file))
    throw InOutError::Invalid("a line's project, not a survey: the line commands read it (vostrel-batch line info " +
                              file + ")");
  OpenedSurvey opened;
  try {
    opened = OpenSurvey(file);
  } catch (const InOutError& error) {
    throw SurveyOpenError(file, error);
  }
  RefuseSurveyHeader(*opened.survey);
  for (std::string& warning : opened.report.warnings) {
    warning = IndexWarningInEnglish(warning);
    told += file + ": " + warning + "\n";
  }
  if (records_needed && opened.survey->RecordCount < 1) throw InOutError::Invalid("no complete record in the survey");
  return opened;
}

void CheckProjectInput(const std::string& file) {
  RefuseFolder(file);
  if (HasExtension(file, ".qmr") || IsBinary(file))
    throw InOutError::Invalid("a survey, not a line's project: make one with vostrel-batch line new LINE.vln " + file);
}
