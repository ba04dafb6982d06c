#pragma once

#include <functional>
#include <string>
#include <vector>

#include "processing/record_pass.h"

// What one file's work prints: kept apart so that files done side by side are still
// printed in the order they were given.
struct FileOutput {
  std::string out;  // standard output
  std::string err;  // standard error
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// A failure that belongs to another file than the one worked on (the table an export
// writes): reported as "FILE: text" under that file's name.
struct OtherFileError : std::runtime_error {
  OtherFileError(const std::string& file, const std::string& text) : std::runtime_error(file + ": " + text) {}
};

// The work on one file, given the progress to report while it runs (empty when none is
// shown); it throws on failure.
using FileWork = std::function<void(const std::string& file, FileOutput& output, const Progress& progress)>;

struct FileRun {
  int jobs = 1;
  bool quiet = false;   // no progress
  std::string between;  // printed between two files' standard output
  // What a file that failed before its work printed anything prints on standard
  // output, given the failure's text ("FILE: text" still goes to standard error).
  std::function<std::string(const std::string& file, const std::string& failure)> failed_output;
};

// Does the work for every file on up to run.jobs threads and prints each file's output
// in the order of `files` as soon as the files before it are done. A file that fails,
// for whatever reason, is reported as "FILE: text" and the others are still done.
// While a person watches standard error (and not quiet), one file shows its percentage
// and several files a line each as each is done. Returns 0 when every file was done,
// 1 otherwise.
int ForEachFile(const std::vector<std::string>& files, const FileRun& run, const FileWork& work);

// "NAME:  42%" on standard error, rewritten in place and cleared at the end, while a
// person watches it; empty for a pipe or a file, or when quiet.
Progress TerminalProgress(const std::string& name, bool quiet);
// Whether a line of progress stands unfinished on the terminal (safe in a signal handler).
bool ProgressLineOpen();
