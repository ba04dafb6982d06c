#pragma once
// A failure that belongs to one file of a line (the project, a survey, a topography):
// its text is "FILE: text", or "FILE:LINE: text" for a line of a text file.

#include <stdexcept>
#include <string>

class LineFileError : public std::runtime_error {
 public:
  LineFileError(const std::string& file, const std::string& text) : std::runtime_error(file + ": " + text) {}
  LineFileError(const std::string& file, int line, const std::string& text)
      : std::runtime_error(file + ":" + std::to_string(line) + ": " + text) {}
};
