#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/file_system.h"

namespace platform {

namespace {

// Windows names files in UTF-16; the program holds them in UTF-8.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

}  // namespace

std::FILE* OpenFile(const std::string& name, const char* mode) {
  NoteCall(std::string("OpenFile ") + mode + " " + name);
  return _wfopen(Wide(name).c_str(), Wide(mode).c_str());
}

std::FILE* CreateNewFile(const std::string& name) {
  NoteCall("CreateNewFile " + name);
  int descriptor = _wopen(Wide(name).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) return nullptr;
  std::FILE* file = _fdopen(descriptor, "wb");
  if (!file) _close(descriptor);
  return file;
}

bool Seek(std::FILE* file, int64_t offset, int origin) { return _fseeki64(file, offset, origin) == 0; }

int64_t Tell(std::FILE* file) { return _ftelli64(file); }

namespace {

int64_t ReadFully(std::FILE* file, int64_t offset, void* buffer, size_t count) {
  if (_fseeki64(file, offset, SEEK_SET) != 0) return -1;
  size_t got = std::fread(buffer, 1, count, file);
  if (got < count && std::ferror(file)) {
    std::clearerr(file);
    if (errno == 0) errno = EIO;
    return -1;
  }
  std::clearerr(file);
  return static_cast<int64_t>(got);
}

}  // namespace

int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, size_t count) {
  if (Observer()) NoteCall("ReadAt");
  return ReadFully(file, offset, buffer, count);
}

// Windows reads scattered pieces one call each.
struct ReadQueue::Ring {};

ReadQueue::ReadQueue(std::FILE* file) : file_(file) {}

ReadQueue::~ReadQueue() = default;

bool ReadQueue::ReadAll(std::span<ScatteredRead> reads) {
  if (Observer()) NoteCall("ReadQueue");
  for (ScatteredRead& read : reads) {
    read.got = ReadFully(file_, read.offset, read.buffer, read.count);
    if (read.got < 0) return false;
  }
  return true;
}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

long ProcessId() { return static_cast<long>(_getpid()); }

// The read-only attribute forbids writing to everyone, as a missing write bit does.
bool UserMayWrite(const std::string& name) {
  DWORD attributes = GetFileAttributesW(Wide(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY) &&
         _waccess(Wide(name).c_str(), 2) == 0;
}

bool FlushToDisk(std::FILE* file) {
  NoteCall("FlushToDisk");
  return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

// A writable table has no attributes worth carrying over; its owner is the folder's business.
bool CopyPermissions(std::FILE*, const std::string& model) {
  NoteCall("CopyPermissions " + model);
  return true;
}

// Windows runs a console's signal handler on a thread of its own: converting the name
// there is safe.
void RemoveFileNow(const char* name) noexcept {
  wchar_t wide[4096];
  if (MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 4096) > 0) DeleteFileW(wide);
}

bool PutInPlaceOf(const std::string& from, const std::string& to) {
  NoteCall("PutInPlaceOf " + from + " " + to);
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return false;
}

// MOVEFILE_WRITE_THROUGH has made the rename durable already.
void SyncFolder(const std::string& folder) { NoteCall("SyncFolder " + folder); }

}  // namespace platform
