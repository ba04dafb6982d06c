#include "line/survey_stamp.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <vector>

// The hash is compiled into this file alone, so the Windows build needs only the header.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "line/line_error.h"
#include "measurement/file_format.h"
#include "measurement/in_out_error.h"
#include "measurement/survey.h"
#include "platform/file_system.h"

const int64_t StampedHeaderBytes = file_format::ElectrodeTableOffset + MaxElectrodes * file_format::ElectrodeRecordSize;

struct FileHasher::State {
  XXH3_state_t xxh3;
};

FileHasher::FileHasher() : state_(std::make_unique<State>()) { XXH3_64bits_reset(&state_->xxh3); }
FileHasher::~FileHasher() = default;
void FileHasher::Add(const void* bytes, size_t count) { XXH3_64bits_update(&state_->xxh3, bytes, count); }
uint64_t FileHasher::Digest() const { return XXH3_64bits_digest(&state_->xxh3); }

namespace {

// FNV-1a, 64 bits, as older versions stamped the header bytes.
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
using OpenedFile = std::unique_ptr<std::FILE, FileCloser>;

OpenedFile Open(const std::string& path) {
  errno = 0;
  OpenedFile file(platform::OpenFile(path, "rb"));
  if (!file) throw InOutError::FromErrno(errno);
  return file;
}

int64_t SizeOf(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  if (error) throw InOutError::FromErrno(error.value());
  return static_cast<int64_t>(size);
}

uint64_t WholeFileHash(const std::string& path) {
  OpenedFile file = Open(path);
  FileHasher hasher;
  std::vector<unsigned char> buffer(1 << 20);
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) hasher.Add(buffer.data(), got);
  if (std::ferror(file.get())) throw InOutError::FromErrno(errno);
  return hasher.Digest();
}

uint64_t HeaderHash(const std::string& path) {
  OpenedFile file = Open(path);
  std::vector<unsigned char> header(static_cast<size_t>(StampedHeaderBytes));
  const size_t got = std::fread(header.data(), 1, header.size(), file.get());
  if (std::ferror(file.get())) throw InOutError::FromErrno(errno);
  return Fnv1a(header.data(), got);
}

[[noreturn]] void Changed(const std::string& name, const std::string& how) {
  throw LineFileError(name, "the survey changed since it was added to the line (" + how + ")");
}

}  // namespace

PassHasher::PassHasher(std::string path) : path_(std::move(path)) {}

PassHasher::~PassHasher() {
  if (file_) std::fclose(file_);
}

void PassHasher::ReadTo(int64_t end) {
  if (end <= hashed_to_) return;
  if (!file_) {
    errno = 0;
    file_ = platform::OpenFile(path_, "rb");
    if (!file_) throw InOutError::FromErrno(errno);
  }
  if (!platform::Seek(file_, hashed_to_, SEEK_SET)) throw InOutError::FromErrno(errno);
  std::vector<unsigned char> buffer(1 << 20);
  while (end > hashed_to_) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(end - hashed_to_, static_cast<int64_t>(buffer.size())));
    const size_t got = std::fread(buffer.data(), 1, want, file_);
    if (got == 0) {
      if (std::ferror(file_)) throw InOutError::FromErrno(errno);
      return;  // the end of the file
    }
    hasher_.Add(buffer.data(), got);
    hashed_to_ += static_cast<int64_t>(got);
  }
}

void PassHasher::Block(int64_t start, const unsigned char* bytes, size_t count) {
  ReadTo(start);
  if (start > hashed_to_) return;  // the file ended before it: the stamp's size tells
  const int64_t end = start + static_cast<int64_t>(count);
  if (end <= hashed_to_) return;
  hasher_.Add(bytes + (hashed_to_ - start), static_cast<size_t>(end - hashed_to_));
  hashed_to_ = end;
}

uint64_t PassHasher::Finish() {
  ReadTo(INT64_MAX);
  return hasher_.Digest();
}

SurveyStamp StampOf(const std::string& path) {
  SurveyStamp stamp;
  stamp.file_hash = WholeFileHash(path);
  stamp.size = SizeOf(path);
  return stamp;
}

SurveyStamp HeaderStampOf(const std::string& path) {
  SurveyStamp stamp;
  stamp.header_hash = HeaderHash(path);
  stamp.size = SizeOf(path);
  return stamp;
}

void CheckStampedSize(const std::string& path, const std::string& name, const SurveyStamp& stamp) {
  int64_t size = 0;
  try {
    Open(path);  // a missing or unreadable file is told as such, not by its size
    size = SizeOf(path);
  } catch (const InOutError& error) {
    throw LineFileError(name, error.what());
  }
  if (size != stamp.size)
    Changed(name, "its size is " + std::to_string(size) + " bytes, not " + std::to_string(stamp.size));
}

void CheckStampedHash(const std::string& name, const SurveyStamp& stamp, uint64_t file_hash) {
  if (stamp.file_hash != file_hash) Changed(name, "its contents differ");
}

void CheckStamp(const std::string& path, const std::string& name, const SurveyStamp& stamp) {
  CheckStampedSize(path, name, stamp);
  try {
    if (stamp.file_hash) return CheckStampedHash(name, stamp, WholeFileHash(path));
    if (stamp.header_hash != HeaderHash(path)) Changed(name, "its header differs");
  } catch (const InOutError& error) {
    throw LineFileError(name, error.what());
  }
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
