#pragma once
// The one handle through which the measurement file is read. The program never writes
// a survey, so it opens it for reading only: surveys come on write-protected cards,
// shares and discs. Every failure throws InOutError.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "platform/file_system.h"

class DataFile {
 public:
  DataFile() = default;
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;
  DataFile(DataFile&& other) noexcept { *this = std::move(other); }
  DataFile& operator=(DataFile&& other) noexcept;
  ~DataFile() { Close(); }

  void Open(const std::string& name);
  void Close() noexcept;
  bool IsOpen() const { return file_ != nullptr; }

  void Seek(int64_t position);
  // Reads up to count bytes and returns how many came (fewer only at the end of the file).
  size_t Read(void* buffer, size_t count);
  // Reads exactly count bytes or throws "Read beyond end of file".
  void ReadExact(void* buffer, size_t count);
  // Reads a few scattered pieces, each up to its count (fewer only at the end of the
  // file; each says how many came), in one system call where the system can queue them.
  // The position stays.
  void ReadScattered(std::span<platform::ScatteredRead> reads);
  int64_t Position() const { return position_; }
  int64_t Size();
  bool Eof() { return position_ >= Size(); }

  // Changes at every open, so a cache tied to one open of the file can tell it is stale.
  uint64_t Session() const { return session_; }

 private:
  std::FILE* file_ = nullptr;
  int64_t position_ = 0;                        // where the next read starts
  std::unique_ptr<platform::ReadQueue> queue_;  // made at the first scattered read
  uint64_t session_ = 0;
};

// Opens the file for the lifetime of one operation and closes it on every path.
class DataFileSession {
 public:
  DataFileSession(DataFile& file, const std::string& name) : file_(file) { file_.Open(name); }
  ~DataFileSession() { file_.Close(); }
  DataFileSession(const DataFileSession&) = delete;
  DataFileSession& operator=(const DataFileSession&) = delete;

 private:
  DataFile& file_;
};
