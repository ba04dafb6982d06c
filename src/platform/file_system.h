#pragma once
// The few system calls that writing a table safely needs, which differ between
// systems. Each system has one small file with their implementations; everything
// else in the core is portable C++.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>

namespace platform {

// Tests follow what reaches the system through an observer, which every call below
// that opens, creates, flushes, replaces or syncs a file tells what it does:
// "OpenFile rb NAME", "CreateNewFile NAME", "FlushToDisk", "CopyPermissions MODEL",
// "PutInPlaceOf FROM TO", "SyncFolder FOLDER"; and what the program asks to read: "ReadAt"
// for each read, "ReadQueue" for each round of scattered reads, however many calls the
// system needs for it. Set it while no other thread uses files.
using CallObserver = std::function<void(const std::string& call)>;
inline CallObserver& Observer() {
  static CallObserver observer;
  return observer;
}
// Returns the observer it replaces.
inline CallObserver SetCallObserver(CallObserver observer) { return std::exchange(Observer(), std::move(observer)); }
inline void NoteCall(const std::string& call) {
  if (Observer()) Observer()(call);
}

// Opens a file by its UTF-8 name with a standard mode ("rb", "wb"); null with errno set.
std::FILE* OpenFile(const std::string& name, const char* mode);

// Creates a file for writing only when no file of that name exists; null with errno
// set (EEXIST when one does).
std::FILE* CreateNewFile(const std::string& name);

// Positions beyond 2 GiB, whatever the width of long; false with errno set.
bool Seek(std::FILE* file, int64_t offset, int origin);
int64_t Tell(std::FILE* file);  // -1 with errno set

// Reads up to count bytes at offset of an unbuffered stream, whatever its position, in
// as few system calls as the system allows (one, where it can read at an offset).
// Returns the bytes read, fewer only at the end of the file, or -1 with errno set.
int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, size_t count);

// One of a few reads at scattered offsets: up to `count` bytes into `buffer`; `got` says
// how many came (fewer only at the end of the file).
struct ScatteredRead {
  int64_t offset = 0;
  void* buffer = nullptr;
  size_t count = 0;
  int64_t got = 0;
};

// Reads a few scattered pieces of an unbuffered stream in as few system calls as the
// system allows: where it can queue reads (Linux's io_uring), one for them all, otherwise
// one each. Made once for many rounds of reads of the same stream.
class ReadQueue {
 public:
  explicit ReadQueue(std::FILE* file);
  ~ReadQueue();
  ReadQueue(const ReadQueue&) = delete;
  ReadQueue& operator=(const ReadQueue&) = delete;

  // False with errno set when a read failed; the others may have come.
  bool ReadAll(std::span<ScatteredRead> reads);

 private:
  struct Ring;
  std::FILE* file_;
  std::unique_ptr<Ring> ring_;  // none: one read each
};

// Whether a person watches standard error.
bool StandardErrorIsTerminal();

// The number that tells this process's temporary files from another's.
long ProcessId();

// Whether the user may write to the existing file `name` (its permissions and owner
// allow it, whatever the folder allows).
bool UserMayWrite(const std::string& name);

// Writes what the stream holds, its buffer included, through to the disk; returns
// false with errno set.
bool FlushToDisk(std::FILE* file);

// Gives the file behind `file` the permissions, and where the user may the owner, of
// the existing file `model`. Returns false with errno set.
bool CopyPermissions(std::FILE* file, const std::string& model);

// Removes the file `name` at once; safe in a signal handler (no allocation, no lock).
void RemoveFileNow(const char* name) noexcept;

// Puts `from` in the place of `to` in one step; returns false with errno set.
bool PutInPlaceOf(const std::string& from, const std::string& to);

// Makes the names in `folder` durable, so a renamed file survives a power cut. Best
// effort: some file systems cannot sync a folder, and the rename has happened anyway.
void SyncFolder(const std::string& folder);

}  // namespace platform
