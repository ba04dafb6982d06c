#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What one file's work prints: kept apart so that files done side by side are still
// printed in the order they were given.
struct FileOutput {
  std::string out;  // standard output
  std::string err;  // standard error
  void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// The work on one file; it throws on failure.
using FileWork = std::function<void(const std::string& file, FileOutput& output)>;

// Does the work for every file on up to `jobs` threads and prints each file's output
// in the order of `files` as soon as the files before it are done. A file that fails,
// for whatever reason, is reported as "FILE: text" and the others are still done.
// Returns 0 when every file was done, 1 otherwise.
int ForEachFile(const std::vector<std::string>& files, int jobs, const FileWork& work);

// The number of files done at once by default: the number of cores.
int DefaultJobs();
