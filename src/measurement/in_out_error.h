#pragma once
// The one error type for failures of file access and for files the program refuses.

#include <stdexcept>
#include <string>

class InOutError : public std::runtime_error {
 public:
  // The standard codes of the runtime library that the texts belong to.
  static constexpr int FileNotFound = 2;
  static constexpr int AccessDenied = 5;
  static constexpr int ReadBeyondEnd = 100;
  static constexpr int DiskFull = 101;
  static constexpr int FileNotOpen = 103;
  static constexpr int InvalidSeek = 131;
  static constexpr int InvalidData = 1000;  // a file the program refuses to use

  InOutError(int code, const std::string& text) : std::runtime_error(text), code_(code) {}

  // Translates the system's error number into the standard code and text.
  static InOutError FromErrno(int error_number);
  static InOutError ShortRead() { return {ReadBeyondEnd, "Read beyond end of file"}; }
  static InOutError NotOpen() { return {FileNotOpen, "File not open"}; }
  static InOutError Invalid(const std::string& text) { return {InvalidData, text}; }

  int code() const { return code_; }

 private:
  int code_;
};
