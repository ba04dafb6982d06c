#include "line/survey_stamp.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "line/line_error.h"
#include "measurement/file_format.h"
#include "measurement/in_out_error.h"
#include "measurement/survey.h"
#include "platform/file_system.h"

const int64_t StampedHeaderBytes = file_format::ElectrodeTableOffset + MaxElectrodes * file_format::ElectrodeRecordSize;

namespace {

// FNV-1a, 64 bits: enough to tell a changed header from the one stamped, and stable
// across platforms and versions, since the stamps are stored in projects.
uint64_t Fnv1a(const unsigned char* bytes, size_t count) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (size_t i = 0; i < count; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  return hash;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

SurveyStamp StampOf(const std::string& path) {
  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(platform::OpenFile(path, "rb"));
  if (!file) throw InOutError::FromErrno(errno);
  std::vector<unsigned char> header(static_cast<size_t>(StampedHeaderBytes));
  const size_t got = std::fread(header.data(), 1, header.size(), file.get());
  if (std::ferror(file.get())) throw InOutError::FromErrno(errno);
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) throw InOutError::FromErrno(error.value());
  return {static_cast<int64_t>(size), Fnv1a(header.data(), got)};
}

void CheckStamp(const std::string& path, const std::string& name, const SurveyStamp& stamp) {
  SurveyStamp now;
  try {
    now = StampOf(path);
  } catch (const InOutError& error) {
    throw LineFileError(name, error.what());
  }
  if (now.size != stamp.size)
    throw LineFileError(name, "the survey changed since it was added to the line (its size is " +
                                  std::to_string(now.size) + " bytes, not " + std::to_string(stamp.size) + ")");
  if (now.header_hash != stamp.header_hash)
    throw LineFileError(name, "the survey changed since it was added to the line (its header differs)");
}

std::string HashText(uint64_t hash) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool ParseHash(const std::string& text, uint64_t& hash) {
  if (text.size() != 16) return false;
  auto result = std::from_chars(text.data(), text.data() + text.size(), hash, 16);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}
