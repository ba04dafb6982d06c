#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Reads the blocks of a pass on threads of their own, a few blocks ahead of the pass, so
// that reading overlaps processing and the copying out of the system's cache, the larger
// part of a pass, runs on both cores. Each block (its current curve and the voltage curves
// of all its channels, with the bytes between them) comes in one read, the threads taking
// turns block by block, each with a handle of its own, and is handed over to the pass
// once, in the plan's order; the pass copies its curves out and scales them as it goes.
// A request outside the plan, or a block that could not be read whole, ends the
// read-ahead and the loader reads for itself, so the results and the faults met never
// depend on it.
class DataFile;

class BlockReadAhead {
 public:
  // The bytes [start, end) of the file that one read brings.
  struct Range {
    int64_t start = 0;
    int64_t end = 0;
  };

  // Sees each block read whole as it is handed over, in the plan's order, on the pass's
  // thread: its range and its bytes, there until the next handover.
  using Observer = std::function<void(Range range, const unsigned char* bytes)>;

  // The blocks at `plan`, in the order they will be asked for, read by `readers` threads
  // (at most MaxReaders) taking turns, or, with none, each read whole when it is asked for.
  BlockReadAhead(const std::string& file_name, std::vector<Range> plan, Observer observer = {},
                 size_t readers = MaxReaders);
  ~BlockReadAhead();
  BlockReadAhead(const BlockReadAhead&) = delete;
  BlockReadAhead& operator=(const BlockReadAhead&) = delete;

  // When the block in hand, or the next planned one, holds the bytes [offset, offset +
  // count), returns where they stand in it (until the next Take); null otherwise.
  const unsigned char* Take(int64_t offset, size_t count);

  // Blocks of at most this many bytes are read ahead: the pass keeps only a few of
  // them, and memory stays bounded by the curves of one record for any other file.
  static constexpr size_t MaxBlockBytes = 8 << 20;
  static constexpr size_t MaxReaders = 2;

 private:
  static constexpr size_t Slots = 2 * MaxReaders;  // blocks read and not yet handed over
  static constexpr size_t NoBlock = SIZE_MAX;
  // Room for a block's bytes, grown as blocks need and never cleared: the read fills it.
  struct Bytes {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
    size_t capacity = 0;
    void Resize(size_t count);
  };
  struct Slot {
    Bytes bytes;
    size_t block = NoBlock;  // the plan's index of the block the slot holds
    bool read = false;       // the whole range came
  };

  // Reads the blocks first, first + readers_count_, ... of the plan.
  void Read(size_t first);
  bool ReadOnTheSpot(size_t block);
  void Stop();
  bool InHand(int64_t offset, size_t count) const;

  const std::string file_name_;
  const std::vector<Range> plan_;
  const Observer observer_;
  const size_t readers_count_;
  std::unique_ptr<DataFile> own_file_;  // without readers: the handle Take reads with
  Slot slots_[Slots];
  Bytes in_hand_;  // the block handed over last
  Range in_hand_range_{};
  size_t next_take_ = 0;  // index into plan_ of the next block handed over
  bool stopping_ = false;
  bool failed_ = false;  // the plan was left: nothing more is handed over
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread readers_[MaxReaders];
};
