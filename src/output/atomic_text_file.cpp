#include "output/atomic_text_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
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

// The temporary files being written, listed so that a process stopped by a signal removes
// them: slots that a signal handler reads without a lock and without allocating.
class UnfinishedFiles {
 public:
  // The slot listing `name`, or -1 when every slot is taken or the name too long.
  int Add(const std::string& name) noexcept {
    if (name.size() >= MaxName) return -1;
    for (int slot = 0; slot < Slots; ++slot) {
      int free = Free;
      if (!state_[slot].compare_exchange_strong(free, Writing)) continue;
      std::memcpy(names_[slot], name.c_str(), name.size() + 1);
      state_[slot].store(Listed);
      return slot;
    }
    return -1;
  }
  void Drop(int slot) noexcept {
    if (slot >= 0) state_[slot].store(Free);
  }
  void RemoveAll() noexcept {
    for (int slot = 0; slot < Slots; ++slot)
      if (state_[slot].load() == Listed) platform::RemoveFileNow(names_[slot]);
  }

 private:
  static constexpr int Slots = 64;  // files written at once: one per job and a few more
  static constexpr size_t MaxName = 4096;
  enum : int { Free, Writing, Listed };
  std::atomic<int> state_[Slots] = {};
  char names_[Slots][MaxName] = {};
};

UnfinishedFiles unfinished;

// A file is created only when no file of that name exists, so a stray file is never reused.
std::FILE* CreateTemporary(const std::string& folder, std::string& temporary_name, int& listed) {
  int error_number = 0;
  for (int attempt = 0; attempt < MaxTemporaryNameTries; ++attempt) {
    temporary_name = TemporaryFileName(folder, platform::ProcessId(), attempt);
    listed = unfinished.Add(temporary_name);
    errno = 0;
    if (std::FILE* file = platform::CreateNewFile(temporary_name)) return file;
    unfinished.Drop(listed);
    listed = -1;
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

void RemoveUnfinishedFiles() noexcept { unfinished.RemoveAll(); }

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
  file_ = CreateTemporary(FolderOf(target_), temporary_name_, listed_);
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
  unfinished.Drop(std::exchange(listed_, -1));
  temporary_name_.clear();
  platform::SyncFolder(FolderOf(target_));
}

void AtomicTextFile::Discard() noexcept {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!temporary_name_.empty()) std::remove(temporary_name_.c_str());
  unfinished.Drop(std::exchange(listed_, -1));
  temporary_name_.clear();
}

void WriteWhenComplete(const std::string& name, const std::function<void(const std::string& temporary)>& write) {
  const std::string target = FollowLinks(name);
  std::error_code error;
  if (fs::exists(target, error) && !Replaceable(target))
    throw InOutError(InOutError::AccessDenied, "File access denied");
  std::string temporary;
  int listed = -1;
  std::fclose(CreateTemporary(FolderOf(target), temporary, listed));
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
    unfinished.Drop(listed);
  } catch (...) {
    std::remove(temporary.c_str());
    unfinished.Drop(listed);
    throw;
  }
  platform::SyncFolder(FolderOf(target));
}
