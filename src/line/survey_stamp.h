#pragma once
// What identifies a survey as it was when it was added to a line: its size and a hash of
// its header bytes (the prefix, the header integers and the whole electrode table). A
// survey that was replaced, rewritten or cut short no longer has its stamp.

#include <cstdint>
#include <string>

struct SurveyStamp {
  int64_t size = 0;
  uint64_t header_hash = 0;
  bool operator==(const SurveyStamp&) const = default;
};

// The number of bytes hashed: everything up to the end of the largest electrode table.
extern const int64_t StampedHeaderBytes;

// Throws InOutError when the file cannot be read.
SurveyStamp StampOf(const std::string& path);

// Throws LineFileError naming `name` when the file is missing, unreadable or not as stamped.
void CheckStamp(const std::string& path, const std::string& name, const SurveyStamp& stamp);

// The hash as 16 lowercase hexadecimal digits, and back (false for any other text).
std::string HashText(uint64_t hash);
bool ParseHash(const std::string& text, uint64_t& hash);
