#include "output/atomic_text_file.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include "measurement/in_out_error.h"
#include "platform/file_system.h"

namespace fs = std::filesystem;

namespace {

constexpr int MaxTemporaryNameTries = 100;
constexpr int MaxLinksFollowed = 40;  // as the system gives up on a loop of links

std::string FolderOf(const std::string& name) {
  fs::path folder = fs::path(name).parent_path();
  return folder.empty() ? std::string(".") : folder.string();
}

// A file is created only when no file of that name exists, so a stray file is never reused.
std::FILE* CreateTemporary(const std::string& folder, std::string& temporary_name) {
  int error_number = 0;
  for (int attempt = 0; attempt < MaxTemporaryNameTries; ++attempt) {
    temporary_name = TemporaryFileName(folder, platform::ProcessId(), attempt);
    errno = 0;
    if (std::FILE* file = platform::CreateNewFile(temporary_name)) return file;
    error_number = errno;
    if (error_number != EEXIST) break;
  }
  temporary_name.clear();
  throw InOutError::FromErrno(error_number);
}

// Any write bit set, and the user allowed to write: a read-only table must stay as it is,
// even for a user whom the system would let replace it.
bool Replaceable(const std::string& name) {
  std::error_code error;
  fs::perms permissions = fs::status(name, error).permissions();
  if (error) return false;
  constexpr fs::perms AnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  return (permissions & AnyWrite) != fs::perms::none && platform::UserMayWrite(name);
}

}  // namespace

std::string TemporaryFileName(const std::string& folder, long process_id, int attempt) {
  return (fs::path(folder) / (".vostrel-" + std::to_string(process_id) + "-" + std::to_string(attempt) + ".tmp"))
      .string();
}

std::string FollowLinks(const std::string& name) {
  fs::path path = name;
  std::error_code error;
  for (int followed = 0; followed < MaxLinksFollowed && fs::is_symlink(path, error); ++followed) {
    fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path.string();
}

AtomicTextFile::AtomicTextFile(const std::string& name) : target_(FollowLinks(name)) {
  std::error_code error;
  target_exists_ = fs::exists(target_, error);
  if (target_exists_ && !Replaceable(target_)) throw InOutError(InOutError::AccessDenied, "File access denied");
  file_ = CreateTemporary(FolderOf(target_), temporary_name_);
}

AtomicTextFile::~AtomicTextFile() { Discard(); }

void AtomicTextFile::Write(const char* data, size_t size) {
  errno = 0;
  if (std::fwrite(data, 1, size, file_) != size) throw InOutError::FromErrno(errno ? errno : EIO);
}

void AtomicTextFile::WriteLine(const std::string& text) {
  Write(text.data(), text.size());
  Write("\r\n", 2);
}

void AtomicTextFile::Commit() {
  errno = 0;
  if (target_exists_ && !platform::CopyPermissions(file_, target_)) throw InOutError::FromErrno(errno ? errno : EIO);
  // The table must be on disk before it takes the old one's name, or a power cut in
  // the field could leave an empty table behind.
  if (!platform::FlushToDisk(file_)) throw InOutError::FromErrno(errno ? errno : EIO);
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) throw InOutError::FromErrno(errno ? errno : EIO);
  if (!platform::PutInPlaceOf(temporary_name_, target_)) throw InOutError::FromErrno(errno ? errno : EIO);
  temporary_name_.clear();
  platform::SyncFolder(FolderOf(target_));
}

void AtomicTextFile::Discard() noexcept {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_name_.empty()) std::remove(temporary_name_.c_str());
  temporary_name_.clear();
}

void WriteWhenComplete(const std::string& name, const std::function<void(const std::string& temporary)>& write) {
  const std::string target = FollowLinks(name);
  std::error_code error;
  if (fs::exists(target, error) && !Replaceable(target))
    throw InOutError(InOutError::AccessDenied, "File access denied");
  std::string temporary;
  std::fclose(CreateTemporary(FolderOf(target), temporary));
  try {
    write(temporary);
    errno = 0;
    std::FILE* file = platform::OpenFile(temporary, "ab");
    if (!file) throw InOutError::FromErrno(errno ? errno : EIO);
    const bool flushed = platform::FlushToDisk(file);
    const int flush_error = errno;
    std::fclose(file);
    if (!flushed) throw InOutError::FromErrno(flush_error ? flush_error : EIO);
    if (!platform::PutInPlaceOf(temporary, target)) throw InOutError::FromErrno(errno ? errno : EIO);
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  platform::SyncFolder(FolderOf(target));
}
