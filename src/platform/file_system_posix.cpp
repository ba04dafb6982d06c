#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_system.h"

namespace platform {

std::FILE* OpenFile(const std::string& name, const char* mode) {
  NoteCall(std::string("OpenFile ") + mode + " " + name);
  return std::fopen(name.c_str(), mode);
}

std::FILE* CreateNewFile(const std::string& name) {
  NoteCall("CreateNewFile " + name);
  return std::fopen(name.c_str(), "wbx");
}

bool Seek(std::FILE* file, int64_t offset, int origin) { return fseeko(file, static_cast<off_t>(offset), origin) == 0; }

int64_t Tell(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, size_t count) {
  size_t got = 0;
  while (got < count) {
    ssize_t n = pread(fileno(file), static_cast<char*>(buffer) + got, count - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(got);
}

bool StandardErrorIsTerminal() { return isatty(fileno(stderr)) != 0; }

long ProcessId() { return static_cast<long>(getpid()); }

bool UserMayWrite(const std::string& name) { return access(name.c_str(), W_OK) == 0; }

bool FlushToDisk(std::FILE* file) {
  NoteCall("FlushToDisk");
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool CopyPermissions(std::FILE* file, const std::string& model) {
  NoteCall("CopyPermissions " + model);
  struct stat status {};
  if (stat(model.c_str(), &status) != 0) return false;
  const int descriptor = fileno(file);
  // Only a privileged user may give a file away; everyone else keeps the owner they are.
  if (fchown(descriptor, status.st_uid, status.st_gid) != 0 && errno != EPERM) return false;
  return fchmod(descriptor, status.st_mode & 07777) == 0;
}

bool PutInPlaceOf(const std::string& from, const std::string& to) {
  NoteCall("PutInPlaceOf " + from + " " + to);
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void SyncFolder(const std::string& folder) {
  NoteCall("SyncFolder " + folder);
  int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}

}  // namespace platform
