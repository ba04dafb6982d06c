#include "output/atomic_text_file.h"

#include <unistd.h>

#include <cerrno>

#include "measurement/in_out_error.h"

namespace {

constexpr int MaxTemporaryNameTries = 100;

// "wx" creates the file only when no file of that name exists, so a stray file is never reused.
std::FILE* CreateTemporary(const std::string& name, std::string& temporary_name) {
  int error_number = 0;
  for (int attempt = 0; attempt < MaxTemporaryNameTries; ++attempt) {
    temporary_name = name + ".part" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    errno = 0;
    if (std::FILE* file = std::fopen(temporary_name.c_str(), "wbx")) return file;
    error_number = errno;
    if (error_number != EEXIST) break;
  }
  throw InOutError::FromErrno(error_number);
}

}  // namespace

AtomicTextFile::AtomicTextFile(std::string name) : name_(std::move(name)) {
  file_ = CreateTemporary(name_, temporary_name_);
}

AtomicTextFile::~AtomicTextFile() { Discard(); }

void AtomicTextFile::Write(const char* data, size_t size) {
  errno = 0;
  if (std::fwrite(data, 1, size, file_) != size) throw InOutError::FromErrno(errno ? errno : EIO);
}

void AtomicTextFile::WriteLine(const std::string& text) {
  Write(text.data(), text.size());
  Write("\r\n", 2);
}

void AtomicTextFile::Commit() {
  errno = 0;
  if (std::fflush(file_) != 0) throw InOutError::FromErrno(errno ? errno : EIO);
  // The table must be on disk before it takes the old one's name, or a power cut in
  // the field could leave an empty table behind.
  if (fsync(fileno(file_)) != 0) throw InOutError::FromErrno(errno);
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) {
    int error_number = errno;
    std::remove(temporary_name_.c_str());
    throw InOutError::FromErrno(error_number ? error_number : EIO);
  }
  if (std::rename(temporary_name_.c_str(), name_.c_str()) != 0) {
    int error_number = errno;
    std::remove(temporary_name_.c_str());
    throw InOutError::FromErrno(error_number);
  }
  temporary_name_.clear();
}

void AtomicTextFile::Discard() noexcept {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_name_.empty()) std::remove(temporary_name_.c_str());
  temporary_name_.clear();
}
