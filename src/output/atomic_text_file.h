#pragma once

#include <cstdio>
#include <string>

// A text file that replaces `name` only when it is complete: everything is written to
// a temporary file in the same folder, which Commit() renames over `name`. A file that
// is destroyed without Commit() removes its temporary file and leaves `name` as it was.
class AtomicTextFile {
 public:
  explicit AtomicTextFile(std::string name);
  ~AtomicTextFile();
  AtomicTextFile(const AtomicTextFile&) = delete;
  AtomicTextFile& operator=(const AtomicTextFile&) = delete;

  // Writes text followed by carriage return and line feed.
  void WriteLine(const std::string& text);
  void Commit();

 private:
  void Write(const char* data, size_t size);
  void Discard() noexcept;

  std::string name_;
  std::string temporary_name_;
  std::FILE* file_ = nullptr;
};
