#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/file_system.h"

#ifdef VOSTREL_IO_URING
#include <liburing.h>
#endif

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

namespace {

// One positional read through to its count or the end of the file, unobserved.
int64_t ReadFully(std::FILE* file, int64_t offset, void* buffer, size_t count) {
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

}  // namespace

int64_t ReadAt(std::FILE* file, int64_t offset, void* buffer, size_t count) {
  if (Observer()) NoteCall("ReadAt");
  return ReadFully(file, offset, buffer, count);
}

// The deepest queue a round takes: a block's channels and the next block's fields.
constexpr unsigned QueueDepth = 32;

#ifdef VOSTREL_IO_URING
struct ReadQueue::Ring {
  io_uring ring{};
  // The queued reads land here and are copied out once they have all come: a ring in
  // doubt is let go with this memory, so that no late read can write into a caller's.
  std::vector<unsigned char> landing;
};
#else
struct ReadQueue::Ring {};
#endif

ReadQueue::ReadQueue(std::FILE* file) : file_(file) {
#ifdef VOSTREL_IO_URING
  // Where the system refuses a ring (an old kernel, a sandbox), every read is one call.
  auto ring = std::make_unique<Ring>();
  if (io_uring_queue_init(QueueDepth, &ring->ring, 0) == 0) ring_ = std::move(ring);
#endif
}

ReadQueue::~ReadQueue() {
#ifdef VOSTREL_IO_URING
  if (ring_) io_uring_queue_exit(&ring_->ring);
#endif
}

bool ReadQueue::ReadAll(std::span<ScatteredRead> reads) {
  if (Observer()) NoteCall("ReadQueue");
  size_t queued = 0;
#ifdef VOSTREL_IO_URING
  if (ring_) {
    const int descriptor = fileno(file_);
    size_t landing_size = 0;
    for (; queued < reads.size() && queued < QueueDepth; ++queued) landing_size += reads[queued].count;
    ring_->landing.resize(landing_size);
    size_t at = 0;
    for (size_t i = 0; i < queued; ++i) {
      io_uring_sqe* entry = io_uring_get_sqe(&ring_->ring);
      io_uring_prep_read(entry, descriptor, ring_->landing.data() + at, static_cast<unsigned>(reads[i].count),
                         static_cast<uint64_t>(reads[i].offset));
      io_uring_sqe_set_data64(entry, i);
      at += reads[i].count;
    }
    constexpr int64_t NotCome = INT64_MIN;
    for (size_t i = 0; i < queued; ++i) reads[i].got = NotCome;
    // One call submits them all and waits for them. The system takes none when it fails.
    int submitted = io_uring_submit_and_wait(&ring_->ring, static_cast<unsigned>(queued));
    int seen = 0;
    while (seen < submitted) {
      io_uring_cqe* completion = nullptr;
      const int waited = io_uring_wait_cqe(&ring_->ring, &completion);
      if (waited == -EINTR) continue;
      if (waited < 0) break;
      reads[io_uring_cqe_get_data64(completion)].got = completion->res;
      io_uring_cqe_seen(&ring_->ring, completion);
      ++seen;
    }
    if (seen < submitted) {
      // Reads still out may land later: the ring and its landing are let go, never freed.
      (void)ring_.release();
      queued = 0;
    } else if (submitted != static_cast<int>(queued)) {
      // The ring is in doubt: it goes, and every read is made plainly.
      io_uring_queue_exit(&ring_->ring);
      ring_.reset();
      queued = 0;
    }
    at = 0;
    for (size_t i = 0; i < queued; ++i) {
      // An interrupted piece is read plainly below, as is what a short one left.
      if (reads[i].got == -EINTR || reads[i].got == -EAGAIN) reads[i].got = 0;
      if (reads[i].got < 0) {
        errno = static_cast<int>(-reads[i].got);
        return false;
      }
      std::memcpy(reads[i].buffer, ring_->landing.data() + at, static_cast<size_t>(reads[i].got));
      at += reads[i].count;
    }
  }
#endif
  for (size_t i = 0; i < reads.size(); ++i) {
    ScatteredRead& read = reads[i];
    if (i < queued && static_cast<size_t>(read.got) == read.count) continue;
    // A piece that came short, or not at all, is read plainly from where it stopped: at
    // the end of the file that call says so.
    const int64_t from = i < queued ? read.got : 0;
    const int64_t more = ReadFully(file_, read.offset + from, static_cast<char*>(read.buffer) + from,
                                   read.count - static_cast<size_t>(from));
    if (more < 0) return false;
    read.got = from + more;
  }
  return true;
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

void RemoveFileNow(const char* name) noexcept { unlink(name); }

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
