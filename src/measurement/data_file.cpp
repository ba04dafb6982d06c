#include "measurement/data_file.h"

#include <atomic>
#include <cerrno>

#include "measurement/in_out_error.h"
#include "platform/file_system.h"

namespace {
uint64_t NextSession() {
  // Files are opened on a pass's threads at once.
  static std::atomic<uint64_t> counter = 0;
  return ++counter;
}
}  // namespace

void DataFile::Open(const std::string& name) {
  Close();
  errno = 0;
  std::FILE* file = platform::OpenFile(name, "rb");
  if (!file) throw InOutError::FromErrno(errno);
  // Unbuffered: indexing reads a few bytes far apart and a record reads whole curves,
  // so a stream buffer would only add copies.
  std::setvbuf(file, nullptr, _IONBF, 0);
  file_ = file;
  position_ = 0;
  session_ = NextSession();
}

DataFile& DataFile::operator=(DataFile&& other) noexcept {
  if (this == &other) return *this;
  Close();
  file_ = std::exchange(other.file_, nullptr);
  position_ = other.position_;
  queue_ = std::move(other.queue_);
  session_ = other.session_;
  return *this;
}

void DataFile::Close() noexcept {
  queue_.reset();
  if (file_) std::fclose(file_);
  file_ = nullptr;
  position_ = 0;
}

void DataFile::Seek(int64_t position) {
  if (!file_) throw InOutError::NotOpen();
  if (position < 0) throw InOutError(InOutError::InvalidSeek, "Negative seek offset");
  position_ = position;  // where the next read starts
}

size_t DataFile::Read(void* buffer, size_t count) {
  if (!file_) throw InOutError::NotOpen();
  if (count == 0) return 0;
  errno = 0;
  // At the position kept here: a pass reads its blocks and indexing its channels
  // without moving the stream first.
  int64_t got = platform::ReadAt(file_, position_, buffer, count);
  if (got < 0) {
    int error_number = errno;
    throw InOutError::FromErrno(error_number ? error_number : EIO);
  }
  position_ += got;
  return static_cast<size_t>(got);
}

void DataFile::ReadExact(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw InOutError::ShortRead();
}

void DataFile::ReadScattered(std::span<platform::ScatteredRead> reads) {
  if (!file_) throw InOutError::NotOpen();
  if (reads.empty()) return;
  if (!queue_) queue_ = std::make_unique<platform::ReadQueue>(file_);
  errno = 0;
  if (!queue_->ReadAll(reads)) {
    int error_number = errno;
    throw InOutError::FromErrno(error_number ? error_number : EIO);
  }
}

int64_t DataFile::Size() {
  if (!file_) throw InOutError::NotOpen();
  errno = 0;
  if (!platform::Seek(file_, 0, SEEK_END)) throw InOutError::FromErrno(errno);
  int64_t size = platform::Tell(file_);
  if (size < 0) throw InOutError::FromErrno(errno);
  return size;
}
