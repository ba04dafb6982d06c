#pragma once

#include <cstdio>
#include <functional>
#include <string>

// A text file that replaces `name` only when it is complete: everything is written to
// a temporary file in the same folder, which Commit() puts in the place of `name` and
// makes durable. A file that is destroyed without Commit() removes its temporary file
// and leaves `name` as it was.
//
// An existing table is treated as the user left it: a read-only one is refused with
// "File access denied" before anything is written, the new table keeps its
// permissions, and a name that is a symbolic link has its target replaced.
class AtomicTextFile {
 public:
  explicit AtomicTextFile(const std::string& name);
  ~AtomicTextFile();
  AtomicTextFile(const AtomicTextFile&) = delete;
  AtomicTextFile& operator=(const AtomicTextFile&) = delete;

  // Writes text followed by carriage return and line feed.
  void WriteLine(const std::string& text);
  void Commit();

 private:
  void Write(const char* data, size_t size);
  void Discard() noexcept;

  std::string target_;  // the file replaced: the name, or the end of its chain of links
  bool target_exists_ = false;
  std::string temporary_name_;
  int listed_ = -1;  // its place among the unfinished files
  std::FILE* file_ = nullptr;
};

// Writes a file of any kind as the table above is written: `write` is given a temporary
// name in the folder of `name` (created empty, for it to open and fill), and the file
// takes the place of `name` only once write returns; when write throws, or on a full
// disk, the temporary file is removed and `name` stays as it was.
void WriteWhenComplete(const std::string& name, const std::function<void(const std::string& temporary)>& write);

// Removes the temporary files of every table and file being written in this process, and
// nothing else: for a process that a signal stops. Safe to call from a signal handler.
void RemoveUnfinishedFiles() noexcept;

// The temporary file of attempt `attempt` in `folder`. Short whatever the table's
// name, so that a table whose name is near the system's limit can still be written.
std::string TemporaryFileName(const std::string& folder, long process_id, int attempt);

// The file that `name` designates: the last link of a chain of symbolic links, or
// `name` itself.
std::string FollowLinks(const std::string& name);
