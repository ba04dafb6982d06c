#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Reads the blocks of a pass over all records on a second thread, a few blocks ahead of
// the pass, so that reading block b + 1 overlaps processing block b on a machine with
// two cores. Each block (its current curve and the voltage curves of all its channels,
// with the bytes between them) comes in one read, in file order, with a handle of its
// own, and is handed over to the pass once; the pass copies its curves out and scales
// them as it goes.
// A request outside the plan, or a block that could not be read whole, ends the
// read-ahead and the loader reads for itself, so the results and the faults met never
// depend on it.
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

  // The blocks at `plan`, in the order they will be asked for.
  BlockReadAhead(const std::string& file_name, std::vector<Range> plan, Observer observer = {});
  ~BlockReadAhead();
  BlockReadAhead(const BlockReadAhead&) = delete;
  BlockReadAhead& operator=(const BlockReadAhead&) = delete;

  // When the block in hand, or the next planned one, holds the bytes [offset, offset +
  // count), returns where they stand in it (until the next Take); null otherwise.
  const unsigned char* Take(int64_t offset, size_t count);

  // Blocks of at most this many bytes are read ahead: the pass keeps only a few of
  // them, and memory stays bounded by the curves of one record for any other file.
  static constexpr size_t MaxBlockBytes = 8 << 20;

 private:
  static constexpr size_t Slots = 3;
  struct Slot {
    std::vector<unsigned char> bytes;
    bool read = false;  // the whole range came
  };

  void Read();
  void Stop();
  bool InHand(int64_t offset, size_t count) const;

  const std::string file_name_;
  const std::vector<Range> plan_;
  const Observer observer_;
  Slot slots_[Slots];
  std::vector<unsigned char> in_hand_;  // the block handed over last
  Range in_hand_range_{};
  size_t next_take_ = 0;  // index into plan_ of the next block handed over
  size_t read_ = 0;       // blocks read so far
  bool stopping_ = false;
  bool failed_ = false;  // the plan was left: nothing more is handed over
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread reader_;
};
