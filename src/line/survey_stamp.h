#pragma once
// What identifies a survey as it was when it was added to a line: its size and a hash of
// every byte of it. A survey that was replaced, rewritten or cut short, even by another
// of the same size and geometry, no longer has its stamp.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

struct SurveyStamp {
  int64_t size = 0;
  // XXH3 (64 bits) of the whole file.
  std::optional<uint64_t> file_hash;
  // What a project of an older version kept instead: the FNV-1a hash (64 bits) of the
  // header bytes. Checked as it is until the project is saved, which stamps anew.
  std::optional<uint64_t> header_hash;
  bool operator==(const SurveyStamp&) const = default;
};

// The bytes an older stamp hashed: everything up to the end of the largest electrode table.
extern const int64_t StampedHeaderBytes;

// The hash of a file's bytes given in order, as a stamp keeps it.
class FileHasher {
 public:
  FileHasher();
  ~FileHasher();
  FileHasher(const FileHasher&) = delete;
  FileHasher& operator=(const FileHasher&) = delete;
  void Add(const void* bytes, size_t count);
  uint64_t Digest() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The hash of a whole file from the blocks a pass reads of it, given in file order, with
// what lies before, between and after them read here: a line's pass reads each survey
// once for its records and its stamp.
class PassHasher {
 public:
  explicit PassHasher(std::string path);
  ~PassHasher();
  PassHasher(const PassHasher&) = delete;
  PassHasher& operator=(const PassHasher&) = delete;
  // The bytes [start, start + count) of the file; those already hashed are skipped.
  void Block(int64_t start, const unsigned char* bytes, size_t count);
  // Reads the rest of the file and gives the hash. Throws InOutError.
  uint64_t Finish();

 private:
  void ReadTo(int64_t end);

  std::string path_;
  std::FILE* file_ = nullptr;
  FileHasher hasher_;
  int64_t hashed_to_ = 0;
};

// The size and the hash of the whole file. Throws InOutError when it cannot be read.
SurveyStamp StampOf(const std::string& path);
// The stamp an older version gave the file (its header bytes only). Throws InOutError.
SurveyStamp HeaderStampOf(const std::string& path);

// Throws LineFileError naming `name` when the file is missing, unreadable or not as
// stamped; reads the whole file for a stamp of the whole file.
void CheckStamp(const std::string& path, const std::string& name, const SurveyStamp& stamp);
// The size alone, which needs no read: the quick refusal before a pass reads the file.
void CheckStampedSize(const std::string& path, const std::string& name, const SurveyStamp& stamp);
// The stamp against the hash of the whole file found by a pass that read every byte.
void CheckStampedHash(const std::string& name, const SurveyStamp& stamp, uint64_t file_hash);

// The hash as 16 lowercase hexadecimal digits, and back (false for any other text).
std::string HashText(uint64_t hash);
bool ParseHash(const std::string& text, uint64_t& hash);
